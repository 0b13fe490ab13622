// Palette files of other tools: the bytes each format is written as, round
// trips through files, and what a malformed file is told with.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "qvx/intro/palette_file.h"
#include "toolkit/streams.h"
#include "toolkit/sysutils.h"

using namespace qvx;
namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

const std::vector<TRgb> kThree = {{0, 0, 0}, {255, 128, 1}, {16, 32, 48}};

class PaletteFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("palettefile_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    std::string Write(const std::string& name, const Bytes& bytes) {
        tk::WriteFileBytes(Path(name), bytes.data(), bytes.size());
        return Path(name);
    }
    fs::path dir_;
};

}  // namespace

TEST(PaletteFormats, EachFormatIsWrittenAsOtherToolsWriteIt) {
    EXPECT_EQ(WritePalette(TPaletteFormat::Gpl, kThree, "Sunset"),
              Text("GIMP Palette\nName: Sunset\nColumns: 16\n#\n"
                   "  0   0   0\tIndex 0\n255 128   1\tIndex 1\n 16  32  48\tIndex 2\n"));
    EXPECT_EQ(WritePalette(TPaletteFormat::Jasc, kThree, ""),
              Text("JASC-PAL\r\n0100\r\n3\r\n0 0 0\r\n255 128 1\r\n16 32 48\r\n"));

    // Fewer than 256 colours: the 772-byte table with its big-endian count
    // and no transparent index.
    Bytes act(772, 0);
    for (size_t i = 0; i < kThree.size(); ++i) {
        act[i * 3] = kThree[i].Red;
        act[i * 3 + 1] = kThree[i].Green;
        act[i * 3 + 2] = kThree[i].Blue;
    }
    act[768] = 0, act[769] = 3, act[770] = 0xFF, act[771] = 0xFF;
    EXPECT_EQ(WritePalette(TPaletteFormat::Act, kThree, ""), act);
    EXPECT_EQ(WritePalette(TPaletteFormat::Act, std::vector<TRgb>(256), "").size(), 768u);

    Bytes riff = Text("RIFF");
    for (uint8_t b : {28, 0, 0, 0}) riff.push_back(b);  // "PAL " + data header + 4 + 3 x 4
    for (char c : std::string("PAL data")) riff.push_back(static_cast<uint8_t>(c));
    for (uint8_t b : {16, 0, 0, 0, 0x00, 0x03, 3, 0, 0, 0, 0, 0, 255, 128, 1, 0, 16, 32, 48, 0}) riff.push_back(b);
    EXPECT_EQ(WritePalette(TPaletteFormat::Riff, kThree, ""), riff);
}

TEST_F(PaletteFiles, ExportThenImportGivesTheSamePaletteInEveryFormat) {
    // Used entries 0-199 of varied colours; 200-255 free, as a library whose
    // matcher has room left.
    bmputil::TLibPalette palette{};
    for (int i = 0; i < 200; ++i)
        palette[static_cast<size_t>(i)] = {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                                           static_cast<uint8_t>(i * 7), 1};
    for (auto [name, format] : {std::pair{"a.gpl", TPaletteFormat::Gpl}, {"a.pal", TPaletteFormat::Jasc},
                                {"r.pal", TPaletteFormat::Riff}, {"a.act", TPaletteFormat::Act}}) {
        ExportPaletteFile(palette, Path(name), format);
        bmputil::TLibPalette back;
        back.fill({9, 9, 9, 1});
        ImportPaletteFile(back, Path(name));
        EXPECT_EQ(back, palette) << name;
    }
    // The extension tells the format when none is given.
    ExportPaletteFile(palette, Path("b.act"));
    EXPECT_EQ(tk::ReadFileBytes(Path("b.act")), tk::ReadFileBytes(Path("a.act")));
    EXPECT_THROW(ExportPaletteFile(palette, Path("b.txt")), tk::Exception);
}

TEST_F(PaletteFiles, AMalformedFileIsNamedWithItsLineOrOffsetAndChangesNothing) {
    Bytes act(772, 0);  // count 0 at offset 768
    Bytes cutRiff = WritePalette(TPaletteFormat::Riff, kThree, "");
    cutRiff.resize(cutRiff.size() - 5);
    const std::vector<std::pair<std::string, Bytes>> cases = {
        {"bad.gpl", Text("GIMP Palette\nName: x\n#\n0 0 0\n1 2 300\n")},
        {"short.pal", Text("JASC-PAL\r\n0100\r\n4\r\n0 0 0\r\n1 1 1\r\n")},
        {"count.pal", Text("JASC-PAL\r\n0100\r\n999\r\n")},
        {"size.act", Bytes(700, 1)},
        {"count.act", act},
        {"cut.pal", cutRiff},
    };
    const std::vector<std::string> where = {": line 5: ", ": line 6: ", ": line 3: ", ": offset 0: ", ": offset 768: ",
                                            ": offset 24: "};
    for (size_t i = 0; i < cases.size(); ++i) {
        const std::string file = Write(cases[i].first, cases[i].second);
        bmputil::TLibPalette palette;
        bmputil::ResetPalette(palette, true);
        const bmputil::TLibPalette before = palette;
        try {
            ImportPaletteFile(palette, file);
            ADD_FAILURE() << cases[i].first << " was accepted";
        } catch (const tk::Exception& e) {
            EXPECT_EQ(std::string(e.what()).rfind(file + where[i], 0), 0u) << e.what();
        }
        EXPECT_EQ(palette, before) << cases[i].first;
    }
}
