#include <gtest/gtest.h>

#include <climits>

#include "support.h"
#include "toolkit/picture.h"
#include "toolkit/streams.h"

using namespace tk;
using namespace pictest;

namespace {

TBitmap Load(const Bytes& b) {
    TPointerStream s(b.data(), static_cast<int64_t>(b.size()));
    TBitmap bmp;
    bmp.LoadFromStream(s);
    return bmp;
}

Bytes Save(const TBitmap& bmp) {
    TMemoryStream m;
    bmp.SaveToStream(m);
    return m.Bytes();
}

uint32_t U32At(const Bytes& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
}

std::vector<QRgb> Table(int n) {
    std::vector<QRgb> t;
    for (int i = 0; i < n; ++i) t.push_back(qRgb(i * 17 % 256, i * 31 % 256, i * 53 % 256));
    return t;
}

// Pixels equal in every respect the bitmap keeps: size, format, colour
// table, and each stored value.
void ExpectSamePixels(const QImage& a, const QImage& b) {
    ASSERT_EQ(a.size(), b.size());
    ASSERT_EQ(a.format(), b.format());
    EXPECT_EQ(a.colorTable(), b.colorTable());
    const int bytes = a.width() * a.depth() / 8;
    for (int y = 0; y < a.height(); ++y)
        ASSERT_EQ(0, memcmp(a.constScanLine(y), b.constScanLine(y), size_t(bytes))) << "row " << y;
}

struct Form {
    const char* name;
    BmpLayout layout;
    std::function<uint32_t(int, int)> value;  // as stored in the file
    QImage::Format format;
    int bpp;
    // The colour the reader must give pixel (x, y); unused for indexed.
    std::function<QRgb(uint32_t)> colour;
};

const int W = 13, H = 7;

uint32_t Mix(int x, int y) { return uint32_t(x * 2654435761u) ^ uint32_t(y * 40503u) ^ uint32_t(x * y * 97u); }

int Scale(uint32_t v, uint32_t max) { return static_cast<int>((v * 255 + max / 2) / max); }

std::vector<Form> Forms() {
    std::vector<Form> f;
    auto indexed = [&](const char* name, int header, int bpp, int count, bool topDown, uint32_t clrUsed) {
        BmpLayout s;
        s.headerSize = header;
        s.width = W;
        s.height = topDown ? -H : H;
        s.bpp = bpp;
        s.table = Table(count);
        s.clrUsed = clrUsed;
        f.push_back({name, s, [count](int x, int y) { return uint32_t(x * 3 + y * 5) % count; },
                     QImage::Format_Indexed8, bpp, nullptr});
    };
    indexed("core 1-bit", 12, 1, 2, false, 0);
    indexed("core 4-bit", 12, 4, 16, false, 0);
    indexed("core 8-bit", 12, 8, 256, false, 0);
    indexed("info 1-bit", 40, 1, 2, false, 0);
    indexed("info 4-bit, 11 colours", 40, 4, 11, false, 11);
    indexed("info 8-bit, 200 colours", 40, 8, 200, false, 200);
    indexed("info 8-bit top-down", 40, 8, 256, true, 0);
    indexed("V5 header 8-bit", 124, 8, 256, false, 0);

    auto bgr = [](uint32_t v) { return qRgb((v >> 16) & 255, (v >> 8) & 255, v & 255); };
    auto truecolour = [&](const char* name, int header, int bpp, uint32_t comp, std::vector<uint32_t> masks,
                          bool topDown, uint32_t valueMask, QImage::Format fmt, int outBpp,
                          std::function<QRgb(uint32_t)> colour) {
        BmpLayout s;
        s.headerSize = header;
        s.width = W;
        s.height = topDown ? -H : H;
        s.bpp = bpp;
        s.compression = comp;
        s.masks = std::move(masks);
        f.push_back({name, s, [valueMask](int x, int y) { return Mix(x, y) & valueMask; }, fmt, outBpp, colour});
    };
    // Qt widens 5 and 6 bits by repeating the top bits.
    auto e5 = [](uint32_t c) { return int((c << 3) | (c >> 2)); };
    auto e6 = [](uint32_t c) { return int((c << 2) | (c >> 4)); };
    auto five = [=](uint32_t v) { return qRgb(e5((v >> 10) & 31), e5((v >> 5) & 31), e5(v & 31)); };
    auto fiveSix = [=](uint32_t v) { return qRgb(e5((v >> 11) & 31), e6((v >> 5) & 63), e5(v & 31)); };
    truecolour("core 24-bit", 12, 24, 0, {}, false, 0xFFFFFF, QImage::Format_RGB888, 24, bgr);
    truecolour("info 16-bit 5-5-5", 40, 16, 0, {}, false, 0x7FFF, QImage::Format_RGB555, 16, five);
    truecolour("info 16-bit 5-6-5 masks", 40, 16, 3, {0xF800, 0x07E0, 0x001F}, false, 0xFFFF, QImage::Format_RGB16,
               16, fiveSix);
    truecolour("56-byte header 16-bit 5-6-5", 56, 16, 3, {0xF800, 0x07E0, 0x001F}, true, 0xFFFF,
               QImage::Format_RGB16, 16, fiveSix);
    truecolour("info 16-bit 4-4-4 masks", 40, 16, 3, {0x0F00, 0x00F0, 0x000F}, false, 0xFFFF, QImage::Format_RGB32,
               32, [](uint32_t v) { return qRgb(Scale((v >> 8) & 15, 15), Scale((v >> 4) & 15, 15), Scale(v & 15, 15)); });
    truecolour("info 24-bit", 40, 24, 0, {}, false, 0xFFFFFF, QImage::Format_RGB888, 24, bgr);
    truecolour("info 24-bit top-down", 40, 24, 0, {}, true, 0xFFFFFF, QImage::Format_RGB888, 24, bgr);
    truecolour("info 32-bit, high byte ignored", 40, 32, 0, {}, false, 0xFFFFFFFF, QImage::Format_RGB32, 32, bgr);
    truecolour("V4 header 32-bit masks", 108, 32, 3, {0xFF0000, 0xFF00, 0xFF}, true, 0xFFFFFFFF,
               QImage::Format_RGB32, 32, bgr);
    truecolour("info 32-bit 10-10-10 masks", 40, 32, 3, {0x3FF00000, 0x000FFC00, 0x000003FF}, false, 0xFFFFFFFF,
               QImage::Format_RGB32, 32, [](uint32_t v) {
                   return qRgb(Scale((v >> 20) & 1023, 1023), Scale((v >> 10) & 1023, 1023), Scale(v & 1023, 1023));
               });
    return f;
}

Bytes FileOf(const Form& f) {
    return MakeBmp(f.layout, PackRows(W, H, f.layout.bpp, f.layout.height < 0, f.value));
}

}  // namespace

