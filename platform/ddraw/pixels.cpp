#include "pixels.h"

#include "toolkit/cpufeatures.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace ddraw {

bool FormatForBits(int bits, PixelFormat* out) {
    PixelFormat f;
    f.bits = bits;
    switch (bits) {
        case 8: f.rMask = f.gMask = f.bMask = 0; break;
        case 16:
            f.rMask = 0xF800;
            f.gMask = 0x07E0;
            f.bMask = 0x001F;
            break;
        case 24:
        case 32: break;
        default: return false;
    }
    *out = f;
    return true;
}

bool FormatFromDD(const DDPIXELFORMAT& pf, PixelFormat* out) {
    if (pf.dwFlags & DDPF_PALETTEINDEXED8) return FormatForBits(8, out);
    if (!(pf.dwFlags & DDPF_RGB)) return false;
    PixelFormat f;
    if (!FormatForBits(static_cast<int>(pf.dwRGBBitCount), &f) || f.bits == 8) return false;
    if (pf.dwRBitMask != f.rMask || pf.dwGBitMask != f.gMask || pf.dwBBitMask != f.bMask) return false;
    *out = f;
    return true;
}

void FormatToDD(const PixelFormat& f, DDPIXELFORMAT* pf) {
    *pf = DDPIXELFORMAT{};
    pf->dwSize = sizeof(DDPIXELFORMAT);
    pf->dwFlags = DDPF_RGB | (f.Palettized() ? DDPF_PALETTEINDEXED8 : 0);
    pf->dwRGBBitCount = static_cast<DWORD>(f.bits);
    pf->dwRBitMask = f.rMask;
    pf->dwGBitMask = f.gMask;
    pf->dwBBitMask = f.bMask;
}

uint32_t PackRGB(const PixelFormat& f, uint8_t r, uint8_t g, uint8_t b) {
    if (f.bits == 16) return (uint32_t(r >> 3) << 11) | (uint32_t(g >> 2) << 5) | (b >> 3);
    return (uint32_t(r) << 16) | (uint32_t(g) << 8) | b;
}

