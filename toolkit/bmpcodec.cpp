#include "bmpcodec.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>

#include "sysutils.h"

namespace tk::bmp {

namespace {

constexpr uint32_t kBI_RGB = 0, kBI_RLE8 = 1, kBI_RLE4 = 2, kBI_BITFIELDS = 3;

[[noreturn]] void Invalid() { throw EInvalidGraphic(msg::SInvalidBitmap); }

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
int32_t I32(const uint8_t* p) { return static_cast<int32_t>(U32(p)); }

void Put16(std::vector<uint8_t>& v, uint16_t x) {
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}

// What the header says, every field checked.
struct Header {
    int32_t width = 0;
    int32_t height = 0;  // always positive here
    bool topDown = false;
    int bpp = 0;
    uint32_t compression = kBI_RGB;
    uint32_t masks[3] = {0, 0, 0};
    bool core = false;
    size_t headerEnd = 0;    // offset after header and separate masks
    size_t tableOffset = 0;  // offset of the colour table
    uint32_t tableCount = 0; // colour entries (indexed depths only)
    int entrySize = 4;
    size_t TableEnd() const { return tableOffset + size_t(tableCount) * size_t(entrySize); }
};

bool ValidMask(uint32_t m, int bpp) {
    if (m == 0) return false;
    if (bpp < 32 && (uint64_t(m) >> bpp) != 0) return false;
    uint32_t shifted = m >> std::countr_zero(m);
    return (shifted & (shifted + 1)) == 0;  // one contiguous run of bits
}

// `avail` is the number of bytes from h to the end of the data the colour
// table must fit in.
Header ParseHeader(const uint8_t* h, size_t avail) {
    Header hd;
    if (avail < 4) Invalid();
    const uint32_t hs = U32(h);
    if (hs == 12) {
        if (avail < 12) Invalid();
        hd.core = true;
        hd.width = U16(h + 4);
        hd.height = U16(h + 6);
        if (U16(h + 8) != 1) Invalid();
        hd.bpp = U16(h + 10);
        if (hd.bpp != 1 && hd.bpp != 4 && hd.bpp != 8 && hd.bpp != 24) Invalid();
        if (hd.width <= 0 || hd.height <= 0) Invalid();
        hd.headerEnd = 12;
        hd.entrySize = 3;
        hd.tableCount = hd.bpp <= 8 ? (1u << hd.bpp) : 0;
    } else if (hs == 40 || hs == 52 || hs == 56 || hs == 64 || hs == 108 || hs == 124) {
        if (avail < hs) Invalid();
        hd.width = I32(h + 4);
        int32_t height = I32(h + 8);
        if (U16(h + 12) != 1) Invalid();
        hd.bpp = U16(h + 14);
        hd.compression = U32(h + 16);
        const uint32_t clrUsed = U32(h + 32);
        if (hd.width <= 0 || height == 0 || height == INT32_MIN) Invalid();
        hd.topDown = height < 0;
        hd.height = height < 0 ? -height : height;
        switch (hd.bpp) {
            case 1: case 4: case 8: case 16: case 24: case 32: break;
            default: Invalid();
        }
        switch (hd.compression) {
            case kBI_RGB: break;
            case kBI_RLE8: if (hd.bpp != 8 || hd.topDown) Invalid(); break;
            case kBI_RLE4: if (hd.bpp != 4 || hd.topDown) Invalid(); break;
            // In a 64-byte (OS/2 2.x) header, 3 means Huffman coding.
            case kBI_BITFIELDS: if ((hd.bpp != 16 && hd.bpp != 32) || hs == 64) Invalid(); break;
            default: Invalid();
        }
        hd.headerEnd = hs;
        if (hd.compression == kBI_BITFIELDS) {
            if (hs == 40) {
                if (avail < 52) Invalid();
                hd.headerEnd = 52;
            }
            for (int i = 0; i < 3; ++i) hd.masks[i] = U32(h + 40 + 4 * i);
            for (int i = 0; i < 3; ++i)
                if (!ValidMask(hd.masks[i], hd.bpp)) Invalid();
            if ((hd.masks[0] & hd.masks[1]) || (hd.masks[0] & hd.masks[2]) || (hd.masks[1] & hd.masks[2])) Invalid();
        } else if (hd.bpp == 16) {
            hd.masks[0] = 0x7C00, hd.masks[1] = 0x03E0, hd.masks[2] = 0x001F;
        } else if (hd.bpp == 32) {
            hd.masks[0] = 0xFF0000, hd.masks[1] = 0xFF00, hd.masks[2] = 0xFF;
        }
        if (hd.bpp <= 8) {
            const uint32_t full = 1u << hd.bpp;
            if (clrUsed > full) Invalid();
            hd.tableCount = clrUsed ? clrUsed : full;
        }
    } else {
        Invalid();
    }
    hd.tableOffset = hd.headerEnd;
    if (hd.tableOffset > avail || size_t(hd.tableCount) * size_t(hd.entrySize) > avail - hd.tableOffset) Invalid();
    return hd;
}

QImage NewImage(int w, int h, QImage::Format f) {
    QImage img(w, h, f);
    if (img.isNull()) throw EOutOfMemory(msg::SOutOfMemory);
    return img;
}

// Channel extraction for arbitrary masks: value scaled to 0..255.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 1;
    explicit Channel(uint32_t m) : mask(m), shift(std::countr_zero(m)), max(m >> std::countr_zero(m)) {}
    uint32_t Get(uint32_t px) const { return (((px & mask) >> shift) * 255u + max / 2) / max; }
};

void CheckIndex(uint32_t index, uint32_t count) {
    if (index >= count) Invalid();
}

void DecodeRLE(const Header& hd, const uint8_t* d, size_t n, QImage& img) {
    img.fill(0);
    const int64_t W = hd.width, H = hd.height;
    const bool four = hd.compression == kBI_RLE4;
    int64_t x = 0, y = 0;  // y counts file rows from the bottom
    size_t i = 0;
    auto put = [&](uint32_t index) {
        CheckIndex(index, hd.tableCount);
        if (x < W && y < H) img.scanLine(static_cast<int>(H - 1 - y))[x] = static_cast<uint8_t>(index);
        ++x;
    };
    while (i + 2 <= n && y < H) {
        const uint8_t count = d[i], code = d[i + 1];
        i += 2;
        if (count > 0) {
            for (int k = 0; k < count; ++k)
                put(four ? ((k & 1) ? (code & 0x0F) : (code >> 4)) : code);
        } else if (code == 0) {  // end of line
            x = 0;
            ++y;
        } else if (code == 1) {  // end of bitmap
            break;
        } else if (code == 2) {  // move right and up
            if (i + 2 > n) Invalid();
            x += d[i];
            y += d[i + 1];
            i += 2;
        } else {  // `code` literal pixels, padded to a 16-bit boundary
            const size_t bytes = four ? (size_t(code) + 1) / 2 : code;
            if (bytes > n - i) Invalid();
            for (int k = 0; k < code; ++k)
                put(four ? ((k & 1) ? (d[i + k / 2] & 0x0F) : (d[i + k / 2] >> 4)) : d[i + k]);
            i += bytes + (bytes & 1);
        }
    }
}

Decoded DecodePixels(const Header& hd, const uint8_t* table, const uint8_t* bits, size_t bitsSize) {
    Decoded out;
    out.coreHeader = hd.core;
    out.bitsPerPixel = hd.bpp;
    const int W = hd.width, H = hd.height;

    QList<QRgb> colours;
    if (hd.bpp <= 8) {
        colours.reserve(static_cast<qsizetype>(hd.tableCount));
        for (uint32_t i = 0; i < hd.tableCount; ++i) {
            const uint8_t* e = table + size_t(i) * size_t(hd.entrySize);
            colours.push_back(qRgb(e[2], e[1], e[0]));
        }
    }

    if (hd.compression == kBI_RLE8 || hd.compression == kBI_RLE4) {
        // Runs expand data a long way; bound the picture by what the data
        // could plausibly cover before allocating it.
        const uint64_t pixels = uint64_t(W) * uint64_t(H);
        if (pixels > std::max<uint64_t>(uint64_t(bitsSize) * 256u, uint64_t(1) << 22)) Invalid();
        out.image = NewImage(W, H, QImage::Format_Indexed8);
        out.image.setColorTable(colours);
        DecodeRLE(hd, bits, bitsSize, out.image);
        return out;
    }

    const uint64_t stride = (uint64_t(W) * uint64_t(hd.bpp) + 31) / 32 * 4;
    if (stride > bitsSize || uint64_t(H) > bitsSize / stride) Invalid();
    auto row = [&](int y) { return bits + size_t(hd.topDown ? y : H - 1 - y) * size_t(stride); };

    if (hd.bpp <= 8) {
        out.image = NewImage(W, H, QImage::Format_Indexed8);
        out.image.setColorTable(colours);
        const uint32_t count = hd.tableCount;
        for (int y = 0; y < H; ++y) {
            const uint8_t* s = row(y);
            uint8_t* t = out.image.scanLine(y);
            if (hd.bpp == 8) {
                std::memcpy(t, s, size_t(W));
                if (count < 256)
                    for (int x = 0; x < W; ++x) CheckIndex(t[x], count);
            } else if (hd.bpp == 4) {
                for (int x = 0; x < W; ++x) t[x] = (x & 1) ? (s[x / 2] & 0x0F) : (s[x / 2] >> 4);
                if (count < 16)
                    for (int x = 0; x < W; ++x) CheckIndex(t[x], count);
            } else {
                for (int x = 0; x < W; ++x) t[x] = (s[x / 8] >> (7 - (x & 7))) & 1;
                if (count < 2)
                    for (int x = 0; x < W; ++x) CheckIndex(t[x], count);
            }
        }
        return out;
    }

    if (hd.bpp == 24) {
        out.image = NewImage(W, H, QImage::Format_RGB888);
        for (int y = 0; y < H; ++y) {
            const uint8_t* s = row(y);
            uint8_t* t = out.image.scanLine(y);
            for (int x = 0; x < W; ++x, s += 3, t += 3) {
                t[0] = s[2];
                t[1] = s[1];
                t[2] = s[0];
            }
        }
        return out;
    }

    const uint32_t r = hd.masks[0], g = hd.masks[1], b = hd.masks[2];
    if (hd.bpp == 16 && ((r == 0x7C00 && g == 0x03E0 && b == 0x001F) || (r == 0xF800 && g == 0x07E0 && b == 0x001F))) {
        const bool five = r == 0x7C00;
        out.image = NewImage(W, H, five ? QImage::Format_RGB555 : QImage::Format_RGB16);
        for (int y = 0; y < H; ++y) {
            const uint8_t* s = row(y);
            auto* t = reinterpret_cast<uint16_t*>(out.image.scanLine(y));
            for (int x = 0; x < W; ++x) t[x] = static_cast<uint16_t>(U16(s + 2 * x) & (five ? 0x7FFF : 0xFFFF));
        }
        return out;
    }
    if (hd.bpp == 32 && r == 0xFF0000 && g == 0xFF00 && b == 0xFF) {
        out.image = NewImage(W, H, QImage::Format_RGB32);
        for (int y = 0; y < H; ++y) {
            const uint8_t* s = row(y);
            auto* t = reinterpret_cast<QRgb*>(out.image.scanLine(y));
            for (int x = 0; x < W; ++x) t[x] = 0xFF000000u | (U32(s + 4 * x) & 0xFFFFFF);
        }
        return out;
    }

    // Any other channel layout: expand to 32 bits.
    const Channel cr(r), cg(g), cb(b);
    out.image = NewImage(W, H, QImage::Format_RGB32);
    out.bitsPerPixel = 32;
    for (int y = 0; y < H; ++y) {
        const uint8_t* s = row(y);
        auto* t = reinterpret_cast<QRgb*>(out.image.scanLine(y));
        for (int x = 0; x < W; ++x) {
            const uint32_t px = hd.bpp == 16 ? U16(s + 2 * x) : U32(s + 4 * x);
            t[x] = qRgb(static_cast<int>(cr.Get(px)), static_cast<int>(cg.Get(px)), static_cast<int>(cb.Get(px)));
        }
    }
    return out;
}

}  // namespace