TEST(BitmapReader, ReadsEverySupportedFormToTheSamePixels) {
    for (const Form& f : Forms()) {
        SCOPED_TRACE(f.name);
        TBitmap b = Load(FileOf(f));
        const QImage& img = b.Image();
        ASSERT_EQ(img.width(), W);
        ASSERT_EQ(img.height(), H);
        EXPECT_EQ(img.format(), f.format);
        EXPECT_EQ(b.BitsPerPixel(), f.bpp);
        if (f.format == QImage::Format_Indexed8) {
            ASSERT_EQ(size_t(img.colorCount()), f.layout.table.size());
            for (size_t i = 0; i < f.layout.table.size(); ++i) EXPECT_EQ(img.color(int(i)), f.layout.table[i]);
            for (int y = 0; y < H; ++y) {
                for (int x = 0; x < W; ++x) {
                    ASSERT_EQ(uint32_t(img.pixelIndex(x, y)), f.value(x, y)) << x << "," << y;
                }
            }
        } else {
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x) {
                    const uint32_t v = f.value(x, y);
                    if (f.format == QImage::Format_RGB555 || f.format == QImage::Format_RGB16) {
                        ASSERT_EQ(reinterpret_cast<const uint16_t*>(img.constScanLine(y))[x], v) << x << "," << y;
                    }
                    ASSERT_EQ(img.pixel(x, y) | 0xFF000000u, f.colour(v)) << x << "," << y;
                }
        }
    }
}

