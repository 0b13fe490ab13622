// Fixture builders for the picture tests: BMP files written byte by byte,
// JPEGs made with libjpeg, and small metafiles and icons.
#pragma once

#include <QImage>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "toolkit/sysutils.h"

namespace pictest {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, uint16_t v);
void Put32(Bytes& b, uint32_t v);

// Rows of `bpp`-bit values from fn(x, y), padded to 4 bytes, stored bottom
// row first unless topDown.
Bytes PackRows(int w, int h, int bpp, bool topDown, const std::function<uint32_t(int, int)>& fn);

struct BmpLayout {
    int headerSize = 40;  // 12, 40, 52, 56, 108, 124
    int width = 0;
    int height = 0;       // negative: top-down
    int bpp = 8;
    uint32_t compression = 0;
    std::vector<uint32_t> masks;  // written for compression 3
    std::vector<QRgb> table;
    uint32_t clrUsed = 0;
    uint16_t planes = 1;
    int64_t offsetDelta = 0;  // added to the correct pixel-data offset
};
// A complete BMP file: header fields from layout, then `pixels`.
Bytes MakeBmp(const BmpLayout& layout, const Bytes& pixels);

Bytes MakeJpeg(int w, int h, bool grey, const std::function<QRgb(int, int)>& fn, int quality = 95);

// One-rectangle metafiles: a red rectangle over the left half of a
// 100 x 100 pixel picture.
Bytes MakeEmfLeftHalfRed();
Bytes MakePlaceableWmfLeftHalfRed();

// Drawings using most record kinds the renderer knows, on 100 x 100
// pixels: a blue triangle over the top-left corner (to (50, 0) and
// (0, 50)), black text "Hi" near (55..100, 5..35), a 2 x 2 bitmap stretched
// over (60, 60)-(100, 100) with yellow on top and red below, and a black
// filled triangle (0, 60), (40, 60), (0, 100) (EMF: drawn as a path; WMF:
// as one of a poly-polygon's shapes).
Bytes MakeEmfSampler();
Bytes MakeWmfSampler();

Bytes MakeIco(const QImage& image);

// Runs fn and returns the message of the tk::Exception it raises ("" if
// none).
std::string MessageOf(const std::function<void()>& fn);

std::string TempDir();

}  // namespace pictest
