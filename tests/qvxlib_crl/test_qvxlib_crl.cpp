// qvxlib on intro libraries, run as the built program.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "../bmputil/bmpfile.h"
#include "../crl/crlfile.h"
#include "qvx/intro/intro_library.h"
#include "toolkit/streams.h"

using namespace qvx;
using namespace testcrl;
namespace fs = std::filesystem;

namespace {

struct Outcome {
    int code = -1;
    std::string out, err;
};

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string Slurp(const fs::path& p) {
    if (!fs::exists(p)) return {};
    auto b = tk::ReadFileBytes(p.string());
    return std::string(b.begin(), b.end());
}

class Qvxlib : public ::testing::Test {
protected:
    void SetUp() override {
        const char* build = std::getenv("QVX_BUILD_DIR");
        ASSERT_NE(build, nullptr) << "QVX_BUILD_DIR is set by ctest";
        exe_ = fs::path(build) / "tools/qvxlib/qvxlib";
        ASSERT_TRUE(fs::exists(exe_)) << exe_;
        dir_ = fs::temp_directory_path() / ("qvxlib_crl_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    Outcome Qvx(const std::vector<std::string>& args) {
        std::string cmd = Quote(exe_.string());
        for (auto& a : args) cmd += " " + Quote(a);
        cmd += " >" + Quote((dir_ / "stdout").string()) + " 2>" + Quote((dir_ / "stderr").string());
        int status = std::system(cmd.c_str());
        Outcome r;
        r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = Slurp(dir_ / "stdout");
        r.err = Slurp(dir_ / "stderr");
        return r;
    }
    std::string P(const std::string& name) { return (dir_ / name).string(); }
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        tk::WriteFileBytes(P(name), bytes.data(), bytes.size());
        return P(name);
    }
    std::vector<uint8_t> Bytes(const std::string& name) { return tk::ReadFileBytes(P(name)); }

    // Three bitmaps sharing some colours, one stored bottom-up.
    std::vector<std::string> Bitmaps() {
        std::mt19937 rng(11);
        std::vector<std::string> files;
        const char* names[] = {"SUNSET01.BMP", "title.screen.bmp", "logo.bmp"};
        for (int k = 0; k < 3; ++k) {
            testbmp::BmpSpec s;
            s.width = 5 + k * 3;
            s.height = 4 + k;
            s.topDown = k == 1;
            for (int i = 0; i < 60; ++i)
                s.table.push_back(
                    {uint8_t(i * 4), uint8_t(rng() % 4 * 80), uint8_t(k * 50 + i % 3)});
            for (int i = 0; i < s.width * s.height; ++i)
                s.pixels.push_back(static_cast<uint8_t>(rng() % 60));
            files.push_back(Write(names[k], testbmp::MakeBmp(s)));
        }
        return files;
    }

    fs::path exe_, dir_;
};

// What the editor makes of the same files: each added in turn with the
// current transition, speed and hold.
std::vector<uint8_t> ModelLibrary(const std::vector<std::string>& files, TSlideProps props,
                                  bool batch) {
    TIntroLibrary lib;
    for (auto& f : files) {
        std::unique_ptr<bmputil::TBitmapInfo> info;
        tk::TBytes pixels;
        size_t ps, is;
        bmputil::ReadBitmapFile(f, info, pixels, ps, is);
        lib.AddBitmap(SlideNameFromPath(f), *info, pixels, props,
                      batch ? std::optional<uint8_t>(0) : std::nullopt);
    }
    return lib.SaveToBytes();
}

}  // namespace

TEST_F(Qvxlib, CreateWritesWhatTheEditorWrites) {
    auto files = Bitmaps();
    std::vector<std::string> args = {"create", "crl", P("a.crl")};
    args.insert(args.end(), files.begin(), files.end());
    Outcome r = Qvx(args);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Bytes("a.crl"), ModelLibrary(files, TSlideProps{}, false));

    args[2] = P("b.crl");
    for (std::string a : {"--transition", "curtains", "--speed", "7", "--hold", "3", "--batch"})
        args.push_back(a);
    ASSERT_EQ(Qvx(args).code, 0);
    auto batch = ModelLibrary(files, TSlideProps{6, 7, 3}, true);
    EXPECT_EQ(Bytes("b.crl"), batch);
    EXPECT_NE(batch, Bytes("a.crl"));

    args[2] = P("c.crl");
    args[args.size() - 6] = "6";  // the transition by number
    ASSERT_EQ(Qvx(args).code, 0);
    EXPECT_EQ(Bytes("c.crl"), batch);

    // No bitmaps: the new, empty library.
    ASSERT_EQ(Qvx({"create", "crl", P("empty.crl")}).code, 0);
    EXPECT_EQ(Bytes("empty.crl"), CrlBytes("CR10", 0, 0, NewPalette(), {}));
}

