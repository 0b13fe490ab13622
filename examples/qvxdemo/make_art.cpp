// Makes the demo's sources in a folder: a palette swatch holding every
// colour, seven shaded balls and a ship (sprites), four ground tiles, all
// 8-bit bitmaps with colour index 0 the transparent colour; a 24-bit title
// picture painted in the swatch's sky colours; a 64 x 15 tile map (one
// byte a tile: its index in the tile library); and four 8-bit intro slides.
// Both 8-bit libraries start with the swatch, so they get one palette.
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPolygon>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

constexpr int kBall = 24, kBalls = 7, kSky = 32, kTile = 16, kTiles = 4, kMapW = 64, kMapH = 15;

QRgb BallColour(int ball, int shade) {
    return qRgb(80 + shade * 11, 40 + ball * 25, 200 - ball * 20);
}
const QRgb kShipColours[2] = {qRgb(255, 255, 0), qRgb(255, 128, 0)};
// Four shades for each tile: sky, grass, earth, brick.
QRgb TileColour(int tile, int shade) {
    static const int base[kTiles][3] = {{40, 70, 160}, {40, 150, 40}, {120, 80, 40}, {150, 50, 40}};
    return qRgb(base[tile][0] + shade * 12, base[tile][1] + shade * 12, base[tile][2] + shade * 12);
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f && std::fclose(f) != 0) ok = false;
    if (!ok) std::fprintf(stderr, "make_art: cannot write %s\n", path.c_str());
    return ok;
}

QRgb SkyColour(int i) {
    return qRgb(10 + i * 3, 20 + i * 4, 70 + i * 5);
}

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
    return WriteFile(path, b);
}

QImage Indexed(int w, int h, const QVector<QRgb>& colours) {
    QImage img(w, h, QImage::Format_Indexed8);
    img.setColorTable(colours);
    img.fill(0);
    return img;
}

