// Adding bitmaps as slides, and the list edits the main window makes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "../bmputil/bmpfile.h"
#include "crlfile.h"
#include "qvx/intro/intro_library.h"
#include "toolkit/streams.h"

using namespace qvx;
using namespace testcrl;
using testbmp::BmpSpec;
using testbmp::Rgb;

namespace {

class AddImage : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() / ("crladd_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string WriteBmp(const std::string& name, const BmpSpec& s) {
        std::string path = (dir_ / name).string();
        auto bytes = testbmp::MakeBmp(s);
        tk::WriteFileBytes(path, bytes.data(), bytes.size());
        return path;
    }
    static int AddFile(TIntroLibrary& lib, const std::string& file,
                       std::optional<uint8_t> transparent = {}, TSlideProps props = {}) {
        std::unique_ptr<bmputil::TBitmapInfo> info;
        tk::TBytes pixels;
        size_t ps = 0, is = 0;
        bmputil::ReadBitmapFile(file, info, pixels, ps, is);
        return lib.AddBitmap(SlideNameFromPath(file), *info, pixels, props, transparent);
    }

    std::filesystem::path dir_;
};

// The 20 static colours and black, each used by some pixel.
BmpSpec StaticColours() {
    BmpSpec s;
    const TLibPalette sys = NewPalette();
    s.table.push_back(Rgb{0, 0, 0});
    for (int i : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 246, 247, 248, 249, 250, 251, 252, 253, 254, 255})
        s.table.push_back(Rgb{sys[i].Red, sys[i].Green, sys[i].Blue});
    s.width = 7;
    s.height = 3;
    for (int i = 0; i < 21; ++i) s.pixels.push_back(static_cast<uint8_t>(i));
    return s;
}

}  // namespace

TEST_F(AddImage, StaticColoursAddOnlyBlack) {
    TIntroLibrary lib;
    const TLibPalette before = lib.Palette();
    TSlideProps props{6, 9, 3};
    ASSERT_EQ(AddFile(lib, WriteBmp("STATIC.BMP", StaticColours()), {}, props), 0);
    EXPECT_EQ(lib.Header().Count, 1);
    const TIntroSlide& s = *lib.Slide(0);
    EXPECT_EQ(s.NameText(), "STATIC");
    EXPECT_EQ(s.Transition, 6);
    EXPECT_EQ(s.Speed, 9);
    EXPECT_EQ(s.Hold, 3);
    EXPECT_EQ(s.Width, 7);
    EXPECT_EQ(s.Height, 3);
    ASSERT_EQ(s.Pixels.size(), 24u);
    // Black is found only in entry 0, which is never examined: it takes 10.
    // Black again at index 1 of the table matches entry 10 exactly.
    const uint8_t expected[21] = {10,  10,  1,   2,   3,   4,   5,   6,   7,   8,  9,
                                  246, 247, 248, 249, 250, 251, 252, 253, 254, 255};
    for (int i = 0; i < 21; ++i)
        EXPECT_EQ(s.Pixels[static_cast<size_t>(i / 7 * 8 + i % 7)], expected[i]) << i;
    for (int y = 0; y < 3; ++y)
        EXPECT_EQ(s.Pixels[static_cast<size_t>(y * 8 + 7)], 0);  // padding 0
    TLibPalette after = lib.Palette();
    EXPECT_EQ(after[10], (TLibPalEntry{0, 0, 0, 1}));
    after[10] = before[10];
    EXPECT_EQ(after, before);
    // The record beyond the name and the padding are zero.
    EXPECT_EQ(s.Name[7] | s.Name[8] | s.Pad1[0] | s.Pad1[1] | s.Pad1[2] | s.Pad2[0] | s.Pad2[1] |
                  s.Pad2[2],
              0);
}

