// The reference blitter: one pixel at a time, no cleverness. Tests compare
// the fast blitters with it.
#include <vector>

#include "blit.h"

namespace ddraw::refblit {

uint32_t GetPixel(const PixelView& v, int x, int y) {
    const uint8_t* p = v.At(x, y);
    uint32_t value = 0;
    for (int i = 0; i < v.bytesPerPixel; ++i) value |= uint32_t(p[i]) << (8 * i);
    return value;
}

void PutPixel(const PixelView& v, int x, int y, uint32_t value) {
    uint8_t* p = v.At(x, y);
    for (int i = 0; i < v.bytesPerPixel; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

bool IsKeyed(uint32_t pixel, const ColourKey& key, const PixelFormat& f) {
    if (!key.on) return false;
    uint32_t mask = f.ColourMask();
    uint32_t v = pixel & mask;
    if (f.bits == 8) return v >= (key.low & mask) && v <= (key.high & mask);
    for (uint32_t m : {f.rMask, f.gMask, f.bMask})
        if ((v & m) < (key.low & m) || (v & m) > (key.high & m)) return false;
    return true;
}

void Fill(const PixelView& dst, const RECT& r, uint32_t value) {
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) PutPixel(dst, x, y, value);
}

namespace {
// The source rectangle read out first, so overlapping copies behave.
std::vector<uint32_t> ReadRect(const PixelView& src, const RECT& sr) {
    std::vector<uint32_t> px;
    for (int y = sr.top; y < sr.bottom; ++y)
        for (int x = sr.left; x < sr.right; ++x) px.push_back(GetPixel(src, x, y));
    return px;
}
}  // namespace

void Copy(const PixelView& dst, int dx, int dy, const PixelView& src, const RECT& sr) {
    ColourKey none;
    PixelFormat f;
    CopyKeyed(dst, dx, dy, src, sr, none, f);
}

void CopyKeyed(const PixelView& dst, int dx, int dy, const PixelView& src, const RECT& sr, const ColourKey& key,
               const PixelFormat& f) {
    std::vector<uint32_t> px = ReadRect(src, sr);
    size_t i = 0;
    for (int y = 0; y < sr.bottom - sr.top; ++y)
        for (int x = 0; x < sr.right - sr.left; ++x, ++i)
            if (!IsKeyed(px[i], key, f)) PutPixel(dst, dx + x, dy + y, px[i]);
}

void Stretch(const PixelView& dst, const RECT& dr, const RECT& clip, const PixelView& src, const RECT& sr,
             const ColourKey& key, const PixelFormat& f) {
    int64_t dw = dr.right - dr.left, dh = dr.bottom - dr.top;
    int64_t sw = sr.right - sr.left, sh = sr.bottom - sr.top;
    std::vector<uint32_t> px = ReadRect(src, sr);
    for (int y = clip.top; y < clip.bottom; ++y) {
        int64_t sy = (y - dr.top) * sh / dh;
        for (int x = clip.left; x < clip.right; ++x) {
            int64_t sx = (x - dr.left) * sw / dw;
            uint32_t v = px[static_cast<size_t>(sy * sw + sx)];
            if (!IsKeyed(v, key, f)) PutPixel(dst, x, y, v);
        }
    }
}

}  // namespace ddraw::refblit
