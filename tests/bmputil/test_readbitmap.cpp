// Reading 8-bit bitmap files, row order, and the palette conversions.
#include <span>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "bmpfile.h"
#include "bmputil/bmputil.h"
#include "toolkit/streams.h"

using namespace bmputil;
using testbmp::BmpSpec;
using testbmp::MakeBmp;
using testbmp::Rgb;

namespace {

class ReadBitmap : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() / ("bmputil_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::string path = (dir_ / name).string();
        tk::WriteFileBytes(path, bytes.data(), bytes.size());
        return path;
    }

    struct Result {
        std::unique_ptr<TBitmapInfo> info;
        tk::TBytes pixels;
        size_t pixelSize = 0, infoSize = 0;
    };
    Result Read(const std::string& path) {
        Result r;
        ReadBitmapFile(path, r.info, r.pixels, r.pixelSize, r.infoSize);
        return r;
    }
    // The message ReadBitmapFile fails with; also checks that it leaves
    // nothing behind, even when the outputs held something before.
    std::string Failure(const std::vector<uint8_t>& bytes) {
        std::string path = Write("bad.bmp", bytes);
        Result r;
        r.info = std::make_unique<TBitmapInfo>();
        r.pixels = tk::TBytes(std::vector<uint8_t>(10, 1));
        r.pixelSize = r.infoSize = 99;
        try {
            ReadBitmapFile(path, r.info, r.pixels, r.pixelSize, r.infoSize);
        } catch (const tk::Exception& e) {
            EXPECT_EQ(r.info, nullptr);
            EXPECT_TRUE(r.pixels.empty());
            EXPECT_EQ(r.pixelSize, 0u);
            return e.Message();
        }
        return "(no failure)";
    }

    std::filesystem::path dir_;
};

BmpSpec Sample(int w, int h, int colors, unsigned seed) {
    std::mt19937 rng(seed);
    BmpSpec s;
    s.width = w;
    s.height = h;
    for (int i = 0; i < colors; ++i)
        s.table.push_back(Rgb{uint8_t(rng()), uint8_t(rng()), uint8_t(rng())});
    for (int i = 0; i < w * h; ++i) s.pixels.push_back(static_cast<uint8_t>(rng() % colors));
    return s;
}

// Rows of the block, without padding.
std::vector<uint8_t> Unpadded(std::span<const uint8_t> block, int w, int h) {
    std::vector<uint8_t> out;
    const int stride = testbmp::Stride(w);
    for (int y = 0; y < h; ++y)
        out.insert(out.end(), block.begin() + y * stride, block.begin() + y * stride + w);
    return out;
}

}  // namespace

TEST(BmpUtil, BytesPerLineRoundsUpToFour) {
    EXPECT_EQ(BytesPerLine(0), 0);
    EXPECT_EQ(BytesPerLine(1), 4);
    EXPECT_EQ(BytesPerLine(4), 4);
    EXPECT_EQ(BytesPerLine(5), 8);
    EXPECT_EQ(BytesPerLine(8), 8);
    EXPECT_EQ(BytesPerLine(4097), 4100);
    EXPECT_EQ(BytesPerLine(INT32_MAX), int64_t(1) << 31);  // no overflow
}

TEST_F(ReadBitmap, BothRowOrdersGiveTheSameTopFirstBlock) {
    BmpSpec s = Sample(5, 3, 256, 1);
    s.padByte = 0xAB;
    Result up = Read(Write("up.bmp", MakeBmp(s)));
    s.topDown = true;
    Result down = Read(Write("down.bmp", MakeBmp(s)));

    for (Result* r : {&up, &down}) {
        ASSERT_NE(r->info, nullptr);
        EXPECT_EQ(r->info->bmiHeader.biWidth, 5);
        EXPECT_EQ(r->info->bmiHeader.biHeight, -3);
        EXPECT_EQ(r->pixelSize, 24u);
        EXPECT_EQ(r->infoSize, 1068u);
        EXPECT_EQ(r->pixels.size(), 24u);
        EXPECT_EQ(Unpadded(r->pixels, 5, 3), s.pixels);
        EXPECT_EQ(r->pixels[5], 0xAB);  // padding kept as stored
    }
    EXPECT_EQ(up.pixels, down.pixels);
    EXPECT_EQ(0, std::memcmp(up.info.get(), down.info.get(), sizeof(TBitmapInfo)));

    // Large enough to be read in several pieces, the last one short.
    BmpSpec big = Sample(3001, 800, 256, 8);
    Result bigUp = Read(Write("bigup.bmp", MakeBmp(big)));
    big.topDown = true;
    Result bigDown = Read(Write("bigdown.bmp", MakeBmp(big)));
    EXPECT_EQ(Unpadded(bigUp.pixels, 3001, 800), big.pixels);
    EXPECT_EQ(bigUp.pixels, bigDown.pixels);
}

