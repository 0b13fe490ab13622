// A JPEG of random noise no larger than a byte budget, for benchmarks that
// need realistic, incompressible picture data.
#pragma once

#include <QBuffer>
#include <QImage>
#include <QRandomGenerator>
#include <cstdint>
#include <vector>

namespace bench {

// A side x side picture of noise, saved at the best quality that fits
// `targetBytes`; empty when none does.
inline std::vector<uint8_t> NoisyJpeg(int side, int targetBytes) {
    QImage img(side, side, QImage::Format_RGB32);
    QRandomGenerator rng(7);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) img.setPixel(x, y, rng.generate());
    for (int q = 95; q > 10; q -= 5) {
        QByteArray out;
        QBuffer buf(&out);
        buf.open(QIODevice::WriteOnly);
        img.save(&buf, "JPG", q);
        if (out.size() <= targetBytes) return std::vector<uint8_t>(out.begin(), out.end());
    }
    return {};
}

}  // namespace bench