// The intro's four slides, 320 x 240 in 8 bits, 32 colours each: a ship
// among stars, a sunset over the sea, a chequered floor running off to the
// horizon, and rings round the ship.
bool MakeIntro(const std::string& dir) {
    auto slide = [](const QVector<QRgb>& colours) { return Indexed(320, 240, colours); };
    QVector<QRgb> space{qRgb(0, 0, 0)};
    for (int i = 1; i < 32; ++i) space << (i < 16 ? qRgb(8 * i, 8 * i, 40 + 10 * i) : qRgb(255, 120 + 8 * (i - 16), 0));
    QImage stars = slide(space);
    for (int i = 0; i < 400; ++i)
        stars.setPixel((i * 7919) % 320, (i * 104729 / 7) % 240, static_cast<uint>(1 + i % 15));
    for (int y = 60; y < 190; ++y)  // the ship, large: a triangle with a notch
        for (int x = 100; x < 220; ++x) {
            const double u = (x - 160) / 60.0, v = (y - 60) / 130.0;
            if (std::abs(u) < v && !(v > 0.75 && std::abs(u) < (v - 0.75) * 2))
                stars.setPixel(x, y, static_cast<uint>(16 + std::clamp(static_cast<int>(v * 15), 0, 15)));
        }

    QVector<QRgb> dusk;
    for (int i = 0; i < 32; ++i) dusk << (i < 20 ? qRgb(250, 60 + 9 * i, 20 + 4 * i) : qRgb(10, 20 + 6 * (i - 20), 80 + 10 * (i - 20)));
    QImage sunset = slide(dusk);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            const double d = std::hypot(x - 160, (y - 150) * 1.4);
            int c = y < 150 ? std::clamp(static_cast<int>(d / 12), 0, 19) : 20 + (y - 150) / 8 % 12;
            if (y >= 150 && (x + y * 3) % 37 < 3) c = std::clamp(static_cast<int>(d / 12), 0, 19);  // glints
            sunset.setPixel(x, y, static_cast<uint>(c));
        }

    QVector<QRgb> floorColours;
    for (int i = 0; i < 32; ++i) floorColours << (i < 16 ? qRgb(20 + 12 * i, 10, 60 + 8 * i) : qRgb(230, 230 - 10 * (i - 16), 90));
    QImage chequer = slide(floorColours);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            if (y < 100) {
                chequer.setPixel(x, y, static_cast<uint>(y * 16 / 100));
                continue;
            }
            const double z = 4000.0 / (y - 90), u = (x - 160) * z / 160;
            const bool light = (static_cast<int>(std::floor(u / 20)) + static_cast<int>(z / 20)) % 2 == 0;
            chequer.setPixel(x, y, static_cast<uint>(light ? 16 + std::min(15, (y - 100) / 9) : 15 - std::min(15, (y - 100) / 9)));
        }

    QVector<QRgb> ringColours;
    for (int i = 0; i < 32; ++i)
        ringColours << QColor::fromHsv(i * 360 / 32, 200, 230).rgb();
    QImage rings = slide(ringColours);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            rings.setPixel(x, y, static_cast<uint>(static_cast<int>(std::hypot(x - 160, y - 120) / 6) % 32));
    return Save(stars, dir + "/intro0.bmp") && Save(sunset, dir + "/intro1.bmp") &&
           Save(chequer, dir + "/intro2.bmp") && Save(rings, dir + "/intro3.bmp");
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
        for (int s = 0; s < 16; ++s) colours << BallColour(b, s);
        QImage img = Indexed(kBall, kBall, colours);
        for (int y = 0; y < kBall; ++y)
            for (int x = 0; x < kBall; ++x) {
                double dx = x - kBall / 2 + 0.5, dy = y - kBall / 2 + 0.5;
                if (std::sqrt(dx * dx + dy * dy) >= kBall / 2) continue;
                int shade =
                    std::clamp(15 - static_cast<int>(std::hypot(dx + 4, dy + 4) * 1.2), 0, 15);
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
    // The swatch: every colour of the sprites, tiles and title, in order.
    QVector<QRgb> all{qRgb(0, 0, 0)};
    for (int b = 0; b < kBalls; ++b)
        for (int s = 0; s < 16; ++s) all << BallColour(b, s);
    all << kShipColours[0] << kShipColours[1];
    for (int t = 0; t < kTiles; ++t)
        for (int s = 0; s < 4; ++s) all << TileColour(t, s);
    for (int i = 0; i < kSky; ++i) all << SkyColour(i);
    QImage swatch = Indexed(all.size() - 1, 1, all);
    for (int i = 1; i < all.size(); ++i) swatch.setPixel(i - 1, 0, static_cast<uint>(i));
    if (!Save(swatch, dir + "/swatch.bmp")) return 1;

    for (int t = 0; t < kTiles; ++t) {
        QVector<QRgb> colours{qRgb(0, 0, 0)};
        for (int s = 0; s < 4; ++s) colours << TileColour(t, s);
        QImage img = Indexed(kTile, kTile, colours);
        for (int y = 0; y < kTile; ++y)
            for (int x = 0; x < kTile; ++x) {
                int shade =
                    t == 3 ? ((y % 8 == 0 || (x + (y / 8) * 8) % 16 == 0) ? 0 : 2)  // brick joints
                    : (x * 7 + y * 13 + t * 5) % 11 < 3 ? 3
                                                        : (y < 2 ? 2 : 1);
                img.setPixel(x, y, static_cast<uint>(1 + shade));
            }
        if (!Save(img, dir + "/tile" + std::to_string(t) + ".bmp")) return 1;
    }

    // The map: sky, rolling grass over earth, brick towers here and there.
    // Tile n of the map is tile library entry n + 1 (entry 0 is the swatch).
    std::string map;
    for (int y = 0; y < kMapH; ++y)
        for (int x = 0; x < kMapW; ++x) {
            int ground = 11 + static_cast<int>(std::lround(1.5 * std::sin(x / 5.0)));
            bool tower = x % 16 == 9 && y >= ground - 4;
            int tile = tower ? 3 : y < ground ? 0 : y == ground ? 1 : 2;
            map.push_back(static_cast<char>(1 + tile));
        }
    if (!WriteFile(dir + "/level1.bin", map)) return 1;

    // Title: bands of the sky colours, hills and a sun.
    QImage back(320, 240, QImage::Format_RGB888);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            int band = y * kSky / 240;
            double hill = 170 + 25 * std::sin(x / 30.0) + 10 * std::sin(x / 7.0);
            if (y > hill) band = kSky - 1 - (y - static_cast<int>(hill)) / 6 % 8;
            back.setPixel(x, y, SkyColour(std::clamp(band, 0, kSky - 1)));
        }
    QPainter p(&back);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(SkyColour(kSky - 1)));
    p.drawEllipse(QPoint(160, 80), 40, 40);  // the sun
    p.end();
    if (!Save(back, dir + "/title.bmp")) return 1;
    return MakeIntro(dir) ? 0 : 1;
}
