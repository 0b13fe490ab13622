// Pixel formats and views of surface memory, shared by the blitters, the
// surfaces and the backends.
#pragma once

#include <QImage>
#include <cstdint>
#include <memory>

#include "ddraw.h"
#include "platform/winsys/frame.h"

namespace ddraw {

// One of the four surface formats: 8-bit palettised, 16-bit 5-6-5,
// 24-bit and 32-bit 8-8-8 (blue in the lowest byte).
struct PixelFormat {
    int bits = 32;
    uint32_t rMask = 0x00FF0000, gMask = 0x0000FF00, bMask = 0x000000FF;
    bool Palettized() const { return bits == 8; }
    int Bytes() const { return bits / 8; }
    // The bits that carry colour; colour keys compare these only.
    uint32_t ColourMask() const { return bits == 8 ? 0xFFu : (rMask | gMask | bMask); }
    bool operator==(const PixelFormat&) const = default;
};

// The format for a bit depth (8, 16, 24 or 32); false for others.
bool FormatForBits(int bits, PixelFormat* out);
// The format a DDPIXELFORMAT describes; false for one surfaces cannot have.
bool FormatFromDD(const DDPIXELFORMAT& pf, PixelFormat* out);
void FormatToDD(const PixelFormat& f, DDPIXELFORMAT* pf);

// Pixel value of an RGB colour in a direct-colour format.
uint32_t PackRGB(const PixelFormat& f, uint8_t r, uint8_t g, uint8_t b);
// RGB of a pixel value (through the palette for 8 bits; black when the
// palette lacks the entry).
QRgb UnpackRGB(const PixelFormat& f, uint32_t v, const PALETTEENTRY* palette);

// A rectangle of pixels in memory.
struct PixelView {
    uint8_t* bits = nullptr;
    int pitch = 0;
    int width = 0, height = 0;
    int bytesPerPixel = 4;
    uint8_t* Row(int y) const { return bits + static_cast<ptrdiff_t>(y) * pitch; }
    uint8_t* At(int x, int y) const { return Row(y) + static_cast<ptrdiff_t>(x) * bytesPerPixel; }
};

// The view as a 32-bit RGB image (a copy); 8-bit pixels through `palette`
// (256 entries).
QImage ToImage(const PixelView& v, const PixelFormat& f, const PALETTEENTRY* palette);

// The 256 colours of a palette as opaque 32-bit RGB (black without one).
void PaletteTable(const PALETTEENTRY* palette, uint32_t table[256]);

// A 256-entry table made ready for expanding many rows of palette indices.
class PaletteExpander {
public:
    explicit PaletteExpander(const uint32_t table[256]);
    // out[i] = table[in[i]] for n indices.
    void Expand(const uint8_t* in, int n, uint32_t* out) const;

private:
    alignas(64) uint8_t planes_[4][256];  // the table's bytes, one plane a byte
    uint32_t table_[256];
    bool alphaAlike_ = false;  // one alpha for all entries
    bool vbmi_ = false;
    bool gather_ = false;  // AVX2 gathers, where they beat plain lookups
};

// n palette indices to 32-bit pixels through `table`, at once.
void ExpandPalette(const uint8_t* in, int n, const uint32_t* table, uint32_t* out);
// n pixels of format `f` to opaque 32-bit RGB; `palette` expands 8-bit
// pixels (unused for others).
void ConvertRow(const uint8_t* in, int n, const PixelFormat& f, const PaletteExpander* palette, uint32_t* out);

// A frame of the view's pixels as they are when the window paints it.
// `keep` keeps the memory alive (the view does not own it); 8-bit pixels
// show through `palette` as it is now.
std::shared_ptr<const winsys::Frame> MakeFrame(const PixelView& v, const PixelFormat& f, const PALETTEENTRY* palette,
                                               std::shared_ptr<const void> keep);

// Rectangle helpers.
inline bool Empty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }
inline RECT Intersect(const RECT& a, const RECT& b) {
    return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
}
inline bool Contains(const RECT& outer, const RECT& inner) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

}  // namespace ddraw