Decoded DecodeFile(const uint8_t* data, size_t size) {
    if (size < 14 + 12 || data[0] != 'B' || data[1] != 'M') Invalid();
    const uint32_t offBits = U32(data + 10);
    const Header hd = ParseHeader(data + 14, size - 14);
    // The pixels start after the header, masks and colour table, and
    // within the file.
    const size_t minOffset = 14 + (hd.bpp <= 8 ? hd.TableEnd() : hd.headerEnd);
    if (offBits < minOffset || offBits > size) Invalid();
    return DecodePixels(hd, data + 14 + hd.tableOffset, data + offBits, size - offBits);
}

Decoded DecodeDIB(const uint8_t* header, size_t headerSize, const uint8_t* bits, size_t bitsSize) {
    const Header hd = ParseHeader(header, headerSize);
    if (!bits) {
        const size_t start = hd.bpp <= 8 ? hd.TableEnd() : hd.headerEnd;
        bits = header + start;
        bitsSize = headerSize - start;
    }
    return DecodePixels(hd, header + hd.tableOffset, bits, bitsSize);
}

std::vector<uint8_t> EncodeFile(const QImage& source, int bitsPerPixel, bool coreHeader) {
    QImage image = source;
    switch (image.format()) {
        case QImage::Format_Indexed8:
        case QImage::Format_RGB555:
        case QImage::Format_RGB16:
        case QImage::Format_RGB888:
        case QImage::Format_BGR888:
        case QImage::Format_RGB32:
            break;
        case QImage::Format_Mono:
        case QImage::Format_MonoLSB:
            image = image.convertToFormat(QImage::Format_Indexed8);
            if (bitsPerPixel == 0) bitsPerPixel = 1;
            break;
        default:
            image = image.convertToFormat(QImage::Format_RGB32);
            break;
    }
    if (image.isNull() && !source.isNull()) throw EOutOfMemory(msg::SOutOfMemory);
    const int W = image.width(), H = image.height();
    if (W <= 0 || H <= 0) return {};

    int bpp = 0;
    uint32_t compression = kBI_RGB;
    QList<QRgb> table;
    switch (image.format()) {
        case QImage::Format_Indexed8: {
            table = image.colorTable();
            if (table.size() > 256) table.resize(256);
            int maxIndex = -1;
            for (int y = 0; y < H && maxIndex < 255; ++y) {
                const uint8_t* s = image.constScanLine(y);
                for (int x = 0; x < W; ++x) maxIndex = std::max<int>(maxIndex, s[x]);
            }
            // The reader refuses indices past the table, so pad it.
            while (table.size() <= maxIndex) table.push_back(qRgb(0, 0, 0));
            bpp = (bitsPerPixel == 1 || bitsPerPixel == 4) ? bitsPerPixel : 8;
            while ((1 << bpp) < table.size()) bpp = bpp == 1 ? 4 : 8;
            break;
        }
        case QImage::Format_RGB555: bpp = 16; break;
        case QImage::Format_RGB16: bpp = 16; compression = kBI_BITFIELDS; break;
        case QImage::Format_RGB888:
        case QImage::Format_BGR888: bpp = 24; break;
        default: bpp = 32; break;
    }
    const bool core = coreHeader && (bpp <= 8 || bpp == 24) && W <= 0xFFFF && H <= 0xFFFF;
    if (core) {
        while (table.size() < (bpp <= 8 ? (1 << bpp) : 0)) table.push_back(qRgb(0, 0, 0));
    }

    const uint64_t headerSize = core ? 12 : 40;
    const uint64_t masksSize = compression == kBI_BITFIELDS ? 12 : 0;
    const uint64_t tableBytes = uint64_t(table.size()) * (core ? 3 : 4);
    const uint64_t offset = 14 + headerSize + masksSize + tableBytes;
    const uint64_t stride = (uint64_t(W) * uint64_t(bpp) + 31) / 32 * 4;
    const uint64_t imageSize = stride * uint64_t(H);
    const uint64_t total = offset + imageSize;
    if (total > UINT32_MAX) throw EOutOfMemory(msg::SOutOfMemory);

    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(total));
    out.push_back('B');
    out.push_back('M');
    Put32(out, static_cast<uint32_t>(total));
    Put32(out, 0);
    Put32(out, static_cast<uint32_t>(offset));
    if (core) {
        Put32(out, 12);
        Put16(out, static_cast<uint16_t>(W));
        Put16(out, static_cast<uint16_t>(H));
        Put16(out, 1);
        Put16(out, static_cast<uint16_t>(bpp));
    } else {
        Put32(out, 40);
        Put32(out, static_cast<uint32_t>(W));
        Put32(out, static_cast<uint32_t>(H));
        Put16(out, 1);
        Put16(out, static_cast<uint16_t>(bpp));
        Put32(out, compression);
        Put32(out, static_cast<uint32_t>(imageSize));
        Put32(out, 0);
        Put32(out, 0);
        const bool fullTable = bpp <= 8 && table.size() == (1 << bpp);
        Put32(out, bpp <= 8 && !fullTable ? static_cast<uint32_t>(table.size()) : 0);
        Put32(out, 0);
    }
    if (compression == kBI_BITFIELDS) {
        Put32(out, 0xF800);
        Put32(out, 0x07E0);
        Put32(out, 0x001F);
    }
    for (QRgb c : table) {
        out.push_back(static_cast<uint8_t>(qBlue(c)));
        out.push_back(static_cast<uint8_t>(qGreen(c)));
        out.push_back(static_cast<uint8_t>(qRed(c)));
        if (!core) out.push_back(0);
    }

    const size_t rowStart = out.size();
    out.resize(static_cast<size_t>(total), 0);
    for (int y = 0; y < H; ++y) {
        uint8_t* t = out.data() + rowStart + size_t(H - 1 - y) * size_t(stride);
        const uint8_t* s = image.constScanLine(y);
        switch (bpp) {
            case 1:
                for (int x = 0; x < W; ++x)
                    if (s[x] & 1) t[x / 8] |= static_cast<uint8_t>(0x80 >> (x & 7));
                break;
            case 4:
                for (int x = 0; x < W; ++x) t[x / 2] |= static_cast<uint8_t>((x & 1) ? (s[x] & 0x0F) : (s[x] << 4));
                break;
            case 8: std::memcpy(t, s, size_t(W)); break;
            case 16:
                for (int x = 0; x < W; ++x) {
                    uint16_t v = reinterpret_cast<const uint16_t*>(s)[x];
                    if (image.format() == QImage::Format_RGB555) v &= 0x7FFF;
                    t[2 * x] = static_cast<uint8_t>(v);
                    t[2 * x + 1] = static_cast<uint8_t>(v >> 8);
                }
                break;
            case 24: {
                const bool rgb = image.format() == QImage::Format_RGB888;
                for (int x = 0; x < W; ++x, s += 3, t += 3) {
                    t[0] = rgb ? s[2] : s[0];
                    t[1] = s[1];
                    t[2] = rgb ? s[0] : s[2];
                }
                break;
            }
            default:
                for (int x = 0; x < W; ++x) {
                    const QRgb v = reinterpret_cast<const QRgb*>(s)[x];
                    t[4 * x] = static_cast<uint8_t>(qBlue(v));
                    t[4 * x + 1] = static_cast<uint8_t>(qGreen(v));
                    t[4 * x + 2] = static_cast<uint8_t>(qRed(v));
                    t[4 * x + 3] = 0;
                }
                break;
        }
    }
    return out;
}

}  // namespace tk::bmp