TEST_F(AddImage, BothRowOrdersGiveIdenticalSlides) {
    BmpSpec s;
    s.width = 5;
    s.height = 4;
    for (int i = 0; i < 40; ++i)
        s.table.push_back(Rgb{uint8_t(i * 6), uint8_t(i * 3), uint8_t(255 - i)});
    for (int i = 0; i < 20; ++i) s.pixels.push_back(static_cast<uint8_t>((i * 7) % 40));
    s.padByte = 0x5A;  // padding in the file never reaches the slide
    TIntroLibrary up, down;
    AddFile(up, WriteBmp("up.bmp", s));
    s.topDown = true;
    AddFile(down, WriteBmp("up.bmp", s));
    EXPECT_EQ(up.SaveToBytes(), down.SaveToBytes());
    EXPECT_EQ(up.Slide(0)->Pixels[5], 0);
}

TEST_F(AddImage, FullPaletteMapsToNearestAndEarlierSlidesKeepTheirIndices) {
    TIntroLibrary lib;
    BmpSpec first;
    first.width = 4;
    first.height = 1;
    first.table = {{10, 10, 10}, {20, 20, 20}};
    first.pixels = {0, 1, 0, 1};
    AddFile(lib, WriteBmp("first.bmp", first));
    const std::vector<uint8_t> firstPixels = lib.Slide(0)->Pixels.ToVector();
    EXPECT_EQ(firstPixels, (std::vector<uint8_t>{10, 11, 10, 11}));

    // 240 new colours: 234 fill the free entries 12-245, the rest map to the
    // nearest used entry.
    BmpSpec fill;
    fill.width = 240;
    fill.height = 1;
    for (int i = 0; i < 240; ++i) {
        fill.table.push_back(Rgb{uint8_t(i), 100, 50});
        fill.pixels.push_back(static_cast<uint8_t>(i));
    }
    fill.table.push_back(Rgb{});  // 241 entries; index 240 unused
    AddFile(lib, WriteBmp("fill.bmp", fill));
    const TIntroSlide& s = *lib.Slide(1);
    for (int i = 0; i < 234; ++i) EXPECT_EQ(s.Pixels[static_cast<size_t>(i)], 12 + i) << i;
    for (const auto& e : lib.Palette()) EXPECT_EQ(e.Used, 1);
    // Colour (234, 100, 50) is nearest to (233, 100, 50), entry 245.
    EXPECT_EQ(s.Pixels[234], 245);
    EXPECT_EQ(lib.Slide(0)->Pixels, firstPixels);
}

TEST_F(AddImage, BatchMakesIndexZeroTransparentWhateverItsColour) {
    BmpSpec s;
    s.width = 3;
    s.height = 2;
    s.table = {{255, 255, 255}, {1, 2, 3}};
    s.pixels = {0, 1, 0, 1, 1, 0};
    TIntroLibrary lib;
    AddFile(lib, WriteBmp("white.bmp", s), uint8_t(0));
    EXPECT_EQ(lib.Slide(0)->Pixels, (std::vector<uint8_t>{0, 10, 0, 0, 10, 10, 0, 0}));
    EXPECT_EQ(lib.Palette()[11].Used, 0);  // only the one colour was taken in
}

TEST_F(AddImage, AFailedAddLeavesTheListAsItWas) {
    TIntroLibrary lib;
    bmputil::TBitmapInfo info{};
    info.bmiHeader.biWidth = 8;
    info.bmiHeader.biHeight = -8;
    info.bmiHeader.biBitCount = 8;
    std::vector<uint8_t> shortBlock(63);
    EXPECT_THROW(lib.AddBitmap("X", info, shortBlock, {}, {}), tk::Exception);
    EXPECT_EQ(lib.SlideCount(), 0);
    EXPECT_EQ(lib.Header().Count, 0);
}