QRgb UnpackRGB(const PixelFormat& f, uint32_t v, const PALETTEENTRY* palette) {
    switch (f.bits) {
        case 8: {
            if (!palette) return qRgb(0, 0, 0);
            const PALETTEENTRY& e = palette[v & 0xFF];
            return qRgb(e.peRed, e.peGreen, e.peBlue);
        }
        case 16: {
            int r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
            return qRgb((r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2));
        }
        default: return qRgb((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
}

void PaletteTable(const PALETTEENTRY* palette, uint32_t table[256]) {
    for (int i = 0; i < 256; ++i)
        table[i] = palette ? 0xFF000000u | (uint32_t(palette[i].peRed) << 16) | (uint32_t(palette[i].peGreen) << 8) |
                                 palette[i].peBlue
                           : 0xFF000000u;
}

namespace {

void ExpandPaletteScalar(const uint8_t* in, int n, const uint32_t* table, uint32_t* out) {
    // The table lookups are the whole cost: eight a round, each index
    // loaded straight into its lookup.
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const uint8_t* p = in + i;
        uint32_t* o = out + i;
        o[0] = table[p[0]], o[1] = table[p[1]], o[2] = table[p[2]], o[3] = table[p[3]];
        o[4] = table[p[4]], o[5] = table[p[5]], o[6] = table[p[6]], o[7] = table[p[7]];
    }
    for (; i < n; ++i) out[i] = table[in[i]];
}

#if defined(__x86_64__)
// GCC 12's lane shuffle intrinsic starts from an undefined register and
// warns about it.
#pragma GCC diagnostic push
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#define QVX_VBMI __attribute__((target("avx512f,avx512bw,avx512vbmi")))

// With AVX-512 VBMI the table is held in registers as four byte planes of
// 256 entries (blue, green, red, alpha; four registers each), and 64
// indices at a time are looked up in each plane by byte permutes, then
// interleaved into pixels: no memory lookups at all.
QVX_VBMI void ExpandPaletteVbmi(const uint8_t* in, int n, const uint8_t (*planes)[256], bool alphaAlike,
                                const uint32_t* table, uint32_t* out) {
    __m512i p[4][4];
    for (int c = 0; c < 4; ++c)
        for (int q = 0; q < 4; ++q) p[c][q] = _mm512_load_si512(planes[c] + 64 * q);
    int i = 0;
    for (; i + 64 <= n; i += 64) {
        __m512i idx = _mm512_loadu_si512(in + i);
        __mmask64 high = _mm512_movepi8_mask(idx);  // index >= 128
        __m512i ch[4];
        ch[3] = p[3][0];  // alpha alike for every entry: no lookup
        for (int c = 0; c < (alphaAlike ? 3 : 4); ++c) {
            __m512i lo = _mm512_permutex2var_epi8(p[c][0], idx, p[c][1]);
            __m512i hi = _mm512_permutex2var_epi8(p[c][2], idx, p[c][3]);
            ch[c] = _mm512_mask_blend_epi8(high, lo, hi);
        }
        // Bytes to pixels within each 128-bit lane (16 indices become four
        // groups of four pixels), then the lanes put back in order.
        __m512i bgLo = _mm512_unpacklo_epi8(ch[0], ch[1]), bgHi = _mm512_unpackhi_epi8(ch[0], ch[1]);
        __m512i raLo = _mm512_unpacklo_epi8(ch[2], ch[3]), raHi = _mm512_unpackhi_epi8(ch[2], ch[3]);
        __m512i q0 = _mm512_unpacklo_epi16(bgLo, raLo), q1 = _mm512_unpackhi_epi16(bgLo, raLo);
        __m512i q2 = _mm512_unpacklo_epi16(bgHi, raHi), q3 = _mm512_unpackhi_epi16(bgHi, raHi);
        __m512i t0 = _mm512_shuffle_i32x4(q0, q1, 0x44), t1 = _mm512_shuffle_i32x4(q2, q3, 0x44);
        __m512i t2 = _mm512_shuffle_i32x4(q0, q1, 0xEE), t3 = _mm512_shuffle_i32x4(q2, q3, 0xEE);
        _mm512_storeu_si512(out + i, _mm512_shuffle_i32x4(t0, t1, 0x88));
        _mm512_storeu_si512(out + i + 16, _mm512_shuffle_i32x4(t0, t1, 0xDD));
        _mm512_storeu_si512(out + i + 32, _mm512_shuffle_i32x4(t2, t3, 0x88));
        _mm512_storeu_si512(out + i + 48, _mm512_shuffle_i32x4(t2, t3, 0xDD));
    }
    ExpandPaletteScalar(in + i, n - i, table, out + i);
}
#undef QVX_VBMI
#pragma GCC diagnostic pop

// With AVX2 (and no VBMI) eight lookups at a time by a gather. On some
// processors that is about as fast as copying the pixels, a third faster
// than one lookup at a time; on others (early ones, or with the microcode
// that guards gathers) it is slower than the plain lookups: GathersPay
// decides, once, by timing both.
__attribute__((target("avx2"))) void ExpandPaletteAvx2(const uint8_t* in, int n, const uint32_t* table,
                                                       uint32_t* out) {
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i idx = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + i)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i),
                            _mm256_i32gather_epi32(reinterpret_cast<const int*>(table), idx, 4));
    }
    ExpandPaletteScalar(in + i, n - i, table, out + i);
}

// Whether the gathers beat the plain lookups here: the better of a few
// rounds of each over the same 8 KiB. Under QVX_CPU_LIMIT=avx2 they are
// taken without asking, so that tests exercise them.
bool GathersPay() {
    if (!tk::HasAvx2()) return false;
    if (tk::CpuLimit() == tk::TCpuLimit::Avx2) return true;
    static const bool pay = [] {
        constexpr int kN = 8192;
        std::vector<uint8_t> in(kN);
        std::vector<uint32_t> out(kN);
        uint32_t table[256];
        for (int i = 0; i < kN; ++i) in[size_t(i)] = static_cast<uint8_t>(i * 97 + (i >> 5));
        for (int i = 0; i < 256; ++i) table[i] = 0x01010101u * static_cast<uint32_t>(i);
        auto best = [&](void (*expand)(const uint8_t*, int, const uint32_t*, uint32_t*)) {
            auto fastest = std::chrono::steady_clock::duration::max();
            for (int round = 0; round < 8; ++round) {
                auto t0 = std::chrono::steady_clock::now();
                expand(in.data(), kN, table, out.data());
                fastest = std::min(fastest, std::chrono::steady_clock::now() - t0);
            }
            return fastest;
        };
        return best(ExpandPaletteAvx2) < best(ExpandPaletteScalar);
    }();
    return pay;
}
#endif

}  // namespace

