// The intro library model and its .CRL files.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <random>

#include "../bmputil/bmpfile.h"
#include "crlfile.h"
#include "qvx/intro/intro_library.h"
#include "toolkit/streams.h"

using namespace qvx;
using namespace testcrl;
using bmputil::TLibPalEntry;

namespace {

class IntroLib : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() / ("introlib_" + std::to_string(::getpid()));
        std::filesystem::remove_all(dir_);  // a stale folder of a reused process id
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string Path(const std::string& name) { return (dir_ / name).string(); }
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        tk::WriteFileBytes(Path(name), bytes.data(), bytes.size());
        return Path(name);
    }
    std::vector<uint8_t> Bytes(const std::string& name) { return tk::ReadFileBytes(Path(name)); }
    // The message a load fails with.
    static std::string LoadFailure(TIntroLibrary& lib, const std::string& file) {
        try {
            lib.LoadFromFile(file);
        } catch (const tk::Exception& e) {
            return e.Message();
        }
        return "(loaded)";
    }
    // Adds a bitmap file as the editor and qvxlib do.
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

}  // namespace

TEST_F(IntroLib, NewEmptyLibrarySavesTo1036Bytes) {
    TIntroLibrary lib;
    lib.SaveToFile(Path("empty.crl"));
    std::vector<uint8_t> b = Bytes("empty.crl");
    ASSERT_EQ(b.size(), 1036u);
    EXPECT_EQ(b, CrlBytes("CR10", 0, 0, NewPalette(), {}));
    EXPECT_EQ(b[12 + 3], 1);           // entry 0 used
    EXPECT_EQ(b[12 + 10 * 4 + 3], 0);  // entry 10 free
}

TEST_F(IntroLib, SlideRecordsAndPaddedRowsTakeTheirSize) {
    std::mt19937 rng(1);
    auto bytes =
        CrlBytes("CR10", 2, 0, NewPalette(), {Raw(5, 3, "FIVE", rng), Raw(4, 3, "FOUR", rng)});
    EXPECT_EQ(bytes.size(), 1036u + 56 + 44);
    TIntroLibrary lib;
    ASSERT_EQ(lib.LoadFromFile(Write("sizes.crl", bytes)), TLoadResult::Loaded);
    ASSERT_EQ(lib.SlideCount(), 2);
    EXPECT_EQ(lib.Slide(0)->Pixels.size(), 24u);
    EXPECT_EQ(lib.Slide(1)->Pixels.size(), 12u);
    EXPECT_EQ(lib.SaveToBytes(), bytes);
}

TEST_F(IntroLib, ReSavesAnOpenedFileByteForByte) {
    std::mt19937 rng(2);
    TLibPalette pal;
    for (auto& e : pal)
        e = TLibPalEntry{uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), uint8_t(rng() % 4)};
    std::vector<RawSlide> slides;
    for (int i = 0; i < 6; ++i) {
        RawSlide s =
            Raw(1 + static_cast<int>(rng() % 13), 1 + static_cast<int>(rng() % 5), "ABCDEFGH", rng);
        s.name[0] = static_cast<uint8_t>(rng() % 9);  // bytes past the length are kept too
        for (auto& p : s.pad1) p = uint8_t(rng());
        for (auto& p : s.pad2) p = uint8_t(rng());
        s.transition =
            static_cast<uint8_t>(rng());  // values outside the editor's ranges are taken as read
        s.speed = static_cast<int32_t>(rng());
        s.hold = -7;
        slides.push_back(s);
    }
    slides.push_back(Raw(0, 0, "", rng));
    auto bytes = CrlBytes("cr10", 7, 0x12345678, pal, slides);

    TIntroLibrary lib;
    ASSERT_EQ(lib.LoadFromFile(Write("in.crl", bytes)), TLoadResult::Loaded);
    EXPECT_EQ(lib.FileName(), Path("in.crl"));
    EXPECT_EQ(lib.Header().Reserved, 0x12345678);
    EXPECT_EQ(lib.Palette(), pal);
    ASSERT_EQ(lib.SlideCount(), 7);
    EXPECT_EQ(lib.Slide(0)->Transition, slides[0].transition);
    EXPECT_EQ(lib.Slide(0)->NameText(), std::string("ABCDEFGH").substr(0, slides[0].name[0]));

    // Saving writes over its own file and reproduces it exactly.
    lib.SaveToFile(lib.FileName());
    EXPECT_EQ(Bytes("in.crl"), bytes);
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);
}

TEST_F(IntroLib, MagicIsComparedWithoutCase) {
    for (const char* magic : {"CR10", "cr10", "Cr10"}) {
        TIntroLibrary lib;
        auto bytes = CrlBytes(magic, 0, 3, NewPalette(), {});
        EXPECT_EQ(lib.LoadFromFile(Write("m.crl", bytes)), TLoadResult::Loaded) << magic;
        EXPECT_EQ(lib.SaveToBytes(), bytes);  // the magic is written back as read
    }
}

