// Draws the demo's source pictures into a folder: seven shaded balls, a
// ship and a sky swatch as 8-bit bitmaps (colour index 0 around each
// sprite, the transparent colour), and a 24-bit backdrop painted only in
// the swatch's colours, so that one shared 8-bit palette holds them all.
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPolygon>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

constexpr int kBall = 24, kBalls = 7, kSky = 32;

QRgb SkyColour(int i) { return qRgb(10 + i * 3, 20 + i * 4, 70 + i * 5); }

void Put(std::string& b, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// An uncompressed bottom-up BMP: 8 bits with a 256-entry colour table for
// indexed images, else 24 bits.
bool Save(const QImage& img, const std::string& path) {
    bool indexed = img.format() == QImage::Format_Indexed8;
    int bpp = indexed ? 8 : 24;
    int stride = (img.width() * bpp + 31) / 32 * 4;
    uint32_t table = indexed ? 256 * 4 : 0;
    uint32_t offset = 14 + 40 + table;
    std::string b;
    b += "BM";
    Put(b, offset + static_cast<uint32_t>(stride * img.height()), 4);
    Put(b, 0, 4);
    Put(b, offset, 4);
    Put(b, 40, 4);
    Put(b, static_cast<uint32_t>(img.width()), 4);
    Put(b, static_cast<uint32_t>(img.height()), 4);
    Put(b, 1, 2);
    Put(b, static_cast<uint32_t>(bpp), 2);
    Put(b, 0, 4);
    Put(b, static_cast<uint32_t>(stride * img.height()), 4);
    Put(b, 2835, 4);
    Put(b, 2835, 4);
    Put(b, indexed ? 256 : 0, 4);
    Put(b, 0, 4);
    if (indexed)
        for (int i = 0; i < 256; ++i) {
            QRgb c = i < img.colorCount() ? img.color(i) : qRgb(0, 0, 0);
            Put(b, static_cast<uint32_t>(qBlue(c) | (qGreen(c) << 8) | (qRed(c) << 16)), 4);
        }
    for (int y = img.height() - 1; y >= 0; --y) {
        std::string row;
        for (int x = 0; x < img.width(); ++x) {
            if (indexed) {
                row.push_back(static_cast<char>(img.pixelIndex(x, y)));
            } else {
                QRgb c = img.pixel(x, y);
                row.push_back(static_cast<char>(qBlue(c)));
                row.push_back(static_cast<char>(qGreen(c)));
                row.push_back(static_cast<char>(qRed(c)));
            }
        }
        row.resize(static_cast<size_t>(stride), '\0');
        b += row;
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    bool ok = f && std::fwrite(b.data(), 1, b.size(), f) == b.size();
    if (f && std::fclose(f) != 0) ok = false;
    if (!ok) std::fprintf(stderr, "make_art: cannot write %s\n", path.c_str());
    return ok;
}

QImage Indexed(int w, int h, const QVector<QRgb>& colours) {
    QImage img(w, h, QImage::Format_Indexed8);
    img.setColorTable(colours);
    img.fill(0);
    return img;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_art DIR\n");
        return 2;
    }
    std::string dir = argv[1];
    for (int b = 0; b < kBalls; ++b) {
        QVector<QRgb> colours{qRgb(0, 0, 0)};
        for (int s = 0; s < 16; ++s) colours << qRgb(80 + s * 11, 40 + b * 25, 200 - b * 20);
        QImage img = Indexed(kBall, kBall, colours);
        for (int y = 0; y < kBall; ++y)
            for (int x = 0; x < kBall; ++x) {
                double dx = x - kBall / 2 + 0.5, dy = y - kBall / 2 + 0.5;
                if (std::sqrt(dx * dx + dy * dy) >= kBall / 2) continue;
                int shade = std::clamp(15 - static_cast<int>(std::hypot(dx + 4, dy + 4) * 1.2), 0, 15);
                img.setPixel(x, y, static_cast<uint>(1 + shade));
            }
        if (!Save(img, dir + "/ball" + std::to_string(b) + ".bmp")) return 1;
    }
    {
        QImage rgb(32, 24, QImage::Format_RGB32);
        rgb.fill(Qt::black);
        QPainter p(&rgb);
        p.setPen(QColor(255, 128, 0));
        p.setBrush(QColor(255, 255, 0));
        p.drawPolygon(QPolygon({QPoint(16, 1), QPoint(30, 22), QPoint(16, 16), QPoint(2, 22)}));
        p.end();
        QImage img = Indexed(32, 24, {qRgb(0, 0, 0), qRgb(255, 255, 0), qRgb(255, 128, 0)});
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 32; ++x) {
                QRgb c = rgb.pixel(x, y);
                img.setPixel(x, y, c == qRgb(255, 255, 0) ? 1u : c == qRgb(255, 128, 0) ? 2u : 0u);
            }
        if (!Save(img, dir + "/ship.bmp")) return 1;
    }
    QVector<QRgb> sky{qRgb(0, 0, 0)};
    for (int i = 0; i < kSky; ++i) sky << SkyColour(i);
    QImage swatch = Indexed(kSky, 1, sky);
    for (int i = 0; i < kSky; ++i) swatch.setPixel(i, 0, static_cast<uint>(1 + i));
    if (!Save(swatch, dir + "/sky.bmp")) return 1;

    // Backdrop: bands of the sky colours with a pattern of hills.
    QImage back(320, 240, QImage::Format_RGB888);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            int band = y * kSky / 240;
            double hill = 170 + 25 * std::sin(x / 30.0) + 10 * std::sin(x / 7.0);
            if (y > hill) band = kSky - 1 - (y - static_cast<int>(hill)) / 6 % 8;
            back.setPixel(x, y, SkyColour(std::clamp(band, 0, kSky - 1)));
        }
    return Save(back, dir + "/backdrop.bmp") ? 0 : 1;
}
