// qvxlib create iml: 8-bit bitmaps matched into one shared palette.
#include <array>

#include "assetbytes.h"
#include "runtool.h"

using namespace assetbytes;
using runtool::ReadBytes;
using runtool::Result;
using runtool::WriteBytes;

namespace {

using Rgb = std::array<uint8_t, 3>;

// An 8-bit bitmap file, rows stored bottom to top; `rows` top first, each
// row given with its pad bytes.
Bytes Bmp8(int w, int h, const std::vector<Rgb>& colors, const std::vector<Bytes>& rows, uint16_t bits = 8) {
    const int stride = Stride(w);
    Bytes b;
    PutStr(b, "BM", 2);
    Put32(b, 14 + 40 + 4 * static_cast<int32_t>(colors.size()) + stride * h);
    Put32(b, 0);
    Put32(b, 14 + 40 + 4 * static_cast<int32_t>(colors.size()));
    Put32(b, 40);
    Put32(b, w);
    Put32(b, h);
    Put16(b, 1);
    Put16(b, bits);
    Put32(b, 0);
    Put32(b, stride * h);
    Put32(b, 0), Put32(b, 0);
    Put32(b, static_cast<int32_t>(colors.size()));
    Put32(b, 0);
    for (const Rgb& c : colors) b.insert(b.end(), {c[2], c[1], c[0], 0});
    for (int y = h - 1; y >= 0; --y) b.insert(b.end(), rows[static_cast<size_t>(y)].begin(), rows[static_cast<size_t>(y)].end());
    return b;
}

class CreateIml : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = (std::filesystem::temp_directory_path() /
                ("qvxlib_create_iml_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name()))
                   .string();
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string P(const std::string& name) const { return dir_ + "/" + name; }
    Result Run(const std::vector<std::string>& args) const { return runtool::Run(args, dir_); }
    std::string dir_;
};

}  // namespace

TEST_F(CreateIml, ColoursShareOnePaletteAndIndexZeroStaysTransparent) {
    // Two bitmaps with different colour tables that share red.
    const Rgb magenta{255, 0, 255}, red{200, 0, 0}, blue{0, 0, 200}, green{0, 180, 0};
    WriteBytes(P("first.bmp"), Bmp8(3, 2, {magenta, red, blue}, {{1, 2, 0, 0x77}, {2, 2, 1, 0x78}}));
    WriteBytes(P("second-with-a-long-name.bmp"), Bmp8(2, 1, {green, green, red}, {{2, 0, 0x11, 0x12}}));
    Result r = Run({"create", "iml", P("a.iml"), P("first.bmp"), P("second-with-a-long-name.bmp")});
    ASSERT_EQ(r.status, 0) << r.err;

    Bytes expect = ImlHeader("IL10", 2);
    std::fill(expect.begin() + 12, expect.end(), 0);
    // Entry 0: the first bitmap's colour 0; then colours in the order pixels first use them.
    const Rgb entries[] = {magenta, red, blue};
    for (int i = 0; i < 3; ++i)
        for (int c = 0; c < 3; ++c) expect[12 + 4 * i + c] = entries[i][c];
    Put32(expect, 3), Put32(expect, 2), PutName(expect, "first", 12);
    expect.insert(expect.end(), {1, 2, 0, 0x77, 2, 2, 1, 0x78});  // pad bytes as the bitmap has them
    Put32(expect, 2), Put32(expect, 1), PutName(expect, "second-with", 12);
    expect.insert(expect.end(), {1, 0, 0x11, 0x12});  // red is entry 1; index 0 stays 0
    EXPECT_EQ(ReadBytes(P("a.iml")), expect);

    // Extracting that library and creating it again gives the same file.
    ASSERT_EQ(Run({"extract", P("a.iml"), P("out")}).status, 0);
    r = Run({"create", "iml", P("b.iml"), P("out/000_first.bmp"), P("out/001_second-with.bmp")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadBytes(P("b.iml")), expect);
}

TEST_F(CreateIml, ExtractThenCreateKeepsEveryPixelsColour) {
    // A library whose palette is not in first-use order: colours, names,
    // sizes and pad bytes survive; indices may be renumbered.
    Bytes lib = ImlHeader("IL10", 2);
    ImlImage(lib, 5, 3, "five", 40);
    ImlImage(lib, 2, 2, "two", 200);
    WriteBytes(P("a.iml"), lib);
    ASSERT_EQ(Run({"extract", P("a.iml"), P("out")}).status, 0);
    Result r = Run({"create", "iml", P("b.iml"), P("out/000_five.bmp"), P("out/001_two.bmp")});
    ASSERT_EQ(r.status, 0) << r.err;
    Bytes made = ReadBytes(P("b.iml"));
    ASSERT_EQ(made.size(), lib.size());
    auto color = [](const Bytes& b, uint8_t index) {
        return Rgb{b[12 + 4 * index], b[12 + 4 * index + 1], b[12 + 4 * index + 2]};
    };
    size_t pos = 1036;
    for (int w : {5, 2}) {
        int h = w == 5 ? 3 : 2;
        EXPECT_TRUE(std::equal(lib.begin() + pos, lib.begin() + pos + 20, made.begin() + pos));
        pos += 20;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < Stride(w); ++x, ++pos) {
                if (x >= w) {
                    EXPECT_EQ(made[pos], lib[pos]);  // pad byte
                } else if (lib[pos] == 0) {
                    EXPECT_EQ(made[pos], 0);
                } else {
                    EXPECT_EQ(color(made, made[pos]), color(lib, lib[pos])) << w << " " << x << "," << y;
                }
            }
    }
}

TEST_F(CreateIml, RefusesWhatIsNotAnUncompressedEightBitBitmap) {
    WriteBytes(P("four.bmp"), Bmp8(2, 1, {{0, 0, 0}}, {{0, 0, 0, 0}}, 4));
    Result r = Run({"create", "iml", P("a.iml"), P("four.bmp")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.LastErrorLine(), P("four.bmp") + ": The image must be an 8bpp (256 color) image");
    WriteBytes(P("text.bmp"), Bytes{'h', 'i', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    r = Run({"create", "iml", P("a.iml"), P("text.bmp")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.LastErrorLine(), P("text.bmp") + ": Not a valid bitmap file");
    EXPECT_FALSE(std::filesystem::exists(P("a.iml")));
    EXPECT_EQ(Run({"create", "iml", P("a.iml"), P("one.bmp"), "--name", "x", "--name", "y"}).status, 2);
}