TEST_F(IntroLib, RejectedFileLeavesAnEmptyUnnamedLibrary) {
    // (The editor asks for a name before a save while the library has none,
    // so nothing can be written over the rejected file: tests/slideshelf.)
    std::mt19937 rng(3);
    auto bad = CrlBytes("CRL0", 1, 99, TLibPalette{}, {Raw(4, 4, "X", rng)});
    TIntroLibrary lib;
    ASSERT_EQ(AddFile(lib,
                      [&] {
                          testbmp::BmpSpec s;
                          s.width = s.height = 2;
                          s.pixels = {1, 1, 1, 1};
                          s.table = {{}, {9, 9, 9}};
                          return Write("a.bmp", testbmp::MakeBmp(s));
                      }()),
              0);
    lib.SetFileName(Path("old.crl"));

    EXPECT_EQ(lib.LoadFromFile(Write("bad.crl", bad)), TLoadResult::InvalidMagic);
    EXPECT_EQ(lib.SlideCount(), 0);
    EXPECT_EQ(lib.FileName(), "");
    EXPECT_EQ(lib.SaveToBytes(), CrlBytes("CR10", 0, 0, NewPalette(), {}));
    EXPECT_EQ(Bytes("bad.crl"), bad);
}

TEST_F(IntroLib, CountFollowsTheSlidesActuallyRead) {
    std::mt19937 rng(4);
    // Count 0 and negative counts: no slides, palette and reserved kept.
    TLibPalette pal = NewPalette();
    pal[77] = TLibPalEntry{1, 2, 3, 1};
    for (int32_t count : {0, -1, INT32_MIN}) {
        auto bytes = CrlBytes("CR10", count, 5, pal, {Raw(4, 1, "EXTRA", rng)});
        TIntroLibrary lib;
        ASSERT_EQ(lib.LoadFromFile(Write("n.crl", bytes)), TLoadResult::Loaded);
        EXPECT_EQ(lib.SlideCount(), 0);
        EXPECT_EQ(lib.Header().Count, 0);
        EXPECT_EQ(lib.Header().Reserved, 5);
        EXPECT_EQ(lib.Palette(), pal);
        EXPECT_EQ(lib.SaveToBytes(), CrlBytes("CR10", 0, 5, pal, {}));
    }
    // Three slides promised, the file ends inside the third: two stay.
    auto bytes = CrlBytes("CR10", 3, 0, pal,
                          {Raw(5, 3, "ONE", rng), Raw(6, 2, "TWO", rng), Raw(8, 8, "THREE", rng)});
    for (size_t cut : {size_t(30), size_t(20)}) {
        std::vector<uint8_t> shortFile(bytes.begin(), bytes.end() - static_cast<long>(cut));
        TIntroLibrary lib;
        EXPECT_EQ(LoadFailure(lib, Write("short.crl", shortFile)), "Read beyond end of file");
        EXPECT_EQ(lib.SlideCount(), 2);
        EXPECT_EQ(lib.Header().Count, 2);
        EXPECT_EQ(lib.Slide(1)->NameText(), "TWO");
        EXPECT_EQ(lib.FileName(), Path("short.crl"));
        auto saved = lib.SaveToBytes();
        EXPECT_EQ(saved.size(), 1036u + 56 + 48);
        int32_t savedCount;
        std::memcpy(&savedCount, &saved[4], 4);
        EXPECT_EQ(savedCount, 2);
    }
}

TEST_F(IntroLib, DamagedFilesFailWithTheFileLayersMessages) {
    std::mt19937 rng(5);
    TIntroLibrary lib;
    EXPECT_EQ(LoadFailure(lib, Path("missing.crl")), "File not found");
    EXPECT_EQ(lib.FileName(), "");

    // Shorter than the header: nothing taken, not even the name.
    auto header = CrlBytes("CR10", 0, 0, NewPalette(), {});
    header.resize(1000);
    lib.SetFileName("before");
    EXPECT_EQ(LoadFailure(lib, Write("h.crl", header)), "Read beyond end of file");
    EXPECT_EQ(lib.FileName(), "");
    EXPECT_EQ(lib.SlideCount(), 0);

    // Dimensions larger than the file could hold are refused before any
    // allocation; negative sizes too.
    RawSlide huge = Raw(1, 1, "HUGE", rng);
    huge.width = 2000000000;
    huge.height = 2000000000;
    EXPECT_EQ(LoadFailure(lib, Write("huge.crl", CrlBytes("CR10", 1, 0, NewPalette(), {huge}))),
              "Read beyond end of file");
    RawSlide negative = Raw(1, 1, "NEG", rng);
    negative.height = -3;
    EXPECT_EQ(LoadFailure(lib, Write("neg.crl", CrlBytes("CR10", 1, 0, NewPalette(), {negative}))),
              "Out of memory");
    EXPECT_EQ(lib.SlideCount(), 0);
    EXPECT_EQ(lib.Header().Count, 0);

    // Bytes in memory behave the same.
    TIntroLibrary mem;
    std::vector<uint8_t> cut = CrlBytes("CR10", 1, 0, NewPalette(), {Raw(4, 4, "M", rng)});
    cut.pop_back();
    EXPECT_THROW(mem.LoadFromBytes(cut), tk::EInOutError);
    EXPECT_EQ(mem.SlideCount(), 0);
}

