#include <gtest/gtest.h>

#include <filesystem>

#include "support.h"
#include "toolkit/classes.h"
#include "toolkit/picture.h"
#include "toolkit/streams.h"

using namespace tk;
using namespace pictest;

namespace {

// Stands in for the property stream: keeps what DefineProperties declares.
class CaptureFiler : public TFiler {
public:
    void DefineProperty(const std::string&, std::function<void(TReader&)>, std::function<void(TWriter&)>,
                        bool) override {}
    void DefineBinaryProperty(const std::string& n, std::function<void(TStream&)> r, std::function<void(TStream&)> w,
                              bool has) override {
        name = n, read = std::move(r), write = std::move(w), hasData = has;
    }
    std::string name;
    std::function<void(TStream&)> read, write;
    bool hasData = false;
};

Bytes Bmp24() {
    BmpLayout s;
    s.width = 3, s.height = 2, s.bpp = 24;
    return MakeBmp(s, PackRows(3, 2, 24, false, [](int x, int y) { return uint32_t(x * 80 + y * 0x4000); }));
}

std::string WriteFile(const std::string& name, const Bytes& b) {
    const std::string path = TempDir() + "/" + name;
    WriteFileBytes(path, b.data(), b.size());
    return path;
}

Bytes PictureData(const TPicture& p) {
    TMemoryStream m;
    p.WritePictureData(m);
    return m.Bytes();
}

void ReadPictureData(TPicture& p, const Bytes& b) {
    TPointerStream s(b.data(), static_cast<int64_t>(b.size()));
    p.ReadPictureData(s, static_cast<int64_t>(b.size()));
    EXPECT_EQ(s.Remaining(), 0);
}

QImage White(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    return img;
}

}  // namespace

TEST(Picture, KindComesFromTheExtensionInAnyCase) {
    TPicture p;
    p.LoadFromFile(WriteFile("a.BmP", Bmp24()));
    EXPECT_STREQ(p.Graphic()->ClassName(), "TBitmap");
    EXPECT_EQ(p.Width(), 3);
    p.LoadFromFile(WriteFile("b.JPEG", MakeJpeg(5, 4, false, [](int, int) { return 0u; })));
    EXPECT_STREQ(p.Graphic()->ClassName(), "TJPEGImage");
    p.LoadFromFile(WriteFile("c.Jpg", MakeJpeg(5, 4, false, [](int, int) { return 0u; })));
    EXPECT_STREQ(p.Graphic()->ClassName(), "TJPEGImage");
    EXPECT_EQ(p.Height(), 4);
    p.LoadFromFile(WriteFile("d.EMF", MakeEmfLeftHalfRed()));
    EXPECT_STREQ(p.Graphic()->ClassName(), "TMetafile");
    p.LoadFromFile(WriteFile("e.wmf", MakePlaceableWmfLeftHalfRed()));
    EXPECT_STREQ(p.Graphic()->ClassName(), "TMetafile");
    QImage icon(16, 16, QImage::Format_ARGB32);
    icon.fill(Qt::red);
    p.LoadFromFile(WriteFile("f.ICO", MakeIco(icon)));
    EXPECT_STREQ(p.Graphic()->ClassName(), "TIcon");
}

TEST(Picture, OtherExtensionsAndFailedLoadsKeepThePicture) {
    TPicture p;
    p.LoadFromFile(WriteFile("keep.bmp", Bmp24()));
    const TGraphic* before = p.Graphic();
    const std::string png = WriteFile("x.png", Bmp24());
    EXPECT_EQ(MessageOf([&] { p.LoadFromFile(png); }), "Unknown picture file extension (.png)");
    const std::string PNG = WriteFile("y.PNG", Bmp24());
    EXPECT_EQ(MessageOf([&] { p.LoadFromFile(PNG); }), "Unknown picture file extension (.PNG)");
    EXPECT_EQ(MessageOf([&] { p.LoadFromFile(WriteFile("noext", Bmp24())); }), "Unknown picture file extension (.)");
    std::filesystem::create_directories(TempDir() + "/dir.bmp");
    EXPECT_EQ(MessageOf([&] { p.LoadFromFile(TempDir() + "/dir.bmp/plain"); }), "Unknown picture file extension (.)");
    // A bitmap named as a JPEG fails with libjpeg's message.
    const std::string msg = MessageOf([&] { p.LoadFromFile(WriteFile("fake.jpg", Bmp24())); });
    EXPECT_EQ(msg.rfind("JPEG error #", 0), 0u) << msg;
    EXPECT_EQ(MessageOf([&] { p.LoadFromFile(WriteFile("bad.bmp", {'B', 'M', 0})); }), "Bitmap image is not valid");
    const std::string missing = TempDir() + "/missing.bmp";
    EXPECT_EQ(MessageOf([&] { p.LoadFromFile(missing); }), "Cannot open file " + missing);
    EXPECT_EQ(p.Graphic(), before);
    EXPECT_EQ(p.Width(), 3);
}

