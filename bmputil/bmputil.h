// BmpUtil: routines for 8-bit (256-colour) device-independent bitmaps.
// Reading bitmap files, turning 8-bit pixel blocks into pictures, matching
// colours into a library palette and painting palettes as grids.
//
// Pixel blocks hold one palette index a pixel, rows padded to BytesPerLine
// (width) bytes. In memory they are top row first and the bitmap info's
// height is then negative.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "toolkit/bytes.h"
#include "toolkit/graphics.h"

namespace tk {
class TBitmap;
class TStream;
}  // namespace tk

namespace bmputil {

#pragma pack(push, 1)
// File layout of the bitmap file header (14 bytes).
struct TBitmapFileHeader {
    uint16_t bfType = 0;  // "BM"
    uint32_t bfSize = 0;
    uint16_t bfReserved1 = 0;
    uint16_t bfReserved2 = 0;
    uint32_t bfOffBits = 0;  // pixel data, from the start of the file
};

// The 40-byte bitmap information header.
struct TBitmapInfoHeader {
    uint32_t biSize = 0;
    int32_t biWidth = 0;
    int32_t biHeight = 0;
    uint16_t biPlanes = 0;
    uint16_t biBitCount = 0;
    uint32_t biCompression = 0;
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
};

struct TRGBQuad {
    uint8_t rgbBlue = 0, rgbGreen = 0, rgbRed = 0, rgbReserved = 0;
};

// The bitmap info block: header, a 256-entry colour table and 4 spare bytes.
// Value-initialised ("TBitmapInfo{}" or make_unique) it is all zeros.
struct TBitmapInfo {
    TBitmapInfoHeader bmiHeader;
    TRGBQuad bmiColors[256];
    uint8_t bmiSpare[4] = {};
};

// One library palette entry: colour and the Used mark (0 = free slot).
struct TLibPalEntry {
    uint8_t Red = 0, Green = 0, Blue = 0, Used = 0;
    bool operator==(const TLibPalEntry&) const = default;
};
#pragma pack(pop)

static_assert(sizeof(TBitmapFileHeader) == 14);
static_assert(sizeof(TBitmapInfoHeader) == 40);
static_assert(sizeof(TBitmapInfo) == 1068);
static_assert(sizeof(TLibPalEntry) == 4);

using TLibPalette = std::array<TLibPalEntry, 256>;
static_assert(sizeof(TLibPalette) == 1024);

constexpr uint16_t kBitmapMagic = 0x4D42;  // "BM"
constexpr uint32_t kBitmapInfoSize = sizeof(TBitmapInfo);

// Messages.
inline constexpr const char* SNotBitmap = "Not a valid bitmap file";
inline constexpr const char* SNoInfoMemory = "Could not allocate memory for TBitmapInfo";
inline constexpr const char* SNot8Bit = "The image must be an 8bpp (256 color) image";
inline constexpr const char* SCompressed = "The image must be uncompressed (RGB encoded)";
inline constexpr const char* SNoBitsMemory = "Could not allocate memory for bitmap bits";
inline constexpr const char* SCreateDIBFailed = "CreateDIBitmap failed";

// Row stride of an 8-bit pixel block: ((width * 8 + 31) div 32) * 4, the
// division truncating toward zero; the width rounded up to a multiple of 4.
constexpr int64_t BytesPerLine(int64_t width) {
    return ((width * 8 + 31) / 32) * 4;
}

// Loads an uncompressed 8-bit bitmap file. On success `info` holds the
// header and colour table (height negative), `pixels` the block top row
// first; pixelSize and infoSize are their sizes. On failure it raises with
// the file's message ("Cannot open file %s", "Not a valid bitmap file", ...)
// and leaves both blocks empty.
void ReadBitmapFile(const std::string& fileName, std::unique_ptr<TBitmapInfo>& info,
                    tk::TBytes& pixels, size_t& pixelSize, size_t& infoSize);
// The same from a stream positioned at the start of the bitmap file; offsets
// in the file count from there. A stream that ends early raises
// "Stream read error".
void ReadBitmapStream(tk::TStream& stream, std::unique_ptr<TBitmapInfo>& info,
                      tk::TBytes& pixels, size_t& pixelSize, size_t& infoSize);

// Reverses the order of `rowCount` rows of `rowLength` bytes in place.
void FlipRows(uint8_t* pixels, int64_t rowLength, int64_t rowCount);

// A logical palette of 256 entries from the colour table, flags 0.
tk::TLogPalette MakePalette(const TBitmapInfo& info);

// Gives `picture` an 8-bit indexed image of the pixels with the colour table
// and the palette MakePalette makes. Handles both row orders (negative
// height: top row first). Raises "CreateDIBitmap failed", leaving the picture
// empty, when no image results (no pixels, not 8 bits, pixels too short).
void AssignDIB(tk::TBitmap& picture, const TBitmapInfo& info, std::span<const uint8_t> pixels);

// Colour-table entries 1 to 255 take red, green and blue of the palette;
// entry 0 and every reserved byte stay as they are.
void PaletteToColorTable(const TLibPalette& palette, TBitmapInfo& info);
void PaletteToColorTable(const tk::TLogPalette& palette, TBitmapInfo& info);
// Palette entries 0 to 255 take red, green and blue of the colour table;
// the fourth bytes stay as they are.
void ColorTableToPalette(TLibPalette& palette, const TBitmapInfo& info);

enum TMatchKind : int { mkExact = 0, mkAdded = 1, mkNearest = 2 };

// The library palette index (1 to 255) that represents the colour: the
// first used entry of that colour; else the first free entry, which takes
// the colour and is marked used; else the nearest used entry by the sum of
// channel differences, the lowest index on ties. Entry 0 is never examined.
int MatchColor(TLibPalette& palette, uint8_t red, uint8_t green, uint8_t blue, TMatchKind& kind);
int MatchColor(TLibPalette& palette, uint8_t red, uint8_t green, uint8_t blue);

// Paints the palette as 16 x 16 cells at a pitch of `cell` pixels, each
// cell (cell - 2) pixels square, in palette-relative colours.
void DrawPaletteGrid(tk::TCanvas& canvas, int left, int top, const TLibPalette& palette, int cell);

// All 256 entries black and free; with the system colours, entries 0-9 and
// 246-255 take the system palette's static colours, marked used.
void ResetPalette(TLibPalette& palette, bool systemColors);

// ---- Whole-picture matching -------------------------------------------------

// An 8-bit picture to match: `rows` points at the top row, `stride` is the
// distance from one row to the next one down (negative for a block stored
// bottom row first).
struct TPixelSource {
    const TBitmapInfo* info = nullptr;  // colour table
    const uint8_t* rows = nullptr;
    ptrdiff_t stride = 0;
    int width = 0;
    int height = 0;
};

// A view of a pixel block as the bitmap info describes it (either row order).
// Raises when the block is shorter than the info says.
TPixelSource SourceOf(const TBitmapInfo& info, std::span<const uint8_t> pixels);

// Matches every pixel of `src` into `palette` and writes the indices into
// `dst` (top row first, `dstStride` bytes a row; padding is not written).
// Pixels equal to the transparent index become 0 without being matched.
// MatchColor runs once per distinct colour index, in the order pixels first
// use it, and the answer is remembered: the result, palette included, is the
// same as MatchPixelsLiteral's. `rowDone` runs after each row.
void MatchPixels(TLibPalette& palette, const TPixelSource& src, uint8_t* dst, ptrdiff_t dstStride,
                 std::optional<uint8_t> transparent,
                 const std::function<void(int row)>& rowDone = {});
// The reference: MatchColor for every pixel, rows from the top, pixels from
// the left.
void MatchPixelsLiteral(TLibPalette& palette, const TPixelSource& src, uint8_t* dst,
                        ptrdiff_t dstStride, std::optional<uint8_t> transparent,
                        const std::function<void(int row)>& rowDone = {});

}  // namespace bmputil
