// BMP file reading and writing for TBitmap (and for device-independent
// bitmaps embedded in metafiles).
#pragma once

#include <QImage>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tk::bmp {

// A decoded bitmap in its in-memory form:
//   1/4/8 bits:  Format_Indexed8 with the file's colour table;
//   16 bits:     Format_RGB555 (5-5-5) or Format_RGB16 (5-6-5);
//   24 bits:     Format_RGB888;
//   32 bits:     Format_RGB32.
// 16-bit files with other channel masks become Format_RGB32 (32 bits), so
// no colour precision is lost.
struct Decoded {
    QImage image;
    int bitsPerPixel = 0;
    bool coreHeader = false;  // came from a 12-byte (OS/2) header
};

// Reads a whole BMP file (14-byte file header first). Any inconsistency
// raises EInvalidGraphic "Bitmap image is not valid".
Decoded DecodeFile(const uint8_t* data, size_t size);

// Reads a packed device-independent bitmap: info header, masks, colour
// table, then the pixels (no file header), as metafiles embed them. The
// pixels may live elsewhere: `bits`/`bitsSize` when given.
Decoded DecodeDIB(const uint8_t* header, size_t headerSize, const uint8_t* bits, size_t bitsSize);

// Writes a BMP file from an image in one of the formats above (others are
// taken as 32-bit). `bitsPerPixel` is the depth to write indexed images
// with (1, 4 or 8); promoted when the pixels need more. A core header is
// written when asked and the bitmap fits one (1/4/8/24 bits, sides up to
// 65535).
std::vector<uint8_t> EncodeFile(const QImage& image, int bitsPerPixel, bool coreHeader);

}  // namespace tk::bmp