TEST(Picture, DataPropertyIsKindNameThenKindData) {
    TPicture p;
    CaptureFiler f;
    p.DefineProperties(f);
    EXPECT_EQ(f.name, "Data");
    EXPECT_FALSE(f.hasData);

    const Bytes jpeg = MakeJpeg(6, 5, false, [](int, int) { return qRgb(9, 9, 9); });
    TJPEGImage j;
    j.SetBytes(TBytes(jpeg));
    p.SetGraphic(&j);
    CaptureFiler g;
    p.DefineProperties(g);
    EXPECT_TRUE(g.hasData);
    TMemoryStream m;
    g.write(m);
    Bytes want = {10, 'T', 'J', 'P', 'E', 'G', 'I', 'm', 'a', 'g', 'e'};
    Put32(want, static_cast<uint32_t>(jpeg.size()));
    want.insert(want.end(), jpeg.begin(), jpeg.end());
    EXPECT_EQ(m.Bytes(), want);

    TPicture q;
    CaptureFiler h;
    q.DefineProperties(h);
    m.SetPosition(0);
    h.read(m);
    ASSERT_NE(dynamic_cast<TJPEGImage*>(q.Graphic()), nullptr);
    EXPECT_EQ(dynamic_cast<TJPEGImage*>(q.Graphic())->Bytes(), jpeg);

    // Every kind comes back as itself.
    QImage icon(8, 8, QImage::Format_ARGB32);
    icon.fill(Qt::blue);
    const std::vector<std::string> files = {WriteFile("k.bmp", Bmp24()), WriteFile("k.ico", MakeIco(icon)),
                                            WriteFile("k.emf", MakeEmfLeftHalfRed()),
                                            WriteFile("k.wmf", MakePlaceableWmfLeftHalfRed())};
    for (const auto& file : files) {
        SCOPED_TRACE(file);
        TPicture a, b;
        a.LoadFromFile(file);
        const Bytes data = PictureData(a);
        ReadPictureData(b, data);
        EXPECT_STREQ(b.Graphic()->ClassName(), a.Graphic()->ClassName());
        EXPECT_EQ(b.Width(), a.Width());
        EXPECT_EQ(b.Height(), a.Height());
        EXPECT_EQ(PictureData(b), data);
    }
}

TEST(Picture, UnknownKindLeavesThePictureEmpty) {
    TPicture p;
    p.LoadFromFile(WriteFile("u.bmp", Bmp24()));
    Bytes data = {9, 'T', 'P', 'n', 'g', 'I', 'm', 'a', 'g', 'e', 1, 2, 3, 4, 5};
    ReadPictureData(p, data);
    EXPECT_TRUE(p.Empty());
    EXPECT_EQ(p.Graphic(), nullptr);
    // A kind name longer than the block is a short read.
    Bytes cut = {20, 'T', 'B'};
    TPointerStream s(cut.data(), 3);
    EXPECT_EQ(MessageOf([&] { p.ReadPictureData(s, 3); }), "Stream read error");
}

TEST(Picture, CopiesAndExchangesShareData) {
    TPicture a, b;
    a.LoadFromFile(WriteFile("s.jpg", MakeJpeg(7, 7, false, [](int, int) { return 0u; })));
    b.LoadFromFile(WriteFile("s.bmp", Bmp24()));
    const uint8_t* jpegBytes = dynamic_cast<TJPEGImage*>(a.Graphic())->Bytes().data();
    const uchar* bmpBits = dynamic_cast<TBitmap*>(b.Graphic())->Image().constBits();

    TPicture c = a;
    EXPECT_EQ(dynamic_cast<TJPEGImage*>(c.Graphic())->Bytes().data(), jpegBytes);
    TPicture d;
    d.Assign(b);
    EXPECT_EQ(dynamic_cast<TBitmap*>(d.Graphic())->Image().constBits(), bmpBits);

    a.Exchange(b);
    EXPECT_EQ(dynamic_cast<TJPEGImage*>(b.Graphic())->Bytes().data(), jpegBytes);
    EXPECT_EQ(dynamic_cast<TBitmap*>(a.Graphic())->Image().constBits(), bmpBits);

    // Bitmap() turns any picture into a bitmap.
    c.Bitmap().SetSize(2, 2);
    EXPECT_STREQ(c.Graphic()->ClassName(), "TBitmap");
    EXPECT_EQ(dynamic_cast<TJPEGImage*>(b.Graphic())->Bytes().data(), jpegBytes);
}