TEST_F(ReadBitmap, ShortColourTableLeavesTheRestBlackAndPixelOffsetIsHonoured) {
    BmpSpec s = Sample(4, 3, 16, 2);
    s.gap = 10;  // pixels found through the offset, not after the table
    Result r = Read(Write("16.bmp", MakeBmp(s)));
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(r.info->bmiColors[i].rgbRed, s.table[i].r);
        EXPECT_EQ(r.info->bmiColors[i].rgbGreen, s.table[i].g);
        EXPECT_EQ(r.info->bmiColors[i].rgbBlue, s.table[i].b);
    }
    for (int i = 16; i < 256; ++i) {
        const TRGBQuad& q = r.info->bmiColors[i];
        EXPECT_EQ(q.rgbRed | q.rgbGreen | q.rgbBlue | q.rgbReserved, 0) << i;
    }
    EXPECT_EQ(r.info->bmiHeader.biClrUsed, 16u);
    EXPECT_EQ(r.pixels, s.pixels);  // width 4: no padding
}

TEST_F(ReadBitmap, ColourCountAbove256IsCutTo256) {
    BmpSpec s = Sample(3, 2, 256, 3);
    s.clrUsed = 5000;
    Result r = Read(Write("many.bmp", MakeBmp(s)));
    EXPECT_EQ(r.info->bmiColors[255].rgbRed, s.table[255].r);
    EXPECT_EQ(r.info->bmiSpare[0] | r.info->bmiSpare[1] | r.info->bmiSpare[2] | r.info->bmiSpare[3],
              0);
    EXPECT_EQ(Unpadded(r.pixels, 3, 2), s.pixels);
}

TEST_F(ReadBitmap, LargerInformationHeaderPutsTheTableAfterIt) {
    BmpSpec s = Sample(6, 2, 20, 4);
    s.infoSize = 124;
    Result r = Read(Write("v5.bmp", MakeBmp(s)));
    EXPECT_EQ(r.info->bmiHeader.biSize, 40u);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(r.info->bmiColors[i].rgbGreen, s.table[i].g) << i;
    EXPECT_EQ(Unpadded(r.pixels, 6, 2), s.pixels);
}

TEST_F(ReadBitmap, RefusesWhatItCannotRead) {
    BmpSpec ok = Sample(5, 3, 256, 5);
    std::vector<uint8_t> notBm = MakeBmp(ok);
    notBm[0] = 'X';
    EXPECT_EQ(Failure(notBm), "Not a valid bitmap file");
    BmpSpec s = ok;
    s.bitCount = 24;
    EXPECT_EQ(Failure(MakeBmp(s)), "The image must be an 8bpp (256 color) image");
    s.bitCount = 4;
    EXPECT_EQ(Failure(MakeBmp(s)), "The image must be an 8bpp (256 color) image");
    s = ok;
    s.compression = 1;  // run-length encoded
    EXPECT_EQ(Failure(MakeBmp(s)), "The image must be uncompressed (RGB encoded)");
    std::vector<uint8_t> negativeWidth = MakeBmp(ok);
    int32_t w = -5;
    std::memcpy(&negativeWidth[18], &w, 4);
    EXPECT_EQ(Failure(negativeWidth), "Not a valid bitmap file");

    // Files that end early, anywhere.
    std::vector<uint8_t> full = MakeBmp(ok);
    for (size_t len : {size_t(0), size_t(10), size_t(30), size_t(100), full.size() - 1}) {
        std::vector<uint8_t> cut(full.begin(), full.begin() + static_cast<long>(len));
        EXPECT_EQ(Failure(cut), "Stream read error") << len;
    }
    // Pixel offset beyond the end of the file.
    std::vector<uint8_t> far = full;
    uint32_t off = 1u << 30;
    std::memcpy(&far[10], &off, 4);
    EXPECT_EQ(Failure(far), "Stream read error");

    EXPECT_EQ(
        [&] {
            try {
                Read((dir_ / "missing.bmp").string());
            } catch (const tk::Exception& e) {
                return e.Message();
            }
            return std::string();
        }(),
        "Cannot open file " + (dir_ / "missing.bmp").string());
}

TEST_F(ReadBitmap, HugeDimensionsInASmallFileAllocateNothing) {
    // 200000 x 200000 would be 40 GB; the file holds a few bytes of pixels.
    for (int32_t h : {200000, -200000, INT32_MIN}) {
        std::vector<uint8_t> b = MakeBmp(Sample(4, 2, 256, 6));
        int32_t w = 200000;
        std::memcpy(&b[18], &w, 4);
        std::memcpy(&b[22], &h, 4);
        EXPECT_EQ(Failure(b), "Stream read error") << h;
    }
}

