// AssignDIB: 8-bit pixel blocks as bitmap pictures.
#include <gtest/gtest.h>

#include <QImage>

#include "bmputil/bmputil.h"
#include "toolkit/picture.h"

using namespace bmputil;

namespace {

struct Dib {
    TBitmapInfo info{};
    std::vector<uint8_t> pixels;  // top row first
};

Dib Sample() {
    Dib d;
    d.info.bmiHeader.biSize = 40;
    d.info.bmiHeader.biWidth = 5;
    d.info.bmiHeader.biHeight = -3;
    d.info.bmiHeader.biPlanes = 1;
    d.info.bmiHeader.biBitCount = 8;
    for (int i = 0; i < 256; ++i)
        d.info.bmiColors[i] = TRGBQuad{uint8_t(i), uint8_t(255 - i), uint8_t(i * 3), 0};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 8; ++x)
            d.pixels.push_back(x < 5 ? static_cast<uint8_t>(y * 40 + x * 7) : 0xEE);
    return d;
}

std::string Failure(tk::TBitmap& bmp, const TBitmapInfo& info, std::span<const uint8_t> pixels) {
    try {
        AssignDIB(bmp, info, pixels);
    } catch (const tk::Exception& e) {
        return e.Message();
    }
    return "(assigned)";
}

}  // namespace

TEST(AssignDIB, GivesAnIndexedImageWithTheColourTableAndPalette) {
    Dib d = Sample();
    tk::TBitmap bmp;
    AssignDIB(bmp, d.info, d.pixels);
    const QImage& img = bmp.Image();
    ASSERT_EQ(img.format(), QImage::Format_Indexed8);
    ASSERT_EQ(img.width(), 5);
    ASSERT_EQ(img.height(), 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(img.pixelIndex(x, y), y * 40 + x * 7);
    ASSERT_EQ(img.colorCount(), 256);
    EXPECT_EQ(img.color(7), qRgb(21, 248, 7));  // table entries are blue, green, red
    EXPECT_EQ(bmp.Palette(), MakePalette(d.info));

    // The same picture stored bottom row first.
    Dib up = d;
    up.info.bmiHeader.biHeight = 3;
    FlipRows(up.pixels.data(), 8, 3);
    tk::TBitmap bmp2;
    AssignDIB(bmp2, up.info, up.pixels);
    EXPECT_EQ(bmp2.Image(), img);

    // Drawn on a canvas, the pixels show the table's colours.
    QImage target(5, 3, QImage::Format_RGB32);
    target.fill(Qt::white);
    {
        tk::TCanvas canvas(&target);
        canvas.Draw(0, 0, bmp);
    }
    EXPECT_EQ(target.pixel(1, 2), qRgb(87 * 3 % 256, 255 - 87, 87));
}

TEST(AssignDIB, FailsWithoutAPictureAndLeavesTheBitmapEmpty) {
    Dib d = Sample();
    tk::TBitmap bmp;
    AssignDIB(bmp, d.info, d.pixels);
    ASSERT_FALSE(bmp.Empty());

    std::vector<uint8_t> shortBlock(d.pixels.begin(), d.pixels.end() - 1);
    EXPECT_EQ(Failure(bmp, d.info, shortBlock), "CreateDIBitmap failed");
    EXPECT_TRUE(bmp.Empty());
    EXPECT_TRUE(bmp.Palette().empty());

    Dib zero = d;
    zero.info.bmiHeader.biWidth = 0;
    EXPECT_EQ(Failure(bmp, zero.info, zero.pixels), "CreateDIBitmap failed");
    Dib rgb = d;
    rgb.info.bmiHeader.biBitCount = 24;
    EXPECT_EQ(Failure(bmp, rgb.info, rgb.pixels), "CreateDIBitmap failed");
}