TEST(BitmapWriter, WritesFromMemoryAndRoundTripsByteExact) {
    for (const Form& f : Forms()) {
        SCOPED_TRACE(f.name);
        TBitmap b = Load(FileOf(f));
        const Bytes first = Save(b);
        ASSERT_GE(first.size(), 54u);
        EXPECT_EQ(first[0], 'B');
        EXPECT_EQ(first[1], 'M');
        EXPECT_EQ(U32At(first, 2), first.size());
        const bool core = f.layout.headerSize == 12;
        EXPECT_EQ(U32At(first, 14), core ? 12u : 40u);
        const bool masks = f.format == QImage::Format_RGB16;
        const size_t table = f.format == QImage::Format_Indexed8 ? f.layout.table.size() * (core ? 3 : 4) : 0;
        EXPECT_EQ(U32At(first, 10), 14 + (core ? 12 : 40) + (masks ? 12 : 0) + table);
        if (!core) {
            EXPECT_EQ(U32At(first, 30), masks ? 3u : 0u);
        }

        TBitmap again = Load(first);
        EXPECT_EQ(again.BitsPerPixel(), b.BitsPerPixel());
        ExpectSamePixels(again.Image(), b.Image());
        EXPECT_EQ(Save(again), first);
        EXPECT_EQ(Save(b), first);  // saving twice gives the same bytes
    }
}

TEST(BitmapWriter, PropertyDataIsCountThenFile) {
    TBitmap b = Load(FileOf(Forms()[5]));
    TMemoryStream m;
    b.WriteData(m);
    const Bytes& data = m.Bytes();
    ASSERT_EQ(U32At(data, 0) + 4, data.size());
    EXPECT_EQ(Bytes(data.begin() + 4, data.end()), Save(b));

    TBitmap back;
    m.SetPosition(0);
    back.ReadData(m, m.Size());
    ExpectSamePixels(back.Image(), b.Image());
    EXPECT_EQ(m.Remaining(), 0);

    TBitmap empty;
    TMemoryStream e;
    empty.WriteData(e);
    EXPECT_EQ(e.Bytes(), Bytes({0, 0, 0, 0}));
    e.SetPosition(0);
    back.ReadData(e, 4);
    EXPECT_TRUE(back.Empty());
}

TEST(BitmapWriter, IndexedImagesPromoteDepthAndPadTheTable) {
    // An image set from code with indices past its table and a depth too
    // small for them must still give a file the reader accepts.
    QImage img(5, 2, QImage::Format_Indexed8);
    img.setColorTable({qRgb(1, 2, 3), qRgb(4, 5, 6)});
    img.fill(0);
    img.scanLine(1)[4] = 20;
    TBitmap b;
    b.SetImage(img, 1);
    const Bytes file = Save(b);
    TBitmap back = Load(file);
    EXPECT_EQ(back.BitsPerPixel(), 8);
    EXPECT_EQ(back.Image().pixelIndex(4, 1), 20);
    EXPECT_EQ(back.Image().color(1), qRgb(4, 5, 6));
    EXPECT_EQ(back.Image().colorCount(), 21);
}

