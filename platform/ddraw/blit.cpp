// The fast blitters. Colour-keyed rows are branch-free: with AVX-512 keyed
// pixels are left out by masked stores; elsewhere each block of pixels is
// compared with the key and blended by mask (AVX2 code where the processor
// has it).
#include "blit.h"
#include "toolkit/cpufeatures.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace ddraw::blit {

namespace {

typedef uint8_t V8 __attribute__((vector_size(32)));
typedef uint16_t V16 __attribute__((vector_size(32)));
typedef uint32_t V32 __attribute__((vector_size(32)));
template <class T>
struct VecOf;
template <>
struct VecOf<uint8_t> {
    using type = V8;
};
template <>
struct VecOf<uint16_t> {
    using type = V16;
};
template <>
struct VecOf<uint32_t> {
    using type = V32;
};

// One row of keyed copy: d[i] = s[i] unless (s[i] & mask) == key.
template <class T>
__attribute__((always_inline)) inline void KeyRow(T* __restrict d, const T* __restrict s, int n, T key, T mask) {
    constexpr int N = 32 / sizeof(T);
    using V = typename VecOf<T>::type;
    int i = 0;
    for (; i + N <= n; i += N) {
        V sv, dv;
        std::memcpy(&sv, s + i, sizeof sv);
        std::memcpy(&dv, d + i, sizeof dv);
        V m = reinterpret_cast<V>((sv & mask) == key);
        V r = (dv & m) | (sv & ~m);
        std::memcpy(d + i, &r, sizeof r);
    }
    for (; i < n; ++i) {
        T v = s[i];
        T m = static_cast<T>(-static_cast<T>((v & mask) == key));
        d[i] = static_cast<T>((d[i] & m) | (v & ~m));
    }
}

template <class T>
__attribute__((always_inline)) inline void KeyRect(const PixelView& dst, int dx, int dy, const PixelView& src,
                                                   const RECT& sr, T key, T mask) {
    int w = sr.right - sr.left;
    for (int y = sr.top; y < sr.bottom; ++y) {
        auto* d = reinterpret_cast<T*>(dst.At(dx, dy + (y - sr.top)));
        auto* s = reinterpret_cast<const T*>(src.At(sr.left, y));
        KeyRow<T>(d, s, w, key, mask);
    }
}

// Keyed copy as conditional stores: with AVX-512 GCC turns each
// row into masked stores, which leave keyed pixels untouched without
// reading the destination (the file is built with the vectoriser's full
// cost model for this). Source and destination never overlap here.
template <class T>
__attribute__((always_inline)) inline void KeyRectMasked(const PixelView& dst, int dx, int dy, const PixelView& src,
                                                         const RECT& sr, T key, T mask) {
    const int w = sr.right - sr.left, h = sr.bottom - sr.top;
    const ptrdiff_t dp = dst.pitch, sp = src.pitch;
    uint8_t* drow = dst.At(dx, dy);
    const uint8_t* srow = src.At(sr.left, sr.top);
    for (int y = 0; y < h; ++y, drow += dp, srow += sp) {
        auto* d = reinterpret_cast<T*>(drow);
        auto* s = reinterpret_cast<const T*>(srow);
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC ivdep
#endif
        for (int i = 0; i < w; ++i) {
            T v = s[i];
            if ((v & mask) != key) d[i] = v;
        }
    }
}

// The blend versions, for processors without AVX-512.
__attribute__((target_clones("avx2", "default"))) void KeyRect8(const PixelView& dst, int dx, int dy,
                                                                 const PixelView& src, const RECT& sr, uint8_t key) {
    KeyRect<uint8_t>(dst, dx, dy, src, sr, key, 0xFF);
}

__attribute__((target_clones("avx2", "default"))) void KeyRect16(const PixelView& dst, int dx, int dy,
                                                                  const PixelView& src, const RECT& sr,
                                                                  uint16_t key) {
    KeyRect<uint16_t>(dst, dx, dy, src, sr, key, 0xFFFF);
}

__attribute__((target_clones("avx2", "default"))) void KeyRect32(const PixelView& dst, int dx, int dy,
                                                                  const PixelView& src, const RECT& sr, uint32_t key,
                                                                  uint32_t mask) {
    KeyRect<uint32_t>(dst, dx, dy, src, sr, key, mask);
}

// The masked-store versions, used where the processor has AVX-512.
#define QVX_AVX512 __attribute__((target("avx512f,avx512bw,avx512vl")))

QVX_AVX512 void KeyRect8Masked(const PixelView& dst, int dx, int dy, const PixelView& src, const RECT& sr,
                               uint8_t key) {
    KeyRectMasked<uint8_t>(dst, dx, dy, src, sr, key, 0xFF);
}

QVX_AVX512 void KeyRect16Masked(const PixelView& dst, int dx, int dy, const PixelView& src, const RECT& sr,
                                uint16_t key) {
    KeyRectMasked<uint16_t>(dst, dx, dy, src, sr, key, 0xFFFF);
}

QVX_AVX512 void KeyRect32Masked(const PixelView& dst, int dx, int dy, const PixelView& src, const RECT& sr,
                                uint32_t key, uint32_t mask) {
    KeyRectMasked<uint32_t>(dst, dx, dy, src, sr, key, mask);
}

#undef QVX_AVX512

// The masked-store blits, unless QVX_CPU_LIMIT keeps to narrower code.
bool HasAvx512() { return tk::HasAvx512(); }

void KeyRect24(const PixelView& dst, int dx, int dy, const PixelView& src, const RECT& sr, uint32_t key) {
    int w = sr.right - sr.left;
    for (int y = sr.top; y < sr.bottom; ++y) {
        uint8_t* d = dst.At(dx, dy + (y - sr.top));
        const uint8_t* s = src.At(sr.left, y);
        for (int x = 0; x < w; ++x, d += 3, s += 3) {
            uint32_t v = s[0] | (uint32_t(s[1]) << 8) | (uint32_t(s[2]) << 16);
            uint8_t m = static_cast<uint8_t>(-static_cast<int>(v == key));
            d[0] = static_cast<uint8_t>((d[0] & m) | (s[0] & ~m));
            d[1] = static_cast<uint8_t>((d[1] & m) | (s[1] & ~m));
            d[2] = static_cast<uint8_t>((d[2] & m) | (s[2] & ~m));
        }
    }
}

// Pixels one at a time for key ranges (rare); the reference's test.
void KeyRangeRect(const PixelView& dst, int dx, int dy, const PixelView& src, const RECT& sr, const ColourKey& key,
                  const PixelFormat& f) {
    for (int y = sr.top; y < sr.bottom; ++y)
        for (int x = sr.left; x < sr.right; ++x) {
            uint32_t v = refblit::GetPixel(src, x, y);
            if (!refblit::IsKeyed(v, key, f)) refblit::PutPixel(dst, dx + x - sr.left, dy + y - sr.top, v);
        }
}

template <class T>
void FillRow(uint8_t* row, int n, T v) {
    std::fill_n(reinterpret_cast<T*>(row), n, v);
}

}  // namespace