TEST_F(IntroLib, NamesOfEightCharactersRoundTripAndLongerLengthsAreCut) {
    std::mt19937 rng(6);
    RawSlide eight = Raw(4, 1, "SUNSET01", rng);
    RawSlide tooLong = Raw(4, 1, "ABCDEFGH", rng);
    tooLong.name[0] = 200;
    tooLong.pad2[0] = 'Z';  // the byte after the name field
    auto bytes = CrlBytes("CR10", 2, 0, NewPalette(), {eight, tooLong});
    TIntroLibrary lib;
    ASSERT_EQ(lib.LoadFromBytes(bytes), TLoadResult::Loaded);
    EXPECT_EQ(lib.Slide(0)->NameText(), "SUNSET01");
    EXPECT_EQ(lib.Slide(1)->NameText(), "ABCDEFGH");
    auto saved = lib.SaveToBytes();
    EXPECT_EQ(saved[1036 + 20], 8);         // 8-character name unchanged
    EXPECT_EQ(saved[1036 + 36 + 20], 8);    // length cut to 8 on reading
    EXPECT_EQ(saved[1036 + 36 + 29], 'Z');  // padding untouched
    bytes[1036 + 36 + 20] = 8;
    EXPECT_EQ(saved, bytes);
}

TEST_F(IntroLib, SavedFilesKeepTheirNameAndANewLibraryIsItsHeader) {
    // (Asking for a name, and Save As, are the editor's: tests/slideshelf.)
    TIntroLibrary lib;
    EXPECT_EQ(lib.FileName(), "");
    lib.SetFileName(Path("new.crl"));
    lib.SaveToFile(lib.FileName());
    EXPECT_EQ(lib.FileName(), Path("new.crl"));
    EXPECT_EQ(Bytes("new.crl").size(), 1036u);
    lib.SaveToFile(Path("other.crl"));
    EXPECT_EQ(lib.FileName(), Path("new.crl"));
    EXPECT_EQ(Bytes("other.crl"), Bytes("new.crl"));
}

TEST_F(IntroLib, FailedSaveKeepsTheFileItWasReplacing) {
    std::mt19937 rng(7);
    auto original = CrlBytes("CR10", 1, 0, NewPalette(), {Raw(40, 40, "OLD", rng)});
    Write("keep.crl", original);
    TIntroLibrary lib;
    ASSERT_EQ(lib.LoadFromBytes(CrlBytes("CR10", 1, 0, NewPalette(), {Raw(200, 200, "BIG", rng)})),
              TLoadResult::Loaded);

    // Files may not grow beyond 8 KiB for this save: the write fails.
    struct rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 8192;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string message;
    try {
        lib.SaveToFile(Path("keep.crl"));
    } catch (const tk::Exception& e) {
        message = e.Message();
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(message, "Disk full");
    EXPECT_EQ(Bytes("keep.crl"), original);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);
}

TEST(IntroLibNames, SlideNameFromPath) {
    EXPECT_EQ(SlideNameFromPath("C:\\PICS\\SUNSET01.BMP"), "SUNSET01");
    EXPECT_EQ(SlideNameFromPath("/home/me/pics/SUNSET01.BMP"), "SUNSET01");
    EXPECT_EQ(SlideNameFromPath("/tmp/title.screen.bmp"), "title.sc");
    EXPECT_EQ(SlideNameFromPath("D:x.bmp"), "x");
    EXPECT_EQ(SlideNameFromPath("/a.dir/noext"), "noext");
    EXPECT_EQ(SlideNameFromPath("/tmp/.bmp"), "");
    EXPECT_EQ(SlideNameFromPath("averylongname.bmp"), "averylon");
    // One byte a character: Latin-1 letters stay, others become "?".
    EXPECT_EQ(SlideNameFromPath("/p/\xC3\x9C"
                                "ber.bmp"),
              "\xDC"
              "ber");
    EXPECT_EQ(SlideNameFromPath("/p/\xE6\x97\xA5\xE6\x9C\xAC"
                                "12345678.bmp"),
              "??123456");
}

TEST(IntroLibNames, TransitionTable) {
    ASSERT_EQ(TransitionNames.size(), 29u);
    EXPECT_STREQ(TransitionNames[0], "No Transition Effect");
    EXPECT_STREQ(TransitionNames[13], "Scrollright");
    EXPECT_STREQ(TransitionNames[22], "DiagonalBottomleft");
    EXPECT_STREQ(TransitionNames[28], "FollowMe");
    EXPECT_EQ(TransitionIndex("curtains"), 6);
    EXPECT_EQ(TransitionIndex("SCROLLRIGHT"), 13);
    EXPECT_EQ(TransitionIndex("Curtain"), std::nullopt);
}