PaletteExpander::PaletteExpander(const uint32_t table[256]) {
    std::memcpy(table_, table, sizeof table_);
    for (int i = 0; i < 256; ++i)
        for (int c = 0; c < 4; ++c) planes_[c][i] = static_cast<uint8_t>(table[i] >> (8 * c));
    alphaAlike_ = std::all_of(planes_[3], planes_[3] + 256, [&](uint8_t a) { return a == planes_[3][0]; });
#if defined(__x86_64__)
    vbmi_ = tk::HasAvx512Vbmi();
    gather_ = !vbmi_ && GathersPay();
#endif
}

void PaletteExpander::Expand(const uint8_t* in, int n, uint32_t* out) const {
#if defined(__x86_64__)
    // Short runs are not worth loading the planes into registers.
    if (vbmi_ && n >= 128) return ExpandPaletteVbmi(in, n, planes_, alphaAlike_, table_, out);
    if (gather_) return ExpandPaletteAvx2(in, n, table_, out);
#endif
    ExpandPaletteScalar(in, n, table_, out);
}

void ExpandPalette(const uint8_t* in, int n, const uint32_t* table, uint32_t* out) {
    PaletteExpander(table).Expand(in, n, out);
}

namespace {

// The row converters are plain loops built for three processor levels (the
// wider the vectors, the closer a conversion comes to a plain copy), but for
// 5-6-5, written out for two.
#define QVX_ROW_CLONES __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))

// 5-6-5 to 8-8-8, the top bits of each channel repeated below it (as
// UnpackRGB does).
inline uint32_t Pixel565(uint32_t v) {
    uint32_t r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
    return 0xFF000000u | (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) | ((b << 3) | (b >> 2));
}

__attribute__((always_inline)) inline void Expand565Loop(const uint16_t* in, int n, uint32_t* __restrict out) {
    for (int i = 0; i < n; ++i) out[i] = Pixel565(in[i]);
}

#if defined(__x86_64__)
// Sixteen (AVX2) or eight (SSE2, which every x86-64 has) pixels at a time in
// 16-bit lanes, each faster than what the compiler makes of the plain loop.
// A field's bits are repeated below it by one multiply: (x * 33) >> 2 for
// five bits, (x * 65) >> 4 for six, taken as the high half of the product
// with the field in place (exact for every value). Blue and green make the
// low half of each pixel, red and an opaque alpha the high half.
constexpr int16_t kRed = int16_t(0xF800), kGreen = 0x07E0, kTimes33 = 33 << 3, kTimes65 = 65 << 7, kAlpha = -256;

__attribute__((target("avx2"))) void Expand565Avx2(const uint16_t* in, int n, uint32_t* __restrict out) {
    const __m256i red = _mm256_set1_epi16(kRed), green = _mm256_set1_epi16(kGreen);
    const __m256i k5 = _mm256_set1_epi16(kTimes33), k6 = _mm256_set1_epi16(kTimes65), alpha = _mm256_set1_epi16(kAlpha);
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
        const __m256i r8 = _mm256_mulhi_epu16(_mm256_and_si256(v, red), k5);
        const __m256i g8 = _mm256_mulhi_epu16(_mm256_and_si256(v, green), k6);
        const __m256i b8 = _mm256_mulhi_epu16(_mm256_slli_epi16(v, 11), k5);
        const __m256i bg = _mm256_or_si256(b8, _mm256_slli_epi16(g8, 8)), ra = _mm256_or_si256(r8, alpha);
        // The unpacks work within 128-bit halves: put the halves in order.
        const __m256i lo = _mm256_unpacklo_epi16(bg, ra), hi = _mm256_unpackhi_epi16(bg, ra);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_permute2x128_si256(lo, hi, 0x20));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i + 8), _mm256_permute2x128_si256(lo, hi, 0x31));
    }
    Expand565Loop(in + i, n - i, out + i);
}