TEST(Picture, BitmapAssignedFromAnotherKindDrawsIt) {
    TPicture p;
    p.LoadFromFile(WriteFile("m.emf", MakeEmfLeftHalfRed()));
    TBitmap b;
    b.Assign(p);
    EXPECT_EQ(b.Width(), 100);
    EXPECT_EQ(b.BitsPerPixel(), 32);
    EXPECT_EQ(b.Image().pixel(10, 50), qRgb(255, 0, 0));
    EXPECT_EQ(b.Image().pixel(90, 50), qRgb(255, 255, 255));
    TJPEGImage j;
    EXPECT_EQ(MessageOf([&] { j.Assign(b); }), "Cannot assign a TBitmap to a TJPEGImage");
}

TEST(Icon, KeepsBytesKnowsItsSizeAndDraws) {
    QImage img(16, 16, QImage::Format_ARGB32);
    img.fill(qRgb(0, 0, 255));
    const Bytes ico = MakeIco(img);
    ASSERT_FALSE(ico.empty());
    TIcon i;
    TPointerStream s(ico.data(), static_cast<int64_t>(ico.size()));
    i.ReadData(s, static_cast<int64_t>(ico.size()));
    EXPECT_EQ(i.Width(), 16);
    EXPECT_EQ(i.Height(), 16);
    EXPECT_EQ(i.Bytes(), ico);
    TMemoryStream m;
    i.WriteData(m);
    EXPECT_EQ(m.Bytes(), ico);  // no count of its own

    QImage target = White(40, 40);
    {
        TCanvas c(&target);
        c.Draw(2, 2, i);
        c.StretchDraw(Rect(20, 20, 40, 40), i);
    }
    EXPECT_EQ(target.pixel(5, 5), qRgb(0, 0, 255));
    EXPECT_EQ(target.pixel(19, 19), qRgb(255, 255, 255));
    EXPECT_EQ(target.pixel(38, 38), qRgb(0, 0, 255));
}

TEST(Icon, BadDirectoriesFailWithTheIconMessage) {
    QImage img(16, 16, QImage::Format_ARGB32);
    img.fill(Qt::green);
    const Bytes ico = MakeIco(img);
    auto mutate = [&](size_t at, uint8_t v) {
        Bytes b = ico;
        b[at] = v;
        return b;
    };
    const std::vector<Bytes> bad = {mutate(2, 2),                   // a cursor
                                    mutate(4, 0),                   // no images
                                    mutate(4, 200),                 // more entries than bytes
                                    mutate(6 + 15, 0x7F),           // image offset past the end
                                    mutate(6 + 11, 0x10),           // image length past the end
                                    Bytes(ico.begin(), ico.begin() + 5)};
    for (const Bytes& b : bad) {
        TIcon i;
        TPointerStream s(b.data(), static_cast<int64_t>(b.size()));
        EXPECT_EQ(MessageOf([&] { i.LoadFromStream(s); }), "Icon image is not valid");
    }
}

TEST(Metafile, EnhancedAndPlaceableMetafilesKnowTheirSizeAndDraw) {
    for (const Bytes& bytes : {MakeEmfLeftHalfRed(), MakePlaceableWmfLeftHalfRed()}) {
        TMetafile mf;
        TPointerStream s(bytes.data(), static_cast<int64_t>(bytes.size()));
        mf.LoadFromStream(s);
        SCOPED_TRACE(mf.Enhanced() ? "EMF" : "WMF");
        EXPECT_EQ(mf.Width(), 100);
        EXPECT_EQ(mf.Height(), 100);
        EXPECT_EQ(mf.Bytes(), bytes);

        QImage target = White(200, 100);
        {
            TCanvas c(&target);
            c.Draw(0, 0, mf);
        }
        EXPECT_EQ(target.pixel(10, 50), qRgb(255, 0, 0));
        EXPECT_EQ(target.pixel(45, 90), qRgb(255, 0, 0));
        EXPECT_EQ(target.pixel(55, 50), qRgb(255, 255, 255));
        EXPECT_EQ(target.pixel(150, 50), qRgb(255, 255, 255));
        target.fill(Qt::white);
        {
            TCanvas c(&target);
            c.StretchDraw(Rect(0, 0, 200, 100), mf);
        }
        EXPECT_EQ(target.pixel(90, 50), qRgb(255, 0, 0));
        EXPECT_EQ(target.pixel(110, 50), qRgb(255, 255, 255));
    }
    TMetafile e;
    const Bytes emf = MakeEmfLeftHalfRed();
    TPointerStream s(emf.data(), static_cast<int64_t>(emf.size()));
    e.LoadFromStream(s);
    EXPECT_TRUE(e.Enhanced());
}