TEST_F(Qvxlib, CreateTakesSlidePropertiesOncePerBitmap) {
    auto files = Bitmaps();
    std::vector<std::string> args = {"create", "crl", P("p.crl"), files[0], files[1], files[2],
                                     "--transition", "Drip", "--transition", "0", "--transition", "FollowMe",
                                     "--speed", "9", "--hold", "1", "--hold", "2", "--hold", "3"};
    Outcome r = Qvx(args);
    ASSERT_EQ(r.code, 0) << r.err;
    TIntroLibrary lib;
    lib.LoadFromFile(P("p.crl"));
    ASSERT_EQ(lib.SlideCount(), 3);
    const int expected[3][3] = {{17, 9, 1}, {0, 9, 2}, {28, 9, 3}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(lib.Slide(i)->Transition, expected[i][0]) << i;
        EXPECT_EQ(lib.Slide(i)->Speed, expected[i][1]) << i;
        EXPECT_EQ(lib.Slide(i)->Hold, expected[i][2]) << i;
    }
    args.resize(args.size() - 2);  // two holds for three bitmaps
    args[2] = P("q.crl");
    r = Qvx(args);
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("--hold is given once for every bitmap or once per bitmap (3), not 2 times"), std::string::npos)
        << r.err;
}

TEST_F(Qvxlib, CreateRefusesBadArgumentsAndBadBitmaps) {
    auto files = Bitmaps();
    for (std::vector<std::string> bad : {std::vector<std::string>{"--speed", "0"},
                                         {"--speed", "101"},
                                         {"--hold", "-1"},
                                         {"--transition", "29"},
                                         {"--transition", "Sideways"},
                                         {"--speed", "x"}}) {
        std::vector<std::string> args = {"create", "crl", P("x.crl"), files[0]};
        args.insert(args.end(), bad.begin(), bad.end());
        EXPECT_EQ(Qvx(args).code, 2) << bad[0] << " " << bad[1];
        EXPECT_FALSE(fs::exists(P("x.crl")));
    }
    testbmp::BmpSpec rgb;
    rgb.width = rgb.height = 2;
    rgb.pixels = {0, 0, 0, 0};
    rgb.bitCount = 24;
    std::string rgbFile = Write("rgb.bmp", testbmp::MakeBmp(rgb));
    Write("x.crl", {1, 2, 3});
    Outcome r = Qvx({"create", "crl", P("x.crl"), files[0], rgbFile});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, rgbFile + ": The image must be an 8bpp (256 color) image\n");
    EXPECT_EQ(Bytes("x.crl"), (std::vector<uint8_t>{1, 2, 3}));  // untouched
}

