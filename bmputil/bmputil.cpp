#include "bmputil.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/winsys/winsys.h"
#include "toolkit/streams.h"

namespace bmputil {

// ---- Reading bitmap files -----------------------------------------------------

namespace {

// Largest information header we step over to reach the colour table (the
// version 5 header); smaller and unknown sizes read the table directly after
// the 40-byte header.
constexpr uint32_t kLargestInfoHeader = 124;

void ReadBitmapBody(tk::TStream& stream, int64_t start, const TBitmapFileHeader& fh,
                    std::unique_ptr<TBitmapInfo>& info, tk::TBytes& pixels,
                    size_t& pixelSize, size_t& infoSize) {
    infoSize = kBitmapInfoSize;
    try {
        info = std::make_unique<TBitmapInfo>();
    } catch (const std::bad_alloc&) {
        throw tk::Exception(SNoInfoMemory);
    }
    TBitmapInfoHeader& h = info->bmiHeader;
    stream.ReadBuffer(&h, sizeof h);
    if (h.biBitCount != 8) throw tk::Exception(SNot8Bit);
    if (h.biCompression != 0) throw tk::Exception(SCompressed);
    // A width below zero describes no bitmap at all.
    if (h.biWidth < 0) throw tk::Exception(SNotBitmap);

    // At most 256 colours fit the table; a larger count is cut, the pixel
    // data is found through its offset anyway.
    uint32_t colors = h.biClrUsed == 0 ? 256 : std::min<uint32_t>(h.biClrUsed, 256);
    const int64_t stride = BytesPerLine(h.biWidth);
    const int64_t rows = std::abs(static_cast<int64_t>(h.biHeight));
    const int64_t size = stride * rows;

    // Version 4 and 5 headers (108, 124 bytes) put the colour table after
    // their own size; the block keeps the 40-byte header it holds.
    if (h.biSize > sizeof(TBitmapInfoHeader) && h.biSize <= kLargestInfoHeader) {
        stream.Seek(h.biSize - sizeof(TBitmapInfoHeader), tk::TSeekOrigin::soCurrent);
        h.biSize = sizeof(TBitmapInfoHeader);
    }
    std::fill(info->bmiColors, info->bmiColors + colors, TRGBQuad{});
    stream.ReadBuffer(info->bmiColors, colors * 4);

    stream.Seek(start + fh.bfOffBits, tk::TSeekOrigin::soBeginning);
    // The file must hold the whole block; check before allocating so that a
    // header cannot ask for more memory than the file could fill.
    if (size > stream.Remaining()) throw tk::EReadError(tk::msg::SReadError);
    try {
        pixels = tk::TBytes::Uninitialized(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        throw tk::Exception(SNoBitsMemory);
    }
    // The block ends top row first, every byte of it read. Each chunk of
    // rows is read straight into its place (the memory is never cleared
    // first); a bottom-up file is read from its last chunk back and each
    // chunk turned over while it is still in the cache.
    const bool bottomUp = h.biHeight > 0;
    const int64_t blockStart = stream.Position();
    const int64_t rowsPerChunk = stride > 0 ? std::max<int64_t>(1, (int64_t(1) << 20) / stride) : rows;
    for (int64_t done = 0; done < rows && stride > 0;) {
        const int64_t n = std::min(rowsPerChunk, rows - done);
        const int64_t firstRow = bottomUp ? rows - done - n : done;  // in file order
        uint8_t* dst = pixels.data() + done * stride;
        stream.Seek(blockStart + firstRow * stride, tk::TSeekOrigin::soBeginning);
        stream.ReadBuffer(dst, n * stride);
        if (bottomUp) FlipRows(dst, stride, n);
        done += n;
    }
    pixelSize = static_cast<size_t>(size);
    if (bottomUp) h.biHeight = -h.biHeight;
}

}  // namespace

void ReadBitmapStream(tk::TStream& stream, std::unique_ptr<TBitmapInfo>& info,
                      tk::TBytes& pixels, size_t& pixelSize, size_t& infoSize) {
    info.reset();
    pixels = tk::TBytes();
    pixelSize = 0;
    infoSize = 0;
    const int64_t start = stream.Position();
    TBitmapFileHeader fh;
    stream.ReadBuffer(&fh, sizeof fh);
    if (fh.bfType != kBitmapMagic) throw tk::Exception(SNotBitmap);
    try {
        ReadBitmapBody(stream, start, fh, info, pixels, pixelSize, infoSize);
    } catch (...) {
        info.reset();
        pixels = tk::TBytes();
        pixelSize = 0;
        infoSize = 0;
        throw;
    }
}

void ReadBitmapFile(const std::string& fileName, std::unique_ptr<TBitmapInfo>& info,
                    tk::TBytes& pixels, size_t& pixelSize, size_t& infoSize) {
    info.reset();
    pixels = tk::TBytes();
    pixelSize = 0;
    infoSize = 0;
    tk::TFileStream file(fileName, tk::fmOpenRead);
    ReadBitmapStream(file, info, pixels, pixelSize, infoSize);
}

void FlipRows(uint8_t* pixels, int64_t rowLength, int64_t rowCount) {
    if (!pixels || rowLength <= 0 || rowCount < 2) return;
    std::vector<uint8_t> row(static_cast<size_t>(rowLength));
    for (int64_t top = 0, bottom = rowCount - 1; top < bottom; ++top, --bottom) {
        uint8_t* a = pixels + top * rowLength;
        uint8_t* b = pixels + bottom * rowLength;
        std::memcpy(row.data(), a, static_cast<size_t>(rowLength));
        std::memcpy(a, b, static_cast<size_t>(rowLength));
        std::memcpy(b, row.data(), static_cast<size_t>(rowLength));
    }
}

// ---- Palettes -----------------------------------------------------------------

tk::TLogPalette MakePalette(const TBitmapInfo& info) {
    tk::TLogPalette pal(256);
    for (int i = 0; i < 256; ++i) {
        const TRGBQuad& q = info.bmiColors[i];
        pal[i] = tk::TPaletteEntry{q.rgbRed, q.rgbGreen, q.rgbBlue, 0};
    }
    return pal;
}

void PaletteToColorTable(const TLibPalette& palette, TBitmapInfo& info) {
    for (int i = 1; i < 256; ++i) {
        info.bmiColors[i].rgbRed = palette[i].Red;
        info.bmiColors[i].rgbGreen = palette[i].Green;
        info.bmiColors[i].rgbBlue = palette[i].Blue;
    }
}

void PaletteToColorTable(const tk::TLogPalette& palette, TBitmapInfo& info) {
    const int n = static_cast<int>(std::min<size_t>(palette.size(), 256));
    for (int i = 1; i < n; ++i) {
        info.bmiColors[i].rgbRed = palette[i].peRed;
        info.bmiColors[i].rgbGreen = palette[i].peGreen;
        info.bmiColors[i].rgbBlue = palette[i].peBlue;
    }
}

void ColorTableToPalette(TLibPalette& palette, const TBitmapInfo& info) {
    for (int i = 0; i < 256; ++i) {
        palette[i].Red = info.bmiColors[i].rgbRed;
        palette[i].Green = info.bmiColors[i].rgbGreen;
        palette[i].Blue = info.bmiColors[i].rgbBlue;
    }
}

int MatchColor(TLibPalette& palette, uint8_t red, uint8_t green, uint8_t blue, TMatchKind& kind) {
    int firstFree = 0;
    for (int i = 1; i < 256; ++i) {
        const TLibPalEntry& e = palette[i];
        if (e.Used == 0) {
            if (firstFree == 0) firstFree = i;
        } else if (e.Red == red && e.Green == green && e.Blue == blue) {
            kind = mkExact;
            return i;
        }
    }
    if (firstFree != 0) {
        palette[firstFree] = TLibPalEntry{red, green, blue, 1};
        kind = mkAdded;
        return firstFree;
    }
    int best = 0, bestDist = 768;
    for (int i = 1; i < 256; ++i) {
        const TLibPalEntry& e = palette[i];
        int d = std::abs(red - e.Red) + std::abs(green - e.Green) + std::abs(blue - e.Blue);
        if (d < bestDist) {
            bestDist = d;
            best = i;
        }
    }
    kind = mkNearest;
    return best;
}

int MatchColor(TLibPalette& palette, uint8_t red, uint8_t green, uint8_t blue) {
    TMatchKind kind;
    return MatchColor(palette, red, green, blue, kind);
}

void ResetPalette(TLibPalette& palette, bool systemColors) {
    palette.fill(TLibPalEntry{});
    if (!systemColors) return;
    palette[0].Used = 1;
    tk::TPaletteEntry sys[10];
    auto take = [&](int start) {
        int n = winsys::GetSystemPaletteEntries(start, 10, sys);
        for (int k = 0; k < n; ++k)
            palette[start + k] = TLibPalEntry{sys[k].peRed, sys[k].peGreen, sys[k].peBlue, 1};
    };
    take(0);
    take(246);
}

// ---- Whole-picture matching ---------------------------------------------------

TPixelSource SourceOf(const TBitmapInfo& info, std::span<const uint8_t> pixels) {
    const TBitmapInfoHeader& h = info.bmiHeader;
    const int64_t stride = BytesPerLine(h.biWidth);
    const int64_t rows = std::abs(static_cast<int64_t>(h.biHeight));
    if (h.biWidth < 0 || rows > INT32_MAX || stride * rows > static_cast<int64_t>(pixels.size()))
        throw tk::EInvalidOperation("Pixel block is smaller than its bitmap");
    TPixelSource s;
    s.info = &info;
    s.width = h.biWidth;
    s.height = static_cast<int>(rows);
    s.rows = pixels.data();
    s.stride = static_cast<ptrdiff_t>(stride);
    if (h.biHeight > 0 && rows > 0) {  // bottom row first: start at the top row, the last one
        s.rows = pixels.data() + (rows - 1) * stride;
        s.stride = -s.stride;
    }
    return s;
}

void MatchPixels(TLibPalette& palette, const TPixelSource& src, uint8_t* dst, ptrdiff_t dstStride,
                 std::optional<uint8_t> transparent, const std::function<void(int row)>& rowDone) {
    // MatchColor answers a colour the same way until the palette changes,
    // and the palette only changes by taking in the colour being matched, so
    // each colour index needs matching once: when a pixel first uses it.
    if (src.width <= 0) return;
    int16_t map[256];
    std::fill(std::begin(map), std::end(map), int16_t(-1));
    uint8_t table8[256] = {};
    int known = 0;
    if (transparent) {
        map[*transparent] = 0;
        known = 1;
    }
    const TRGBQuad* table = src.info->bmiColors;
    const uint8_t* in = src.rows;
    for (int y = 0; y < src.height; ++y, in += src.stride, dst += dstStride) {
        if (known == 256) {
            // Every index answered: a plain table remap.
            for (int x = 0; x < src.width; ++x) dst[x] = table8[in[x]];
        } else {
            for (int x = 0; x < src.width; ++x) {
                const uint8_t v = in[x];
                int16_t m = map[v];
                if (m < 0) [[unlikely]] {
                    const TRGBQuad& q = table[v];
                    m = map[v] =
                        static_cast<int16_t>(MatchColor(palette, q.rgbRed, q.rgbGreen, q.rgbBlue));
                    ++known;
                }
                dst[x] = static_cast<uint8_t>(m);
            }
            if (known == 256)
                for (int i = 0; i < 256; ++i) table8[i] = static_cast<uint8_t>(map[i]);
        }
        if (rowDone) rowDone(y);
    }
}

void MatchPixelsLiteral(TLibPalette& palette, const TPixelSource& src, uint8_t* dst,
                        ptrdiff_t dstStride, std::optional<uint8_t> transparent,
                        const std::function<void(int row)>& rowDone) {
    const TRGBQuad* table = src.info->bmiColors;
    const uint8_t* in = src.rows;
    for (int y = 0; y < src.height; ++y, in += src.stride, dst += dstStride) {
        for (int x = 0; x < src.width; ++x) {
            const uint8_t v = in[x];
            if (transparent && v == *transparent) {
                dst[x] = 0;
            } else {
                const TRGBQuad& q = table[v];
                dst[x] = static_cast<uint8_t>(MatchColor(palette, q.rgbRed, q.rgbGreen, q.rgbBlue));
            }
        }
        if (rowDone) rowDone(y);
    }
}

}  // namespace bmputil