TEST(Metafile, CountIncludesItselfAndBadDataIsRefused) {
    const Bytes wmf = MakePlaceableWmfLeftHalfRed();
    Bytes block;
    Put32(block, static_cast<uint32_t>(wmf.size() + 4));
    block.insert(block.end(), wmf.begin(), wmf.end());
    TMetafile mf;
    TPointerStream s(block.data(), static_cast<int64_t>(block.size()));
    mf.ReadData(s, static_cast<int64_t>(block.size()));
    EXPECT_FALSE(mf.Enhanced());
    TMemoryStream out;
    mf.WriteData(out);
    EXPECT_EQ(out.Bytes(), block);

    Bytes tooBig = block;
    tooBig[0] += 1;
    TPointerStream t(tooBig.data(), static_cast<int64_t>(tooBig.size()));
    EXPECT_EQ(MessageOf([&] { mf.ReadData(t, static_cast<int64_t>(tooBig.size())); }), "Stream read error");

    auto load = [](const Bytes& b) {
        TMetafile m;
        TPointerStream st(b.data(), static_cast<int64_t>(b.size()));
        m.LoadFromStream(st);
    };
    Bytes badSum = wmf;
    badSum[20] ^= 1;
    Bytes noInch = wmf;
    noInch[14] = noInch[15] = 0;
    Bytes emfBadSize = MakeEmfLeftHalfRed();
    emfBadSize[4] = 0x10;  // header record shorter than a header
    Bytes emfNegative = MakeEmfLeftHalfRed();
    emfNegative[32] = 0, emfNegative[33] = 0, emfNegative[24] = 10;  // frame right < left
    for (const Bytes& b : {badSum, noInch, emfBadSize, emfNegative, Bytes{1, 2, 3, 4, 5, 6, 7, 8}})
        EXPECT_EQ(MessageOf([&] { load(b); }), "Metafile is not valid");
    EXPECT_EQ(mf.Width(), 100);
}

TEST(Metafile, RendererPlaysShapesTextBitmapsAndPaths) {
    for (const Bytes& bytes : {MakeEmfSampler(), MakeWmfSampler()}) {
        TMetafile mf;
        TPointerStream s(bytes.data(), static_cast<int64_t>(bytes.size()));
        mf.LoadFromStream(s);
        SCOPED_TRACE(mf.Enhanced() ? "EMF" : "WMF");
        ASSERT_EQ(mf.Width(), 100);
        QImage target = White(100, 100);
        {
            TCanvas c(&target);
            c.Draw(0, 0, mf);
        }
        EXPECT_EQ(target.pixel(10, 10), qRgb(0, 0, 255));
        EXPECT_EQ(target.pixel(40, 40), qRgb(255, 255, 255));
        EXPECT_EQ(target.pixel(80, 70), qRgb(255, 255, 0));
        EXPECT_EQ(target.pixel(80, 90), qRgb(255, 0, 0));
        EXPECT_EQ(target.pixel(5, 90), qRgb(0, 0, 0));
        EXPECT_EQ(target.pixel(35, 90), qRgb(255, 255, 255));
        int dark = 0;
        for (int y = 5; y < 40; ++y)
            for (int x = 55; x < 100; ++x) dark += qGray(target.pixel(x, y)) < 100;
        EXPECT_GT(dark, 10);  // the text
    }
}

TEST(Metafile, DamagedRecordsEndPlayingWithoutReadingPastTheData) {
    Bytes emf = MakeEmfSampler();
    // A record whose size runs past the end, right after the header.
    emf[88 + 4] = 0xF0, emf[88 + 5] = 0xFF;
    TMetafile mf;
    TPointerStream s(emf.data(), static_cast<int64_t>(emf.size()));
    mf.LoadFromStream(s);
    QImage target = White(100, 100);
    {
        TCanvas c(&target);
        c.Draw(0, 0, mf);
    }
    EXPECT_EQ(target.pixel(10, 10), qRgb(255, 255, 255));  // nothing drawn
}