TEST(BitmapReader, RunLengthEncodedPixels) {
    // 8-bit: a run, a literal run with padding, a line end, a move, an
    // end of bitmap.
    BmpLayout s8;
    s8.width = 6, s8.height = 3, s8.bpp = 8, s8.compression = 1, s8.table = Table(4), s8.clrUsed = 4;
    const Bytes rle8 = {3, 1, 0, 3, 2, 3, 1, 0, 0, 0, 0, 2, 2, 0, 2, 3, 0, 0, 6, 2, 0, 1};
    TBitmap b8 = Load(MakeBmp(s8, rle8));
    const int want8[3][6] = {{2, 2, 2, 2, 2, 2}, {0, 0, 3, 3, 0, 0}, {1, 1, 1, 2, 3, 1}};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 6; ++x) EXPECT_EQ(b8.Image().pixelIndex(x, y), want8[y][x]) << x << "," << y;
    EXPECT_EQ(b8.BitsPerPixel(), 8);

    BmpLayout s4;
    s4.width = 5, s4.height = 2, s4.bpp = 4, s4.compression = 2, s4.table = Table(7), s4.clrUsed = 7;
    const Bytes rle4 = {5, 0x12, 0, 0, 0, 3, 0x34, 0x50, 2, 0x66, 0, 1};
    TBitmap b4 = Load(MakeBmp(s4, rle4));
    const int want4[2][5] = {{3, 4, 5, 6, 6}, {1, 2, 1, 2, 1}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(b4.Image().pixelIndex(x, y), want4[y][x]) << x << "," << y;

    // Written back uncompressed, from memory.
    TBitmap again = Load(Save(b4));
    ExpectSamePixels(again.Image(), b4.Image());
    EXPECT_EQ(again.BitsPerPixel(), 4);

    // A run naming a colour past the table.
    const Bytes bad = {2, 9, 0, 1};
    EXPECT_EQ(MessageOf([&] { Load(MakeBmp(s8, bad)); }), "Bitmap image is not valid");
    // A literal run longer than the data.
    const Bytes shortRun = {0, 40, 1, 1};
    EXPECT_EQ(MessageOf([&] { Load(MakeBmp(s8, shortRun)); }), "Bitmap image is not valid");
}

