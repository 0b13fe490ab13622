// Picture files for the library tests, made without the code under test.
#pragma once

#include <QBuffer>
#include <QImage>
#include <cstdint>
#include <string>
#include <vector>

namespace fixtures {

using Bytes = std::vector<uint8_t>;

// A 24-bit bottom-up BMP file of w x h with a simple gradient.
inline Bytes Bmp24(int w, int h) {
    int stride = (w * 3 + 3) & ~3;
    uint32_t dataSize = static_cast<uint32_t>(stride * h);
    uint32_t fileSize = 54 + dataSize;
    Bytes b(fileSize, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, fileSize);
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(w));
    put32(22, static_cast<uint32_t>(h));
    b[26] = 1;
    b[28] = 24;
    put32(34, dataSize);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            size_t at = 54 + static_cast<size_t>(y * stride + x * 3);
            b[at] = static_cast<uint8_t>(x * 7);
            b[at + 1] = static_cast<uint8_t>(y * 11);
            b[at + 2] = static_cast<uint8_t>(x + y);
        }
    return b;
}

inline Bytes Jpeg(int w, int h, int quality = 80) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.setPixel(x, y, qRgb(x * 5 % 256, y * 3 % 256, (x ^ y) % 256));
    QByteArray out;
    QBuffer buf(&out);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "JPG", quality);
    return Bytes(out.begin(), out.end());
}

}  // namespace fixtures
