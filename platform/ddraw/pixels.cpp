#include "pixels.h"

#include <cstring>

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

void ExpandPalette(const uint8_t* in, int n, const uint32_t* table, uint32_t* out) {
    // Eight indices a load; the table lookups are the whole cost.
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t idx;
        std::memcpy(&idx, in + i, 8);
        out[i] = table[idx & 0xFF];
        out[i + 1] = table[(idx >> 8) & 0xFF];
        out[i + 2] = table[(idx >> 16) & 0xFF];
        out[i + 3] = table[(idx >> 24) & 0xFF];
        out[i + 4] = table[(idx >> 32) & 0xFF];
        out[i + 5] = table[(idx >> 40) & 0xFF];
        out[i + 6] = table[(idx >> 48) & 0xFF];
        out[i + 7] = table[idx >> 56];
    }
    for (; i < n; ++i) out[i] = table[in[i]];
}

namespace {

// 5-6-5 to 8-8-8, the top bits of each channel repeated below it (as
// UnpackRGB does).
void Expand565(const uint16_t* in, int n, uint32_t* __restrict out) {
    for (int i = 0; i < n; ++i) {
        uint32_t v = in[i];
        uint32_t r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
        out[i] = 0xFF000000u | (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) | ((b << 3) | (b >> 2));
    }
}

void Expand888(const uint8_t* in, int n, uint32_t* __restrict out) {
    for (int i = 0; i < n; ++i)
        out[i] = 0xFF000000u | (uint32_t(in[3 * i + 2]) << 16) | (uint32_t(in[3 * i + 1]) << 8) | in[3 * i];
}

void Opaque32(const uint32_t* in, int n, uint32_t* __restrict out) {
    for (int i = 0; i < n; ++i) out[i] = 0xFF000000u | in[i];
}

}  // namespace

void ConvertRow(const uint8_t* in, int n, const PixelFormat& f, const uint32_t* table, uint32_t* out) {
    switch (f.bits) {
        case 8: ExpandPalette(in, n, table, out); break;
        case 16: Expand565(reinterpret_cast<const uint16_t*>(in), n, out); break;
        case 24: Expand888(in, n, out); break;
        default: Opaque32(reinterpret_cast<const uint32_t*>(in), n, out); break;
    }
}

QImage ToImage(const PixelView& v, const PixelFormat& f, const PALETTEENTRY* palette) {
    QImage img(v.width, v.height, QImage::Format_RGB32);
    if (img.isNull()) return img;
    uint32_t table[256];
    if (f.bits == 8) PaletteTable(palette, table);
    for (int y = 0; y < v.height; ++y)
        ConvertRow(v.Row(y), v.width, f, table, reinterpret_cast<uint32_t*>(img.scanLine(y)));
    return img;
}

namespace {

class ViewFrame final : public winsys::Frame {
public:
    ViewFrame(const PixelView& v, const PixelFormat& f, const PALETTEENTRY* palette, std::shared_ptr<const void> keep)
        : v_(v), f_(f), keep_(std::move(keep)) {
        if (f.bits == 8) PaletteTable(palette, table_);
    }
    int Width() const override { return v_.width; }
    int Height() const override { return v_.height; }
    void ReadRow(int y, uint32_t* out) const override { ConvertRow(v_.Row(y), v_.width, f_, table_, out); }

private:
    PixelView v_;
    PixelFormat f_;
    std::shared_ptr<const void> keep_;
    uint32_t table_[256] = {};
};

}  // namespace

std::shared_ptr<const winsys::Frame> MakeFrame(const PixelView& v, const PixelFormat& f, const PALETTEENTRY* palette,
                                               std::shared_ptr<const void> keep) {
    return std::make_shared<ViewFrame>(v, f, palette, std::move(keep));
}

}  // namespace ddraw
