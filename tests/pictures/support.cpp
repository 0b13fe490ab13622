#include "support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QImageWriter>
#include <cstdio>
#include <filesystem>

#include <jpeglib.h>

namespace pictest {

namespace {
// Text and fonts need a GUI application object; offscreen is enough.
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "picture_tests";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QGuiApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QGuiApplication> app_;
};
[[maybe_unused]] auto* const kEnv = ::testing::AddGlobalTestEnvironment(new QtEnvironment);
}  // namespace

void Put16(Bytes& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

Bytes PackRows(int w, int h, int bpp, bool topDown, const std::function<uint32_t(int, int)>& fn) {
    const size_t stride = (size_t(w) * bpp + 31) / 32 * 4;
    Bytes out(stride * size_t(h), 0);
    for (int y = 0; y < h; ++y) {
        uint8_t* row = out.data() + stride * size_t(topDown ? y : h - 1 - y);
        for (int x = 0; x < w; ++x) {
            const uint32_t v = fn(x, y);
            switch (bpp) {
                case 1: row[x / 8] |= static_cast<uint8_t>((v & 1) << (7 - x % 8)); break;
                case 4: row[x / 2] |= static_cast<uint8_t>((v & 15) << (x % 2 ? 0 : 4)); break;
                default:
                    for (int i = 0; i < bpp / 8; ++i) row[size_t(x) * (bpp / 8) + i] = static_cast<uint8_t>(v >> (8 * i));
                    break;
            }
        }
    }
    return out;
}

Bytes MakeBmp(const BmpLayout& s, const Bytes& pixels) {
    const bool core = s.headerSize == 12;
    const bool separateMasks = s.compression == 3 && s.headerSize == 40;
    const size_t entry = core ? 3 : 4;
    const size_t offset = 14 + size_t(s.headerSize) + (separateMasks ? 12 : 0) + s.table.size() * entry;
    Bytes b;
    b.push_back('B');
    b.push_back('M');
    Put32(b, static_cast<uint32_t>(offset + pixels.size()));
    Put32(b, 0);
    Put32(b, static_cast<uint32_t>(int64_t(offset) + s.offsetDelta));
    Put32(b, static_cast<uint32_t>(s.headerSize));
    if (core) {
        Put16(b, static_cast<uint16_t>(s.width));
        Put16(b, static_cast<uint16_t>(s.height));
        Put16(b, s.planes);
        Put16(b, static_cast<uint16_t>(s.bpp));
    } else {
        Put32(b, static_cast<uint32_t>(s.width));
        Put32(b, static_cast<uint32_t>(s.height));
        Put16(b, s.planes);
        Put16(b, static_cast<uint16_t>(s.bpp));
        Put32(b, s.compression);
        Put32(b, static_cast<uint32_t>(pixels.size()));
        Put32(b, 2835);
        Put32(b, 2835);
        Put32(b, s.clrUsed);
        Put32(b, 0);
        if (s.headerSize > 40) {
            const size_t start = b.size();
            for (size_t i = 0; i < 3; ++i) Put32(b, s.compression == 3 && i < s.masks.size() ? s.masks[i] : 0);
            while (b.size() - start < size_t(s.headerSize - 40)) b.push_back(0);
        }
    }
    if (separateMasks)
        for (size_t i = 0; i < 3; ++i) Put32(b, i < s.masks.size() ? s.masks[i] : 0);
    for (QRgb c : s.table) {
        b.push_back(static_cast<uint8_t>(qBlue(c)));
        b.push_back(static_cast<uint8_t>(qGreen(c)));
        b.push_back(static_cast<uint8_t>(qRed(c)));
        if (!core) b.push_back(0);
    }
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

Bytes MakeJpeg(int w, int h, bool grey, const std::function<QRgb(int, int)>& fn, int quality) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = static_cast<JDIMENSION>(w);
    c.image_height = static_cast<JDIMENSION>(h);
    c.input_components = grey ? 1 : 3;
    c.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row(size_t(w) * 3);
    while (c.next_scanline < c.image_height) {
        const int y = static_cast<int>(c.next_scanline);
        for (int x = 0; x < w; ++x) {
            const QRgb v = fn(x, y);
            if (grey) {
                row[size_t(x)] = static_cast<uint8_t>(qGray(v));
            } else {
                row[size_t(x) * 3] = static_cast<uint8_t>(qRed(v));
                row[size_t(x) * 3 + 1] = static_cast<uint8_t>(qGreen(v));
                row[size_t(x) * 3 + 2] = static_cast<uint8_t>(qBlue(v));
            }
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    Bytes out(mem, mem + size);
    jpeg_destroy_compress(&c);
    std::free(mem);
    return out;
}

Bytes MakeEmfLeftHalfRed() {
    Bytes r;
    int records = 0;
    auto rec = [&](uint32_t type, std::initializer_list<uint32_t> params) {
        Put32(r, type);
        Put32(r, static_cast<uint32_t>(8 + 4 * params.size()));
        for (uint32_t p : params) Put32(r, p);
        ++records;
    };
    rec(39, {1, 0, 0x0000FF, 0});  // CREATEBRUSHINDIRECT: handle 1, solid red
    rec(37, {1});                  // SELECTOBJECT
    rec(37, {0x80000008});         // SELECTOBJECT: the stock null pen
    rec(43, {0, 0, 50, 100});      // RECTANGLE
    rec(14, {0, 16, 20});          // EOF
    Bytes h;
    Put32(h, 1);
    Put32(h, 88);
    for (uint32_t v : {0u, 0u, 99u, 99u}) Put32(h, v);      // bounds
    for (uint32_t v : {0u, 0u, 2646u, 2646u}) Put32(h, v);  // frame, 0.01 mm: 100 px at 96 dpi
    Put32(h, 0x464D4520);
    Put32(h, 0x10000);
    Put32(h, static_cast<uint32_t>(88 + r.size()));
    Put32(h, static_cast<uint32_t>(records + 1));
    Put16(h, 2);
    Put16(h, 0);
    Put32(h, 0);
    Put32(h, 0);
    Put32(h, 0);
    Put32(h, 960), Put32(h, 960);  // reference device: 96 dpi
    Put32(h, 254), Put32(h, 254);
    h.insert(h.end(), r.begin(), r.end());
    return h;
}

Bytes MakePlaceableWmfLeftHalfRed() {
    Bytes r;
    auto rec = [&](uint16_t fn, std::initializer_list<uint16_t> params) {
        Put32(r, static_cast<uint32_t>(3 + params.size()));
        Put16(r, fn);
        for (uint16_t p : params) Put16(r, p);
    };
    rec(0x020B, {0, 0});           // SETWINDOWORG y, x
    rec(0x020C, {100, 100});       // SETWINDOWEXT y, x
    rec(0x02FC, {0, 0x00FF, 0, 0});  // CREATEBRUSHINDIRECT solid red -> slot 0
    rec(0x012D, {0});              // SELECTOBJECT 0
    rec(0x02FA, {5, 0, 0, 0, 0});  // CREATEPENINDIRECT null pen -> slot 1
    rec(0x012D, {1});
    rec(0x041B, {100, 50, 0, 0});  // RECTANGLE bottom, right, top, left
    rec(0x0000, {});
    Bytes b;
    Put32(b, 0x9AC6CDD7);
    Put16(b, 0);
    for (uint16_t v : {0, 0, 100, 100}) Put16(b, v);  // bounding box
    Put16(b, 96);                                      // units per inch
    Put32(b, 0);
    uint16_t sum = 0;
    for (int i = 0; i < 10; ++i) sum ^= static_cast<uint16_t>(b[2 * i] | (b[2 * i + 1] << 8));
    Put16(b, sum);
    Put16(b, 1);
    Put16(b, 9);
    Put16(b, 0x0300);
    Put32(b, static_cast<uint32_t>((18 + r.size()) / 2));
    Put16(b, 2);
    Put32(b, 8);
    Put16(b, 0);
    b.insert(b.end(), r.begin(), r.end());
    return b;
}

namespace {
// A 2 x 2 24-bit device-independent bitmap: yellow row on top, red below.
Bytes TinyDib() {
    Bytes d;
    Put32(d, 40);
    Put32(d, 2);
    Put32(d, 2);
    Put16(d, 1);
    Put16(d, 24);
    for (int i = 0; i < 6; ++i) Put32(d, 0);
    const Bytes rows = {0, 0, 255, 0, 0, 255, 0, 0, 0, 255, 255, 0, 255, 255, 0, 0};  // bottom row first
    d.insert(d.end(), rows.begin(), rows.end());
    return d;
}

void PutText16(Bytes& b, const std::u16string& s) {
    for (char16_t c : s) Put16(b, c);
}
}  // namespace

Bytes MakeEmfSampler() {
    Bytes r;
    int records = 0;
    auto rec = [&](uint32_t type, const Bytes& payload) {
        Bytes p = payload;
        while (p.size() % 4) p.push_back(0);
        Put32(r, type);
        Put32(r, static_cast<uint32_t>(8 + p.size()));
        r.insert(r.end(), p.begin(), p.end());
        ++records;
    };
    auto words = [](std::initializer_list<uint32_t> v) {
        Bytes b;
        for (uint32_t x : v) Put32(b, x);
        return b;
    };
    rec(33, {});                        // SAVEDC
    rec(17, words({8}));                // MM_ANISOTROPIC
    rec(9, words({200, 200}));          // window extent
    rec(11, words({100, 100}));         // viewport extent
    rec(39, words({1, 0, 0xFF0000, 0}));  // blue brush
    rec(37, words({1}));
    rec(38, words({2, 5, 0, 0, 0}));    // null pen
    rec(37, words({2}));
    {
        Bytes p = words({0, 0, 100, 100, 3});
        for (int16_t v : {0, 0, 100, 0, 0, 100}) Put16(p, static_cast<uint16_t>(v));
        rec(86, p);                     // POLYGON16 in logical units (200 = 100 px)
    }
    rec(34, words({0xFFFFFFFF}));       // RESTOREDC -1: back to pixels, default pen and brush
    {
        Bytes p = words({3});
        Bytes lf = words({static_cast<uint32_t>(-20), 0, 0, 0, 700});
        lf.insert(lf.end(), {0, 0, 0, 0, 0, 0, 0, 0});
        PutText16(lf, u"Sans");
        lf.resize(92, 0);
        p.insert(p.end(), lf.begin(), lf.end());
        rec(82, p);                     // EXTCREATEFONTINDIRECTW
    }
    rec(37, words({3}));
    rec(24, words({0}));                // black text
    rec(18, words({1}));                // transparent background
    {
        Bytes p = words({55, 5, 100, 35, 1});
        Put32(p, 0x3F800000), Put32(p, 0x3F800000);           // scales 1.0
        for (uint32_t v : {55u, 5u, 2u, 76u, 0u, 0u, 0u, 0u, 0u, 0u}) Put32(p, v);  // EMRTEXT; string at 76
        PutText16(p, u"Hi");
        rec(84, p);                     // EXTTEXTOUTW
    }
    {
        const Bytes dib = TinyDib();
        Bytes p = words({60, 60, 99, 99, 60, 60, 0, 0, 2, 2, 80, 40, 120, 16, 0, 0x00CC0020, 40, 40});
        p.insert(p.end(), dib.begin(), dib.end());
        rec(81, p);                     // STRETCHDIBITS, header at 80, bits at 120
    }
    rec(37, words({0x80000004}));       // black brush
    rec(37, words({0x80000008}));       // null pen
    rec(59, {});                        // BEGINPATH
    rec(27, words({0, 60}));
    rec(54, words({40, 60}));
    rec(54, words({0, 100}));
    rec(61, {});                        // CLOSEFIGURE
    rec(60, {});                        // ENDPATH
    rec(62, words({0, 0, 100, 100}));   // FILLPATH
    rec(36, words({0x3F800000, 0, 0, 0x3F800000, 0, 0, 1}));  // MODIFYWORLDTRANSFORM: identity
    rec(14, words({0, 16, 20}));
    Bytes h;
    Put32(h, 1);
    Put32(h, 88);
    for (uint32_t v : {0u, 0u, 99u, 99u}) Put32(h, v);
    for (uint32_t v : {0u, 0u, 2646u, 2646u}) Put32(h, v);
    Put32(h, 0x464D4520);
    Put32(h, 0x10000);
    Put32(h, static_cast<uint32_t>(88 + r.size()));
    Put32(h, static_cast<uint32_t>(records + 1));
    Put16(h, 4);
    Put16(h, 0);
    Put32(h, 0), Put32(h, 0), Put32(h, 0);
    Put32(h, 960), Put32(h, 960), Put32(h, 254), Put32(h, 254);
    h.insert(h.end(), r.begin(), r.end());
    return h;
}

Bytes MakeWmfSampler() {
    Bytes r;
    auto rec = [&](uint16_t fn, const std::vector<uint16_t>& params) {
        Put32(r, static_cast<uint32_t>(3 + params.size()));
        Put16(r, fn);
        for (uint16_t p : params) Put16(r, p);
    };
    rec(0x020B, {0, 0});
    rec(0x020C, {1000, 1000});                  // 10 units a pixel
    rec(0x02FA, {5, 0, 0, 0, 0});               // null pen -> slot 0
    rec(0x012D, {0});
    rec(0x02FC, {0, 0, 0x00FF, 0});             // blue brush -> slot 1
    rec(0x012D, {1});
    rec(0x001E, {});                            // SAVEDC
    rec(0x0324, {3, 0, 0, 500, 0, 0, 500});     // POLYGON
    rec(0x0127, {0xFFFF});                      // RESTOREDC -1
    rec(0x01F0, {1});                           // delete the blue brush: slot 1 is free again
    rec(0x02FC, {0, 0, 0, 0});                  // black brush -> slot 1
    rec(0x012D, {1});
    // POLYPOLYGON: the black triangle, and a square outside the picture.
    rec(0x0538, {2, 3, 4, 0, 600, 400, 600, 0, 1000, 2000, 2000, 2100, 2000, 2100, 2100, 2000, 2100});
    {
        std::vector<uint16_t> font = {static_cast<uint16_t>(-200), 0, 0, 0, 700, 0, 0, 0, 0};
        font.push_back('S' | ('a' << 8));
        font.push_back('n' | ('s' << 8));
        font.push_back(0);
        rec(0x02FB, font);                      // CREATEFONTINDIRECT -> slot 2
    }
    rec(0x012D, {2});
    rec(0x0102, {1});                           // transparent
    rec(0x0209, {0, 0});                        // black text
    rec(0x0521, {2, 'H' | ('i' << 8), 50, 550});  // TEXTOUT "Hi" at (550, 50)
    {
        std::vector<uint16_t> p = {0x0020, 0x00CC, 0, 2, 2, 0, 0, 400, 400, 600, 600};  // SRCCOPY, usage, src, dest
        const Bytes dib = TinyDib();
        for (size_t i = 0; i < dib.size(); i += 2) p.push_back(static_cast<uint16_t>(dib[i] | (dib[i + 1] << 8)));
        rec(0x0F43, p);                         // STRETCHDIB
    }
    rec(0x0000, {});
    Bytes b;
    Put32(b, 0x9AC6CDD7);
    Put16(b, 0);
    for (uint16_t v : {0, 0, 1000, 1000}) Put16(b, v);
    Put16(b, 960);
    Put32(b, 0);
    uint16_t sum = 0;
    for (int i = 0; i < 10; ++i) sum ^= static_cast<uint16_t>(b[2 * i] | (b[2 * i + 1] << 8));
    Put16(b, sum);
    Put16(b, 1);
    Put16(b, 9);
    Put16(b, 0x0300);
    Put32(b, static_cast<uint32_t>((18 + r.size()) / 2));
    Put16(b, 3);
    Put32(b, 64);
    Put16(b, 0);
    b.insert(b.end(), r.begin(), r.end());
    return b;
}

Bytes MakeIco(const QImage& image) {
    QByteArray data;
    QBuffer buf(&data);
    buf.open(QIODevice::WriteOnly);
    QImageWriter w(&buf, "ico");
    if (!w.write(image)) return {};
    return Bytes(data.begin(), data.end());
}

std::string MessageOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const tk::Exception& e) {
        return e.Message();
    }
    return "";
}

std::string TempDir() {
    auto dir = std::filesystem::temp_directory_path() / ("tk_pictures_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    return dir.string();
}

}  // namespace pictest