TEST(BitmapReader, BadHeadersFailWithTheBitmapMessage) {
    BmpLayout good;
    good.width = 4, good.height = 4, good.bpp = 8, good.table = Table(4), good.clrUsed = 4;
    auto pixels = [](const BmpLayout& s, uint32_t value = 1) {
        return PackRows(std::max(1, int(std::abs(int64_t(s.width)) % 64)), std::max(1, int(std::abs(int64_t(s.height)) % 64)), s.bpp, false,
                        [value](int, int) { return value; });
    };
    ASSERT_NO_THROW(Load(MakeBmp(good, pixels(good))));

    std::vector<std::pair<const char*, Bytes>> cases;
    auto with = [&](const char* name, const std::function<void(BmpLayout&)>& change, uint32_t value = 1) {
        BmpLayout s = good;
        change(s);
        cases.push_back({name, MakeBmp(s, pixels(s, value))});
    };
    with("zero width", [](BmpLayout& s) { s.width = 0; });
    with("zero height", [](BmpLayout& s) { s.height = 0; });
    with("negative width", [](BmpLayout& s) { s.width = -4; });
    with("most negative height", [](BmpLayout& s) { s.height = INT_MIN; });
    with("huge width", [](BmpLayout& s) { s.width = INT_MAX; });
    with("huge height", [](BmpLayout& s) { s.height = INT_MAX; });
    with("huge 24-bit picture in a few bytes", [](BmpLayout& s) { s.width = 30000, s.height = 30000, s.bpp = 24, s.table.clear(), s.clrUsed = 0; });
    with("offset past the end", [](BmpLayout& s) { s.offsetDelta = 1000; });
    with("offset inside the colour table", [](BmpLayout& s) { s.offsetDelta = -4; });
    with("offset of zero", [](BmpLayout& s) { s.offsetDelta = -(14 + 40 + 16); });
    with("two planes", [](BmpLayout& s) { s.planes = 2; });
    with("3 bits per pixel", [](BmpLayout& s) { s.bpp = 3; });
    with("0 bits per pixel", [](BmpLayout& s) { s.bpp = 0; });
    with("JPEG compression", [](BmpLayout& s) { s.compression = 4; });
    with("RLE8 on 24 bits", [](BmpLayout& s) { s.compression = 1, s.bpp = 24, s.table.clear(), s.clrUsed = 0; });
    with("RLE8 top-down", [](BmpLayout& s) { s.compression = 1, s.height = -4; });
    with("bit fields on 8 bits", [](BmpLayout& s) { s.compression = 3, s.masks = {0xE0, 0x1C, 0x03}; });
    with("more colours than the depth holds", [](BmpLayout& s) { s.clrUsed = 300, s.table = Table(300); });
    with("colour table past the end", [](BmpLayout& s) { s.clrUsed = 200; });
    with("index past the colour table", [](BmpLayout&) {}, 9);
    with("zero mask", [](BmpLayout& s) { s.bpp = 16, s.compression = 3, s.masks = {0xF800, 0, 0x1F}, s.table.clear(), s.clrUsed = 0; });
    with("mask with a gap", [](BmpLayout& s) { s.bpp = 16, s.compression = 3, s.masks = {0xF00F, 0x07E0, 0x0010}, s.table.clear(), s.clrUsed = 0; });
    with("overlapping masks", [](BmpLayout& s) { s.bpp = 16, s.compression = 3, s.masks = {0xF800, 0xFFE0, 0x1F}, s.table.clear(), s.clrUsed = 0; });
    with("mask wider than the pixel", [](BmpLayout& s) { s.bpp = 16, s.compression = 3, s.masks = {0x1F0000, 0x07E0, 0x1F}, s.table.clear(), s.clrUsed = 0; });
    with("unknown header size", [](BmpLayout& s) { s.headerSize = 20; });

    Bytes valid = MakeBmp(good, pixels(good));
    cases.push_back({"truncated pixels", Bytes(valid.begin(), valid.end() - 1)});
    cases.push_back({"truncated header", Bytes(valid.begin(), valid.begin() + 30)});
    cases.push_back({"nothing", {}});
    Bytes magic = valid;
    magic[1] = 'X';
    cases.push_back({"not BM", magic});

    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        EXPECT_EQ(MessageOf([&] { Load(c.second); }), "Bitmap image is not valid");
    }
}

TEST(BitmapReader, FailedLoadKeepsThePicture) {
    const Form f = Forms()[9];
    TBitmap b = Load(FileOf(f));
    const QImage before = b.Image();
    Bytes bad = FileOf(f);
    bad.resize(bad.size() - 3);
    TPointerStream s(bad.data(), static_cast<int64_t>(bad.size()));
    EXPECT_THROW(b.LoadFromStream(s), EInvalidGraphic);
    ExpectSamePixels(b.Image(), before);
}

TEST(BitmapReader, PropertyDataCountIsCheckedBeforeAllocating) {
    // A 4 GB count in a small block fails at once with the stream message.
    Bytes block = {0xFF, 0xFF, 0xFF, 0xFF};
    block.resize(1024, 0);
    TPointerStream s(block.data(), static_cast<int64_t>(block.size()));
    TBitmap b;
    EXPECT_EQ(MessageOf([&] { b.ReadData(s, static_cast<int64_t>(block.size())); }), "Stream read error");

    // A count larger than the block, though the stream goes on.
    Bytes file = FileOf(Forms()[0]);
    Bytes data;
    Put32(data, static_cast<uint32_t>(file.size()));
    data.insert(data.end(), file.begin(), file.end());
    TPointerStream s2(data.data(), static_cast<int64_t>(data.size()));
    EXPECT_EQ(MessageOf([&] { b.ReadData(s2, 20); }), "Stream read error");
    // A sound count with bad bitmap bytes inside.
    data[4] = 'X';
    TPointerStream s3(data.data(), static_cast<int64_t>(data.size()));
    EXPECT_EQ(MessageOf([&] { b.ReadData(s3, static_cast<int64_t>(data.size())); }), "Bitmap image is not valid");
}