void Fill(const PixelView& dst, const RECT& r, uint32_t value) {
    int w = r.right - r.left;
    if (w <= 0) return;
    for (int y = r.top; y < r.bottom; ++y) {
        uint8_t* row = dst.At(r.left, y);
        switch (dst.bytesPerPixel) {
            case 1: std::memset(row, static_cast<int>(value & 0xFF), static_cast<size_t>(w)); break;
            case 2: FillRow<uint16_t>(row, w, static_cast<uint16_t>(value)); break;
            case 4: FillRow<uint32_t>(row, w, value); break;
            default:
                for (int x = 0; x < w; ++x) {
                    row[3 * x] = static_cast<uint8_t>(value);
                    row[3 * x + 1] = static_cast<uint8_t>(value >> 8);
                    row[3 * x + 2] = static_cast<uint8_t>(value >> 16);
                }
        }
    }
}

void Copy(const PixelView& dst, int dx, int dy, const PixelView& src, const RECT& sr) {
    int h = sr.bottom - sr.top;
    size_t bytes = static_cast<size_t>(sr.right - sr.left) * static_cast<size_t>(src.bytesPerPixel);
    if (h <= 0 || bytes == 0) return;
    // One block when both are whole, contiguous surfaces.
    if (dst.bits == nullptr) return;
    if (sr.left == 0 && dx == 0 && dst.pitch == src.pitch && bytes == static_cast<size_t>(src.pitch)) {
        std::memmove(dst.Row(dy), src.Row(sr.top), bytes * static_cast<size_t>(h));
        return;
    }
    // Bottom-up when copying downwards within one surface.
    bool up = dst.bits == src.bits && dy > sr.top;
    for (int i = 0; i < h; ++i) {
        int row = up ? h - 1 - i : i;
        std::memmove(dst.At(dx, dy + row), src.At(sr.left, sr.top + row), bytes);
    }
}