TEST_F(Qvxlib, InfoJsonDescribesHeaderPaletteAndSlides) {
    std::mt19937 rng(12);
    TLibPalette pal = NewPalette();
    pal[100] = TLibPalEntry{1, 2, 3, 7};
    RawSlide a = Raw(5, 3, "SUNSET01", rng), b = Raw(4, 2, "q\"\xE9", rng);
    a.transition = 28;
    a.speed = 42;
    a.hold = 9;
    b.transition = 200;
    std::string file = Write("i.crl", CrlBytes("cr10", 2, -5, pal, {a, b}));
    Outcome r = Qvx({"info", file, "--json"});
    ASSERT_EQ(r.code, 0) << r.err;
    QJsonParseError perr;
    QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(r.out), &perr);
    ASSERT_EQ(perr.error, QJsonParseError::NoError) << r.out;
    QJsonObject o = doc.object();
    EXPECT_EQ(o["kind"].toString(), "crl");
    EXPECT_EQ(o["count"].toInt(), 2);
    EXPECT_EQ(o["reserved"].toInt(), -5);
    QJsonArray palette = o["palette"].toArray();
    ASSERT_EQ(palette.size(), 256);
    EXPECT_EQ(palette[100].toArray(), (QJsonArray{1, 2, 3, 7}));
    EXPECT_EQ(palette[255].toArray(), (QJsonArray{255, 255, 255, 1}));
    QJsonArray items = o["items"].toArray();
    ASSERT_EQ(items.size(), 2);
    QJsonObject s0 = items[0].toObject(), s1 = items[1].toObject();
    EXPECT_EQ(s0["index"].toInt(), 0);
    EXPECT_EQ(s0["name"].toString(), "SUNSET01");
    EXPECT_EQ(s0["transition"].toInt(), 28);
    EXPECT_EQ(s0["speed"].toInt(), 42);
    EXPECT_EQ(s0["hold"].toInt(), 9);
    EXPECT_EQ(s0["width"].toInt(), 5);
    EXPECT_EQ(s0["height"].toInt(), 3);
    auto sha = [](const std::vector<uint8_t>& p) {
        return QCryptographicHash::hash(
                   QByteArray(reinterpret_cast<const char*>(p.data()), qsizetype(p.size())),
                   QCryptographicHash::Sha256)
            .toHex()
            .toStdString();
    };
    EXPECT_EQ(s0["pixels_sha256"].toString().toStdString(), sha(a.pixels));  // padding included
    EXPECT_EQ(s1["pixels_sha256"].toString().toStdString(), sha(b.pixels));
    EXPECT_EQ(s1["name"].toString(), QString::fromUtf8("q\"\xC3\xA9"));  // one byte a character
    EXPECT_EQ(s1["transition"].toInt(), 200);

    Outcome table = Qvx({"info", file});
    EXPECT_EQ(table.code, 0);
    EXPECT_NE(table.out.find("SUNSET01"), std::string::npos);
    EXPECT_NE(table.out.find("FollowMe"), std::string::npos);
}

