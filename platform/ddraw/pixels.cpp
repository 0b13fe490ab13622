#include "pixels.h"

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

QImage ToImage(const PixelView& v, const PixelFormat& f, const PALETTEENTRY* palette) {
    QImage img(v.width, v.height, QImage::Format_RGB32);
    if (img.isNull()) return img;
    QRgb lut[256];
    if (f.bits == 8)
        for (int i = 0; i < 256; ++i) lut[i] = UnpackRGB(f, static_cast<uint32_t>(i), palette);
    for (int y = 0; y < v.height; ++y) {
        auto* out = reinterpret_cast<QRgb*>(img.scanLine(y));
        const uint8_t* in = v.Row(y);
        switch (f.bits) {
            case 8:
                for (int x = 0; x < v.width; ++x) out[x] = lut[in[x]];
                break;
            case 16: {
                auto* p = reinterpret_cast<const uint16_t*>(in);
                for (int x = 0; x < v.width; ++x) out[x] = UnpackRGB(f, p[x], nullptr);
                break;
            }
            case 24:
                for (int x = 0; x < v.width; ++x)
                    out[x] = qRgb(in[3 * x + 2], in[3 * x + 1], in[3 * x]);
                break;
            default: {
                auto* p = reinterpret_cast<const uint32_t*>(in);
                for (int x = 0; x < v.width; ++x) out[x] = 0xFF000000u | p[x];
                break;
            }
        }
    }
    return img;
}

}  // namespace ddraw