void CopyKeyed(const PixelView& dst, int dx, int dy, const PixelView& src, const RECT& sr, const ColourKey& key,
               const PixelFormat& f) {
    if (!key.on) return Copy(dst, dx, dy, src, sr);
    uint32_t mask = f.ColourMask();
    if (key.low != key.high) return KeyRangeRect(dst, dx, dy, src, sr, key, f);
    uint32_t k = key.low & mask;
    switch (f.bits) {
        case 8:
            if (HasAvx512()) return KeyRect8Masked(dst, dx, dy, src, sr, static_cast<uint8_t>(k));
            return KeyRect8(dst, dx, dy, src, sr, static_cast<uint8_t>(k));
        case 16:
            if (HasAvx512()) return KeyRect16Masked(dst, dx, dy, src, sr, static_cast<uint16_t>(k));
            return KeyRect16(dst, dx, dy, src, sr, static_cast<uint16_t>(k));
        case 24: return KeyRect24(dst, dx, dy, src, sr, k);
        default:
            if (HasAvx512()) return KeyRect32Masked(dst, dx, dy, src, sr, k, mask);
            return KeyRect32(dst, dx, dy, src, sr, k, mask);
    }
}

void Stretch(const PixelView& dst, const RECT& dr, const RECT& clip, const PixelView& src, const RECT& sr,
             const ColourKey& key, const PixelFormat& f) {
    int64_t dw = dr.right - dr.left, dh = dr.bottom - dr.top;
    int64_t sw = sr.right - sr.left, sh = sr.bottom - sr.top;
    if (dw <= 0 || dh <= 0 || Empty(clip)) return;
    int cw = clip.right - clip.left;
    std::vector<int> cols(static_cast<size_t>(cw));
    for (int x = 0; x < cw; ++x)
        cols[static_cast<size_t>(x)] = sr.left + static_cast<int>((clip.left + x - dr.left) * sw / dw);
    int bpp = dst.bytesPerPixel;
    uint32_t mask = f.ColourMask();
    bool ranged = key.on && key.low != key.high;
    uint32_t k = key.low & mask;
    for (int y = clip.top; y < clip.bottom; ++y) {
        int sy = sr.top + static_cast<int>((y - dr.top) * sh / dh);
        const uint8_t* s = src.Row(sy);
        uint8_t* d = dst.At(clip.left, y);
        for (int x = 0; x < cw; ++x) {
            const uint8_t* p = s + static_cast<ptrdiff_t>(cols[static_cast<size_t>(x)]) * bpp;
            uint32_t v;
            switch (bpp) {
                case 1: v = p[0]; break;
                case 2: v = static_cast<uint32_t>(p[0] | (p[1] << 8)); break;
                case 3: v = static_cast<uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16)); break;
                default: std::memcpy(&v, p, 4); break;
            }
            if (key.on) {
                if (ranged ? refblit::IsKeyed(v, key, f) : (v & mask) == k) continue;
            }
            std::memcpy(d + static_cast<ptrdiff_t>(x) * bpp, &v, static_cast<size_t>(bpp));
        }
    }
}

}  // namespace ddraw::blit
