#include "bmputil.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "platform/winsys/winsys.h"
#include "toolkit/cpufeatures.h"
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

namespace {

// Chunks of this many pixels are remapped whole once every index in them
// has its answer.
constexpr int kChunk = 64;

#if defined(__x86_64__)
// Clang and GCC 12 warn about the permute intrinsics' undefined start.
#pragma GCC diagnostic push
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
// With AVX-512 VBMI the 256-entry table sits in four registers and 64
// indices at a time are looked up by byte permutes; a second table of
// 0x80 (answered) or 0 shows whether a chunk holds an index not yet
// answered. Returns how many pixels from the start it remapped: whole
// chunks up to the first that holds an unanswered index.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) int RemapKnownVbmi(const uint8_t* in, uint8_t* out, int n,
                                                                         const uint8_t* table,
                                                                         const uint8_t* known) {
    __m512i t[4], k[4];
    for (int q = 0; q < 4; ++q) {
        t[q] = _mm512_loadu_si512(table + 64 * q);
        k[q] = _mm512_loadu_si512(known + 64 * q);
    }
    int i = 0;
    for (; i + kChunk <= n; i += kChunk) {
        const __m512i idx = _mm512_loadu_si512(in + i);
        const __mmask64 high = _mm512_movepi8_mask(idx);  // index >= 128
        const __m512i ok = _mm512_mask_blend_epi8(high, _mm512_permutex2var_epi8(k[0], idx, k[1]),
                                                  _mm512_permutex2var_epi8(k[2], idx, k[3]));
        if (_mm512_movepi8_mask(ok) != ~__mmask64(0)) break;
        _mm512_storeu_si512(out + i, _mm512_mask_blend_epi8(high, _mm512_permutex2var_epi8(t[0], idx, t[1]),
                                                            _mm512_permutex2var_epi8(t[2], idx, t[3])));
    }
    return i;
}
#pragma GCC diagnostic pop
#endif

// Remaps whole chunks whose indices all have answers; returns how many
// pixels it did (0 where the processor has no byte permutes).
int RemapKnown(const uint8_t* in, uint8_t* out, int n, const uint8_t* table, const uint8_t* known) {
#if defined(__x86_64__)
    if (tk::HasAvx512Vbmi()) return RemapKnownVbmi(in, out, n, table, known);
#endif
    (void)in, (void)out, (void)n, (void)table, (void)known;
    return 0;
}

}  // namespace

void MatchPixels(TLibPalette& palette, const TPixelSource& src, uint8_t* dst, ptrdiff_t dstStride,
                 std::optional<uint8_t> transparent, const std::function<void(int row)>& rowDone) {
    // MatchColor answers a colour the same way until the palette changes,
    // and the palette only changes by taking in the colour being matched, so
    // each colour index needs matching once: when a pixel first uses it.
    // Pixels are taken in order, so colours join the palette in the order
    // they are first used; runs whose indices are all answered are a plain
    // table remap.
    if (src.width <= 0) return;
    alignas(64) uint8_t table8[256] = {};
    alignas(64) uint8_t known8[256] = {};  // 0x80 once answered
    int known = 0;
    if (transparent) {
        table8[*transparent] = 0;
        known8[*transparent] = 0x80;
        known = 1;
    }
    const TRGBQuad* table = src.info->bmiColors;
    const uint8_t* in = src.rows;
    for (int y = 0; y < src.height; ++y, in += src.stride, dst += dstStride) {
        if (known == 256) {
            // Every index answered: a plain table remap.
            const int done = RemapKnown(in, dst, src.width, table8, known8);
            for (int x = done; x < src.width; ++x) dst[x] = table8[in[x]];
        } else {
            int x = 0;
            while (x < src.width) {
                x += RemapKnown(in + x, dst + x, src.width - x, table8, known8);
                // One chunk pixel by pixel, answering indices as they come.
                for (const int end = std::min(src.width, x + kChunk); x < end; ++x) {
                    const uint8_t v = in[x];
                    if (!known8[v]) [[unlikely]] {
                        const TRGBQuad& q = table[v];
                        table8[v] = static_cast<uint8_t>(MatchColor(palette, q.rgbRed, q.rgbGreen, q.rgbBlue));
                        known8[v] = 0x80;
                        ++known;
                    }
                    dst[x] = table8[v];
                }
            }
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
