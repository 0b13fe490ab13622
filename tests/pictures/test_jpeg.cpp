#include <gtest/gtest.h>

#include <cstdio>
#include <regex>

#include <jpeglib.h>
#include <jerror.h>

#include "support.h"
#include "toolkit/picture.h"
#include "toolkit/streams.h"

using namespace tk;
using namespace pictest;

namespace {

QRgb Gradient(int x, int y) { return qRgb(x * 6, y * 11, 128); }

Bytes Block(const Bytes& jpeg) {
    Bytes b;
    Put32(b, static_cast<uint32_t>(jpeg.size()));
    b.insert(b.end(), jpeg.begin(), jpeg.end());
    return b;
}

TJPEGImage FromBlock(const Bytes& block) {
    TPointerStream s(block.data(), static_cast<int64_t>(block.size()));
    TJPEGImage j;
    j.ReadData(s, static_cast<int64_t>(block.size()));
    return j;
}

int Dist(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
}

}  // namespace

TEST(Jpeg, ReadsTheHeaderOnlyAndWritesTheBytesBackUnchanged) {
    const Bytes jpeg = MakeJpeg(37, 21, false, Gradient);
    const Bytes block = Block(jpeg);
    TPointerStream s(block.data(), static_cast<int64_t>(block.size()));
    TJPEGImage j;
    j.ReadData(s, static_cast<int64_t>(block.size()));
    EXPECT_EQ(s.Remaining(), 0);
    EXPECT_EQ(j.Width(), 37);
    EXPECT_EQ(j.Height(), 21);
    EXPECT_FALSE(j.IsDecoded());
    EXPECT_EQ(j.Bytes(), jpeg);

    TMemoryStream out;
    j.WriteData(out);
    EXPECT_EQ(out.Bytes(), block);
    TMemoryStream file;
    j.SaveToStream(file);
    EXPECT_EQ(file.Bytes(), jpeg);
    EXPECT_FALSE(j.IsDecoded());  // neither reading nor writing decodes
}

TEST(Jpeg, DecodesOnFirstDrawIntoACacheCopiesShare) {
    TJPEGImage j = FromBlock(Block(MakeJpeg(37, 21, false, Gradient)));
    TJPEGImage copy = j;
    EXPECT_EQ(copy.Bytes().data(), j.Bytes().data());
    EXPECT_FALSE(copy.IsDecoded());

    QImage target(40, 40, QImage::Format_RGB32);
    target.fill(Qt::black);
    {
        TCanvas c(&target);
        c.Draw(1, 2, j);
    }
    EXPECT_TRUE(j.IsDecoded());
    EXPECT_TRUE(copy.IsDecoded());
    EXPECT_EQ(copy.Decoded().constBits(), j.Decoded().constBits());
    for (int y = 0; y < 21; y += 5)
        for (int x = 0; x < 37; x += 6) EXPECT_LT(Dist(target.pixel(x + 1, y + 2), Gradient(x, y)), 24) << x << "," << y;
    EXPECT_EQ(target.pixel(39, 39), qRgb(0, 0, 0));

    // A new picture loaded into one copy leaves the other as it was.
    copy.SetBytes(TBytes(MakeJpeg(8, 8, true, [](int, int) { return qRgb(200, 200, 200); })));
    EXPECT_EQ(copy.Width(), 8);
    EXPECT_FALSE(copy.IsDecoded());
    EXPECT_EQ(j.Width(), 37);
    EXPECT_TRUE(j.IsDecoded());
    EXPECT_LT(Dist(copy.Decoded().pixel(3, 3), qRgb(200, 200, 200)), 6);
}

TEST(Jpeg, LibjpegErrorsBecomeTheJpegMessage) {
    const Bytes good = MakeJpeg(16, 16, false, Gradient);
    TJPEGImage j = FromBlock(Block(good));

    const Bytes notJpeg = {'n', 'o', 't', ' ', 'a', ' ', 'j', 'p', 'e', 'g'};
    EXPECT_EQ(MessageOf([&] { FromBlock(Block(notJpeg)); }), Format("JPEG error #%d", int(JERR_NO_SOI)));
    // The picture keeps what it had.
    EXPECT_THROW(j.SetBytes(TBytes(notJpeg)), EJPEG);
    EXPECT_EQ(j.Bytes(), good);

    // Cut inside the header: libjpeg's own error number, whatever it is.
    const Bytes cut(good.begin(), good.begin() + 40);
    const std::string msg = MessageOf([&] { FromBlock(Block(cut)); });
    EXPECT_TRUE(std::regex_match(msg, std::regex("JPEG error #[1-9][0-9]*"))) << msg;
}

TEST(Jpeg, APictureCutShortStillDraws) {
    Bytes jpeg = MakeJpeg(64, 64, false, Gradient);
    jpeg.resize(jpeg.size() * 2 / 3);
    TJPEGImage j = FromBlock(Block(jpeg));
    EXPECT_EQ(j.Width(), 64);
    EXPECT_NO_THROW(j.Decoded());
    EXPECT_EQ(j.Decoded().size(), QSize(64, 64));
}

TEST(Jpeg, AHeaderFarLargerThanItsDataIsNotDecoded) {
    Bytes jpeg = MakeJpeg(16, 16, false, Gradient);
    // Rewrite the frame header's size to 60000 x 60000.
    for (size_t i = 0; i + 8 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            jpeg[i + 5] = 0xEA, jpeg[i + 6] = 0x60, jpeg[i + 7] = 0xEA, jpeg[i + 8] = 0x60;
            break;
        }
    TJPEGImage j = FromBlock(Block(jpeg));
    EXPECT_EQ(j.Width(), 60000);
    EXPECT_EQ(MessageOf([&] { j.Decoded(); }), Format("JPEG error #%d", int(JERR_IMAGE_TOO_BIG)));
}

TEST(Jpeg, CountIsCheckedAgainstTheBlock) {
    const Bytes block = Block(MakeJpeg(8, 8, false, Gradient));
    TPointerStream s(block.data(), static_cast<int64_t>(block.size()));
    TJPEGImage j;
    EXPECT_EQ(MessageOf([&] { j.ReadData(s, static_cast<int64_t>(block.size()) - 1); }), "Stream read error");
    EXPECT_TRUE(j.Empty());
    Bytes huge = {0xFF, 0xFF, 0xFF, 0x7F, 1, 2, 3};
    TPointerStream h(huge.data(), static_cast<int64_t>(huge.size()));
    EXPECT_EQ(MessageOf([&] { j.ReadData(h, 1LL << 40); }), "Stream read error");
}

TEST(Jpeg, GreyscaleDecodes) {
    TJPEGImage j;
    j.SetBytes(TBytes(MakeJpeg(9, 9, true, [](int x, int) { return qRgb(x * 25, x * 25, x * 25); })));
    const QImage& img = j.Decoded();
    EXPECT_LT(Dist(img.pixel(8, 4), qRgb(200, 200, 200)), 12);
}