TEST_F(ReadBitmap, ReadsFromAStreamAtItsPosition) {
    BmpSpec s = Sample(7, 5, 256, 7);
    std::vector<uint8_t> bytes(3, 0xFF);
    auto bmp = MakeBmp(s);
    bytes.insert(bytes.end(), bmp.begin(), bmp.end());
    tk::TMemoryStream m(bytes);
    m.SetPosition(3);
    Result r;
    ReadBitmapStream(m, r.info, r.pixels, r.pixelSize, r.infoSize);
    EXPECT_EQ(Unpadded(r.pixels, 7, 5), s.pixels);
}

TEST(BmpUtil, FlipRowsReversesRowOrder) {
    for (int rows : {0, 1, 2, 5, 6}) {
        std::vector<uint8_t> block;
        for (int r = 0; r < rows; ++r)
            for (int x = 0; x < 8; ++x) block.push_back(static_cast<uint8_t>(r * 16 + x));
        std::vector<uint8_t> flipped = block;
        FlipRows(flipped.data(), 8, rows);
        for (int r = 0; r < rows; ++r)
            EXPECT_TRUE(std::equal(flipped.begin() + r * 8, flipped.begin() + r * 8 + 8,
                                   block.begin() + (rows - 1 - r) * 8));
    }
}

TEST(BmpUtil, PaletteConversionsKeepWhatTheyDoNotOwn) {
    TBitmapInfo info{};
    for (int i = 0; i < 256; ++i)
        info.bmiColors[i] = TRGBQuad{uint8_t(i), uint8_t(i + 1), uint8_t(i + 2), 0x55};
    TLibPalette pal{};
    for (int i = 0; i < 256; ++i)
        pal[i] = TLibPalEntry{uint8_t(255 - i), uint8_t(7), uint8_t(9), uint8_t(i & 1)};

    TLibPalette fromTable = pal;
    ColorTableToPalette(fromTable, info);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(fromTable[i].Red, info.bmiColors[i].rgbRed);
        EXPECT_EQ(fromTable[i].Green, info.bmiColors[i].rgbGreen);
        EXPECT_EQ(fromTable[i].Blue, info.bmiColors[i].rgbBlue);
        EXPECT_EQ(fromTable[i].Used, pal[i].Used);  // fourth bytes stay
    }

    TBitmapInfo toTable = info;
    PaletteToColorTable(pal, toTable);
    EXPECT_EQ(toTable.bmiColors[0].rgbRed, info.bmiColors[0].rgbRed);  // entry 0 stays
    EXPECT_EQ(toTable.bmiColors[0].rgbBlue, info.bmiColors[0].rgbBlue);
    for (int i = 1; i < 256; ++i) {
        EXPECT_EQ(toTable.bmiColors[i].rgbRed, pal[i].Red);
        EXPECT_EQ(toTable.bmiColors[i].rgbGreen, pal[i].Green);
        EXPECT_EQ(toTable.bmiColors[i].rgbBlue, pal[i].Blue);
        EXPECT_EQ(toTable.bmiColors[i].rgbReserved, 0x55);
    }

    tk::TLogPalette lp = MakePalette(info);
    ASSERT_EQ(lp.size(), 256u);
    EXPECT_EQ(lp[200],
              (tk::TPaletteEntry{202, 201, 200, 0}));  // table entries are blue, green, red
}

TEST(BmpUtil, ResetPaletteHoldsTheStaticColours) {
    TLibPalette pal;
    pal.fill(TLibPalEntry{9, 9, 9, 9});
    ResetPalette(pal, false);
    for (const auto& e : pal) EXPECT_EQ(e, TLibPalEntry{});

    ResetPalette(pal, true);
    const TLibPalEntry low[10] = {{0, 0, 0, 1},      {128, 0, 0, 1},     {0, 128, 0, 1},
                                  {128, 128, 0, 1},  {0, 0, 128, 1},     {128, 0, 128, 1},
                                  {0, 128, 128, 1},  {192, 192, 192, 1}, {192, 220, 192, 1},
                                  {166, 202, 240, 1}};
    const TLibPalEntry high[10] = {{255, 251, 240, 1}, {160, 160, 164, 1}, {128, 128, 128, 1},
                                   {255, 0, 0, 1},     {0, 255, 0, 1},     {255, 255, 0, 1},
                                   {0, 0, 255, 1},     {255, 0, 255, 1},   {0, 255, 255, 1},
                                   {255, 255, 255, 1}};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(pal[i], low[i]) << i;
        EXPECT_EQ(pal[246 + i], high[i]) << i;
    }
    for (int i = 10; i < 246; ++i) EXPECT_EQ(pal[i], TLibPalEntry{}) << i;
}