TEST(Bitmap, CopiesShareUntilOneIsDrawnOn) {
    TBitmap a = Load(FileOf(Forms()[6]));  // 8-bit
    TBitmap b = a;
    EXPECT_EQ(a.Image().constBits(), b.Image().constBits());
    TBitmap c;
    c.Assign(a);
    EXPECT_EQ(a.Image().constBits(), c.Image().constBits());

    b.Canvas().Brush.Color = RGB(0, 255, 0);
    b.Canvas().FillRect(Rect(0, 0, 3, 3));
    b.ReleaseCanvas();
    // Drawing turned the copy into a 32-bit bitmap and left the original alone.
    EXPECT_EQ(b.BitsPerPixel(), 32);
    EXPECT_EQ(b.Image().format(), QImage::Format_RGB32);
    EXPECT_EQ(b.Image().pixel(1, 1), qRgb(0, 255, 0));
    EXPECT_EQ(a.Image().format(), QImage::Format_Indexed8);
    EXPECT_EQ(a.BitsPerPixel(), 8);
    EXPECT_EQ(a.Image().pixelIndex(1, 1), int(Forms()[6].value(1, 1)));
    EXPECT_EQ(c.Image().pixelIndex(1, 1), int(Forms()[6].value(1, 1)));

    // A copy taken while a canvas is drawing sees the drawing so far and
    // does not change with later drawing.
    b.Canvas().FillRect(Rect(0, 0, 1, 1));
    TBitmap d = b;
    b.Canvas().Brush.Color = RGB(0, 0, 255);
    b.Canvas().FillRect(Rect(0, 0, 1, 1));
    b.ReleaseCanvas();
    EXPECT_EQ(d.Image().pixel(0, 0), qRgb(0, 255, 0));
    EXPECT_EQ(b.Image().pixel(0, 0), qRgb(0, 0, 255));
}

TEST(Bitmap, DrawsAtAPointAndStretched) {
    QImage src(2, 2, QImage::Format_RGB888);
    src.setPixel(0, 0, qRgb(255, 0, 0));
    src.setPixel(1, 0, qRgb(0, 255, 0));
    src.setPixel(0, 1, qRgb(0, 0, 255));
    src.setPixel(1, 1, qRgb(255, 255, 255));
    TBitmap b;
    b.SetImage(src);
    EXPECT_EQ(b.BitsPerPixel(), 24);

    QImage target(10, 10, QImage::Format_RGB32);
    target.fill(Qt::black);
    {
        TCanvas c(&target);
        c.Draw(3, 4, b);
        c.StretchDraw(Rect(0, 6, 4, 10), b);
    }
    EXPECT_EQ(target.pixel(3, 4), qRgb(255, 0, 0));
    EXPECT_EQ(target.pixel(4, 5), qRgb(255, 255, 255));
    EXPECT_EQ(target.pixel(5, 4), qRgb(0, 0, 0));
    EXPECT_EQ(target.pixel(1, 7), qRgb(255, 0, 0));
    EXPECT_EQ(target.pixel(2, 9), qRgb(255, 255, 255));
}

TEST(Bitmap, SetSizeKeepsFormatAndSharedPixels) {
    TBitmap b = Load(FileOf(Forms()[9]));  // 16-bit 5-5-5
    const QImage before = b.Image();
    b.SetSize(20, 3);
    EXPECT_EQ(b.Image().format(), QImage::Format_RGB555);
    EXPECT_EQ(b.BitsPerPixel(), 16);
    EXPECT_EQ(b.Width(), 20);
    for (int x = 0; x < W; ++x) EXPECT_EQ(b.Image().pixel(x, 2), before.pixel(x, 2));
    EXPECT_EQ(b.Image().pixel(15, 0), qRgb(0, 0, 0));

    TBitmap e;
    e.SetSize(4, 4);
    EXPECT_EQ(e.Image().format(), QImage::Format_RGB32);
}