void Expand565Sse2(const uint16_t* in, int n, uint32_t* __restrict out) {
    const __m128i red = _mm_set1_epi16(kRed), green = _mm_set1_epi16(kGreen);
    const __m128i k5 = _mm_set1_epi16(kTimes33), k6 = _mm_set1_epi16(kTimes65), alpha = _mm_set1_epi16(kAlpha);
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        const __m128i r8 = _mm_mulhi_epu16(_mm_and_si128(v, red), k5);
        const __m128i g8 = _mm_mulhi_epu16(_mm_and_si128(v, green), k6);
        const __m128i b8 = _mm_mulhi_epu16(_mm_slli_epi16(v, 11), k5);
        const __m128i bg = _mm_or_si128(b8, _mm_slli_epi16(g8, 8)), ra = _mm_or_si128(r8, alpha);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi16(bg, ra));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 4), _mm_unpackhi_epi16(bg, ra));
    }
    Expand565Loop(in + i, n - i, out + i);
}
#endif

void Expand565(const uint16_t* in, int n, uint32_t* __restrict out) {
#if defined(__x86_64__)
    using Fn = void (*)(const uint16_t*, int, uint32_t*);
    static const Fn fn = tk::HasAvx2() ? Expand565Avx2 : Expand565Sse2;
    fn(in, n, out);
#else
    Expand565Loop(in, n, out);
#endif
}

QVX_ROW_CLONES void Expand888(const uint8_t* in, int n, uint32_t* __restrict out) {
    for (int i = 0; i < n; ++i)
        out[i] = 0xFF000000u | (uint32_t(in[3 * i + 2]) << 16) | (uint32_t(in[3 * i + 1]) << 8) | in[3 * i];
}

QVX_ROW_CLONES void Opaque32(const uint32_t* in, int n, uint32_t* __restrict out) {
    for (int i = 0; i < n; ++i) out[i] = 0xFF000000u | in[i];
}

#undef QVX_ROW_CLONES

}  // namespace

void ConvertRow(const uint8_t* in, int n, const PixelFormat& f, const PaletteExpander* palette, uint32_t* out) {
    switch (f.bits) {
        case 8: palette->Expand(in, n, out); break;
        case 16: Expand565(reinterpret_cast<const uint16_t*>(in), n, out); break;
        case 24: Expand888(in, n, out); break;
        default: Opaque32(reinterpret_cast<const uint32_t*>(in), n, out); break;
    }
}

QImage ToImage(const PixelView& v, const PixelFormat& f, const PALETTEENTRY* palette) {
    QImage img(v.width, v.height, QImage::Format_RGB32);
    if (img.isNull()) return img;
    uint32_t table[256];
    PaletteTable(palette, table);
    PaletteExpander expander(table);
    for (int y = 0; y < v.height; ++y)
        ConvertRow(v.Row(y), v.width, f, &expander, reinterpret_cast<uint32_t*>(img.scanLine(y)));
    return img;
}

namespace {

class ViewFrame final : public winsys::Frame {
public:
    ViewFrame(const PixelView& v, const PixelFormat& f, const PALETTEENTRY* palette, std::shared_ptr<const void> keep)
        : v_(v), f_(f), keep_(std::move(keep)) {
        if (f.bits == 8) {
            uint32_t table[256];
            PaletteTable(palette, table);
            palette_ = std::make_unique<PaletteExpander>(table);
        }
    }
    int Width() const override { return v_.width; }
    int Height() const override { return v_.height; }
    void ReadRow(int y, uint32_t* out) const override { ConvertRow(v_.Row(y), v_.width, f_, palette_.get(), out); }

private:
    PixelView v_;
    PixelFormat f_;
    std::shared_ptr<const void> keep_;
    std::unique_ptr<PaletteExpander> palette_;
};

}  // namespace

std::shared_ptr<const winsys::Frame> MakeFrame(const PixelView& v, const PixelFormat& f, const PALETTEENTRY* palette,
                                               std::shared_ptr<const void> keep) {
    return std::make_shared<ViewFrame>(v, f, palette, std::move(keep));
}

}  // namespace ddraw