TEST_F(Qvxlib, RoundtripIsByteExactAndRejectsOtherFiles) {
    std::mt19937 rng(13);
    RawSlide a = Raw(7, 3, "PADDED", rng);
    for (auto& p : a.pad1) p = 0xEE;
    a.name[8] = 'x';  // beyond the name's length
    auto bytes = CrlBytes("Cr10", 1, 77, NewPalette(), {a});
    ASSERT_EQ(Qvx({"roundtrip", Write("r.crl", bytes), P("r2.crl")}).code, 0);
    EXPECT_EQ(Bytes("r2.crl"), bytes);

    auto notCrl = CrlBytes("CR11", 0, 0, NewPalette(), {});
    Outcome r = Qvx({"roundtrip", Write("n.crl", notCrl), P("n2.crl"), "--kind", "crl"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, P("n.crl") +
                         ": this is not an intro screen library (.CRL, starting \"CR10\"): Invalid "
                         "Image Library\n");
    EXPECT_FALSE(fs::exists(P("n2.crl")));

    bytes.resize(bytes.size() - 1);
    r = Qvx({"roundtrip", Write("t.crl", bytes), P("t2.crl")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(
        r.err,
        P("t.crl") +
            ": slide 0 \"PADDED\": The pixel block of 7 x 3 needs 24 bytes; 23 remain at offset "
            "1068: Read beyond end of file\n");
    EXPECT_FALSE(fs::exists(P("t2.crl")));
}

TEST_F(Qvxlib, ExtractedBitmapsRebuildTheSameSlides) {
    auto files = Bitmaps();
    std::vector<std::string> args = {"create", "crl", P("a.crl")};
    args.insert(args.end(), files.begin(), files.end());
    ASSERT_EQ(Qvx(args).code, 0);
    Outcome r = Qvx({"extract", P("a.crl"), P("out")});
    ASSERT_EQ(r.code, 0) << r.err;

    TIntroLibrary original;
    ASSERT_EQ(original.LoadFromFile(P("a.crl")), TLoadResult::Loaded);
    std::vector<std::string> extracted;
    for (int i = 0; i < original.SlideCount(); ++i) {
        const TIntroSlide& s = *original.Slide(i);
        std::string f = P("out/" +
                          std::string(i == 0   ? "000_SUNSET01"
                                      : i == 1 ? "001_title.sc"
                                               : "002_logo") +
                          ".bmp");
        ASSERT_TRUE(fs::exists(f)) << f;
        std::unique_ptr<bmputil::TBitmapInfo> info;
        tk::TBytes pixels;
        size_t ps, is;
        bmputil::ReadBitmapFile(f, info, pixels, ps, is);
        EXPECT_EQ(pixels, s.Pixels);  // rows as stored, padding included
        EXPECT_EQ(info->bmiHeader.biWidth, s.Width);
        EXPECT_EQ(info->bmiHeader.biHeight, -s.Height);
        for (int c = 0; c < 256; ++c) {
            EXPECT_EQ(info->bmiColors[c].rgbRed, original.Palette()[c].Red);
            EXPECT_EQ(info->bmiColors[c].rgbBlue, original.Palette()[c].Blue);
        }
        extracted.push_back(f);
    }
    // Matching the extracted bitmaps into a new library finds the same
    // indices in the same order.
    args = {"create", "crl", P("b.crl")};
    args.insert(args.end(), extracted.begin(), extracted.end());
    ASSERT_EQ(Qvx(args).code, 0);
    TIntroLibrary rebuilt;
    ASSERT_EQ(rebuilt.LoadFromFile(P("b.crl")), TLoadResult::Loaded);
    EXPECT_EQ(rebuilt.Palette(), original.Palette());
    for (int i = 0; i < original.SlideCount(); ++i)
        EXPECT_EQ(rebuilt.Slide(i)->Pixels, original.Slide(i)->Pixels);
}

TEST_F(Qvxlib, PalettesGoOutAndComeBackAndStartNewLibraries) {
    auto files = Bitmaps();
    ASSERT_EQ(Qvx({"create", "crl", P("a.crl"), files[0], files[1]}).code, 0);
    TIntroLibrary original;
    original.LoadFromFile(P("a.crl"));

    // Exported, edited elsewhere (entry 12 recoloured), imported in place
    // of the old palette: the slides stay, the palette is the file's.
    Outcome r = Qvx({"palette", "export", P("a.crl"), P("a.gpl")});
    ASSERT_EQ(r.code, 0) << r.err;
    std::string text = Slurp(dir_ / "a.gpl");
    const std::string from = "\tIndex 12\n", to = "1 2 3\tIndex 12\n";
    const size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos);
    text.replace(text.rfind('\n', at) + 1, at + from.size() - text.rfind('\n', at) - 1, to);
    Write("edited.gpl", std::vector<uint8_t>(text.begin(), text.end()));
    ASSERT_EQ(Qvx({"palette", "import", P("a.crl"), P("edited.gpl"), P("b.crl")}).code, 0);
    TIntroLibrary edited;
    edited.LoadFromFile(P("b.crl"));
    EXPECT_EQ(edited.SlideCount(), 2);
    EXPECT_EQ(edited.Palette()[12], (TLibPalEntry{1, 2, 3, 1}));
    EXPECT_EQ(edited.Slide(1)->Pixels, original.Slide(1)->Pixels);

    // A bad palette file changes nothing and says where it went wrong.
    Write("bad.pal", {'J', 'A', 'S', 'C', '-', 'P', 'A', 'L', '\n', '0', '1', '0', '0', '\n', 'x', '\n'});
    const auto before = Bytes("a.crl");
    r = Qvx({"palette", "import", P("a.crl"), P("bad.pal")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find(P("bad.pal") + ": line 3: "), std::string::npos) << r.err;
    EXPECT_EQ(Bytes("a.crl"), before);

    // A new library starts from a palette file instead of the system colours.
    ASSERT_EQ(Qvx({"create", "crl", P("c.crl"), files[2], "--palette", P("edited.gpl")}).code, 0);
    TIntroLibrary started;
    started.LoadFromFile(P("c.crl"));
    EXPECT_EQ(started.Palette()[12], (TLibPalEntry{1, 2, 3, 1}));
    EXPECT_EQ(started.SlideCount(), 1);
}

TEST_F(Qvxlib, VerifyNamesTheSlideWhereAFileBreaks) {
    auto files = Bitmaps();
    ASSERT_EQ(Qvx({"create", "crl", P("good.crl"), files[0], files[1]}).code, 0);
    Outcome r = Qvx({"verify", P("good.crl")});
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(r.out, "");

    // The second slide's pixel block cut short, and a pixel of the first
    // slide pointed at a free palette entry.
    auto bytes = Bytes("good.crl");
    bytes.resize(bytes.size() - 3);
    bytes[1036 + 32] = 100;
    Write("broken.crl", bytes);
    r = Qvx({"verify", P("good.crl"), P("broken.crl")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, P("broken.crl") + ": item 0 \"SUNSET01\": 1 pixels use free palette entries (the first: 100)\n" +
                         P("broken.crl") + ": item 1 \"title.sc\": The pixel block of 8 x 5 needs 40 bytes; 37 remain "
                                           "at offset " + std::to_string(bytes.size() - 37) + "\n");

    r = Qvx({"verify", "--json", P("broken.crl")});
    EXPECT_EQ(r.code, 1);
    QJsonArray list = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).array();
    ASSERT_EQ(list.size(), 2) << r.out;
    EXPECT_EQ(list[1].toObject()["index"].toInt(), 1);
    EXPECT_EQ(list[1].toObject()["name"].toString(), "title.sc");
    EXPECT_EQ(list[1].toObject()["file"].toString().toStdString(), P("broken.crl"));
}

namespace {

// qvxlib render's other outputs and its mistakes; the GIF itself is read
// back by Pillow (check_render_gif.py).
TEST_F(Qvxlib, RenderWritesEveryFrameAsABitmapOrASheetAndRefusesMistakes) {
    std::mt19937 rng(3);
    RawSlide a = Raw(6, 4, "a", rng), b = Raw(6, 4, "b", rng);
    b.transition = 1;
    b.speed = 50;  // 0.1 s
    a.hold = b.hold = 0;
    const std::string crl = Write("r.crl", CrlBytes("CR10", 2, 0, NewPalette(), {a, b}));
    // 0.1 s at 50 frames a second: five moments and the end, each pixel 2 x 2.
    Outcome r = Qvx({"render", crl, "--frames", P("frames"), "--fps", "50", "--scale", "2"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "6 frames\n");
    EXPECT_TRUE(fs::exists(P("frames/frame_0005.bmp")));
    EXPECT_FALSE(fs::exists(P("frames/frame_0006.bmp")));
    const auto last = Bytes("frames/frame_0005.bmp");
    ASSERT_EQ(last.size(), 14u + 40 + 1024 + 12 * 8);
    EXPECT_EQ(last[14 + 40 + 1024 + 12 + 2], b.pixels[1]);  // row 1 (scaled: pixel 0 of slide row 0), column 2

    r = Qvx({"render", crl, "--sheet", P("sheet.png"), "--scale", "3"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const auto png = Bytes("sheet.png");
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");

    const std::vector<std::vector<std::string>> mistakes = {
        {"render", crl},
        {"render", crl, P("x.gif"), "--sheet", P("s.png")},
        {"render", crl, P("x.gif"), "--fps", "0"},
        {"render", crl, P("x.gif"), "--fps", "51"},
        {"render", crl, P("x.gif"), "--scale", "9"},
        {"render", crl, P("x.gif"), "--from", "1", "--to", "0"},
        {"render", crl, P("x.gif"), "--loop", "--once"},
    };
    for (const auto& args : mistakes) {
        r = Qvx(args);
        EXPECT_EQ(r.code, 2) << args.back();
        EXPECT_FALSE(fs::exists(P("x.gif")));
    }
    r = Qvx({"render", Write("bad.crl", {'X', 'Y', 'Z', 'W'}), P("x.gif")});
    EXPECT_EQ(r.code, 1);
    // A GIF is at most 65535 pixels a side.
    r = Qvx({"render", Write("wide.crl", CrlBytes("CR10", 1, 0, NewPalette(), {Raw(70000, 1, "w", rng)})), P("x.gif")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("The GIF would be 70000 x 1 pixels; a GIF is at most 65535 a side"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(P("x.gif")));
}

}  // namespace