TEST_F(AddImage, RowPaddingOfAnAddedSlideIsZero) {
    bmputil::TBitmapInfo info{};
    info.bmiHeader.biWidth = 3;
    info.bmiHeader.biHeight = -2;
    info.bmiHeader.biBitCount = 8;
    const std::vector<uint8_t> block = {0, 0, 0, 0xEE, 0, 0, 0, 0xEE};
    TIntroLibrary lib;
    {
        // Memory of the size the slide takes, left dirty for it to reuse.
        std::vector<tk::TBytes> dirty;
        for (int i = 0; i < 4; ++i) dirty.push_back(tk::TBytes(std::vector<uint8_t>(8, 0xCD)));
    }
    lib.AddBitmap("PAD", info, block, {}, {});
    const tk::TBytes& px = lib.Slide(0)->Pixels;
    ASSERT_EQ(px.size(), 8u);
    EXPECT_EQ(px[3], 0);
    EXPECT_EQ(px[7], 0);
}

TEST(SlideList, RemoveMoveRenameAndProperties) {
    std::mt19937 rng(8);
    TIntroLibrary lib;
    ASSERT_EQ(lib.LoadFromBytes(CrlBytes("CR10", 4, 0, NewPalette(),
                                         {Raw(4, 1, "A", rng), Raw(4, 1, "B", rng),
                                          Raw(4, 1, "C", rng), Raw(4, 1, "D", rng)})),
              TLoadResult::Loaded);
    auto names = [&] {
        std::string s;
        for (int i = 0; i < lib.SlideCount(); ++i) s += lib.Slide(i)->NameText();
        return s;
    };
    lib.MoveSlide(0, 1);
    EXPECT_EQ(names(), "BACD");
    lib.MoveSlide(3, 2);
    EXPECT_EQ(names(), "BADC");
    EXPECT_EQ(lib.Header().Count, 4);
    EXPECT_THROW(lib.MoveSlide(3, 4), tk::Exception);

    lib.RemoveSlide(1);
    EXPECT_EQ(names(), "BDC");
    EXPECT_EQ(lib.Header().Count, 3);

    lib.RenameSlide(0, "LONGNAME99");
    EXPECT_EQ(lib.Slide(0)->NameText(), "LONGNAME");
    lib.RenameSlide(0, "abc");
    EXPECT_EQ(lib.Slide(0)->Name[0], 3);
    EXPECT_EQ(lib.Slide(0)->NameText(), "abc");
    EXPECT_EQ(lib.Slide(0)->Name[4], 0);  // no trace of the longer name

    lib.SetSlideProperties(2, TSlideProps{28, 100, 7});
    EXPECT_EQ(lib.Slide(2)->Transition, 28);
    EXPECT_EQ(lib.Slide(2)->Speed, 100);
    EXPECT_EQ(lib.Slide(2)->Hold, 7);

    // A freed entry stays in the list without a slide and is not written.
    lib.FreeSlide(1);
    EXPECT_EQ(lib.SlideCount(), 3);
    EXPECT_EQ(lib.Slide(1), nullptr);
    lib.FreeSlide(1);  // nothing to free
    auto saved = lib.SaveToBytes();
    EXPECT_EQ(saved.size(), 1036u + 2 * 36);
    EXPECT_EQ(saved[4], 2);
    lib.RemoveSlide(1);
    EXPECT_EQ(lib.SaveToBytes(), saved);

    lib.ResetLibrary();
    EXPECT_EQ(lib.SlideCount(), 0);
    EXPECT_EQ(lib.SaveToBytes(), CrlBytes("CR10", 0, 0, NewPalette(), {}));
}

TEST(SlideList, SlideBitmapInfoShowsTheSlideThroughThePalette) {
    TIntroSlide s;
    s.Width = 5;
    s.Height = 3;
    TLibPalette pal = NewPalette();
    pal[0] = TLibPalEntry{9, 9, 9, 1};
    auto info = SlideBitmapInfo(s, pal);
    EXPECT_EQ(info->bmiHeader.biSize, 40u);
    EXPECT_EQ(info->bmiHeader.biWidth, 5);
    EXPECT_EQ(info->bmiHeader.biHeight, -3);
    EXPECT_EQ(info->bmiHeader.biPlanes, 1);
    EXPECT_EQ(info->bmiHeader.biBitCount, 8);
    EXPECT_EQ(info->bmiColors[0].rgbRed, 0);  // entry 0 always black
    EXPECT_EQ(info->bmiColors[249].rgbRed, 255);
}
