// qvxlib over hi-colour libraries, run as a script would run it.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

#include "../hicolor/fixtures.h"
#include "qvx/hicolor/hicolor_library.h"
#include "runtool.h"
#include "toolkit/streams.h"
#include "tools/qvxlib/qvxlib.h"

using fixtures::Bytes;


namespace {

std::string Dir() {
    static std::string d = [] {
        auto p = std::filesystem::temp_directory_path() / ("qvxlib_hcl_" + std::to_string(::getpid()));
        std::filesystem::create_directories(p);
        return p.string();
    }();
    return d;
}

std::string Put(const std::string& name, const Bytes& b) {
    std::string p = Dir() + "/" + name;
    tk::WriteFileBytes(p, b.data(), b.size());
    return p;
}

}  // namespace

TEST(QvxlibHcl, CreateWritesWhatTheEditorWrites) {
    Bytes jpeg = fixtures::Jpeg(16, 8);
    std::string jpg = Put("a.JPG", jpeg), bmp = Put("b.bmp", fixtures::Bmp24(3, 2));
    std::string out = Dir() + "/made.hcl";
    auto r = tooltest::Run({"create", "hcl", out, jpg, bmp});
    ASSERT_EQ(r.code, 0) << r.err;

    // The same steps through the library, as the editor takes them.
    qvx::TQVXHiColorImagelib lib(nullptr);
    lib.SetName("QVXHiColorImagelib1");
    lib.DesignLeft = 208;
    lib.DesignTop = 72;
    for (auto& f : {jpg, bmp}) {
        tk::TPicture p;
        p.LoadFromFile(f);
        auto* item = lib.Images()->Add();
        item->SetImage(p);
        item->SetName("Image" + std::to_string(lib.Count()));
    }
    std::string ref = Dir() + "/ref.hcl";
    lib.SaveToFile(ref);
    EXPECT_EQ(tk::ReadFileBytes(out), tk::ReadFileBytes(ref));

    auto named = tooltest::Run({"create", "hcl", Dir() + "/named.hcl", jpg, bmp, "--name", "Sky"});
    ASSERT_EQ(named.code, 0) << named.err;
    auto info = tooltest::Run({"info", Dir() + "/named.hcl", "--json"});
    EXPECT_NE(info.out.find("\"name\": \"Sky\""), std::string::npos);
    EXPECT_NE(info.out.find("\"name\": \"Image2\""), std::string::npos);
}

TEST(QvxlibHcl, InfoJsonDescribesEveryItem) {
    Bytes jpeg = fixtures::Jpeg(20, 10);
    std::string jpg = Put("c.jpg", jpeg);
    std::string lib = Dir() + "/info.hcl";
    ASSERT_EQ(tooltest::Run({"create", "hcl", lib, jpg}).code, 0);
    auto r = tooltest::Run({"info", lib, "--json"});
    ASSERT_EQ(r.code, 0) << r.err;
    std::string sha = qvxlib::Sha256Hex(jpeg.data(), jpeg.size());
    std::string want = "{\"kind\": \"hcl\", \"count\": 1, \"use_transparent\": false, \"tag\": 0, \"left\": 208, "
                       "\"top\": 72, \"items\": [{\"index\": 0, \"name\": \"Image1\", \"picture\": \"jpeg\", "
                       "\"width\": 20, \"height\": 10, \"data_sha256\": \"" +
                       sha + "\"}]}\n";
    EXPECT_EQ(r.out, want);
    auto table = tooltest::Run({"info", lib});
    EXPECT_EQ(table.code, 0);
    EXPECT_NE(table.out.find("Image1"), std::string::npos);
    EXPECT_NE(table.out.find("20x10"), std::string::npos);
}

TEST(QvxlibHcl, RoundtripIsByteExactAndExtractGivesTheOriginalBytes) {
    Bytes jpeg = fixtures::Jpeg(9, 9);
    std::string jpg = Put("d.jpeg", jpeg), bmp = Put("e.bmp", fixtures::Bmp24(4, 4));
    std::string lib = Dir() + "/rt.hcl", out = Dir() + "/rt-out.hcl";
    ASSERT_EQ(tooltest::Run({"create", "hcl", lib, jpg, bmp, "--name", "a/b", "--name", "../x"}).code, 0);
    auto r = tooltest::Run({"roundtrip", lib, out});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(tk::ReadFileBytes(out), tk::ReadFileBytes(lib));

    std::string dir = Dir() + "/extracted";
    auto x = tooltest::Run({"extract", lib, dir});
    ASSERT_EQ(x.code, 0) << x.err;
    EXPECT_EQ(tk::ReadFileBytes(dir + "/000_a_b.jpg"), jpeg);
    EXPECT_TRUE(std::filesystem::exists(dir + "/001_.._x.bmp"));
    // Nothing escapes the folder.
    EXPECT_FALSE(std::filesystem::exists(Dir() + "/x.bmp"));
}

TEST(QvxlibHcl, FormTextAndBinaryRoundTripAnEditorFile) {
    std::string hcl = Dir() + "/form.hcl";
    auto made = tooltest::Run({"create", "hcl", hcl, Put("f.jpg", fixtures::Jpeg(8, 8)),
                               Put("f.bmp", fixtures::Bmp24(3, 2))});
    ASSERT_EQ(made.code, 0) << made.err;
    std::string text = Dir() + "/form.txt", back = Dir() + "/back.hcl";
    auto r = tooltest::Run({"form", "text", hcl, text});
    ASSERT_EQ(r.code, 0) << r.err;
    r = tooltest::Run({"form", "binary", text, back, "--resource", "QVX_HI_COLOR_LIB"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(tk::ReadFileBytes(back), tk::ReadFileBytes(hcl));
    // Without OUT the text goes to standard output.
    r = tooltest::Run({"form", "text", hcl});
    EXPECT_EQ(r.out, tooltest::Slurp(text));
    EXPECT_EQ(r.out.rfind("object QVXHiColorImagelib1: TQVXHiColorImagelib\n", 0), 0u);

    std::string bad = Put("bad.txt", Bytes{'o', 'b', 'j', 'e', 'c', 't', ' ', 'A', ':', ' ', 'T',
                                           '\n', ' ', ' ', 'X', '\n'});
    r = tooltest::Run({"form", "binary", bad, Dir() + "/bad.bin"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.LastErrLine(), bad + ": Line 3, column 1: Unexpected end of text ('=' expected)");
    EXPECT_FALSE(std::filesystem::exists(Dir() + "/bad.bin"));
}

TEST(QvxlibHcl, ExitStatusAndMessages) {
    std::string bad = Put("bad.hcl", Bytes{0xFF, 10, 0, 'A', 0, 0x30, 0x10, 4, 0, 0, 0, 'T', 'P', 'F', '1'});
    auto r = tooltest::Run({"info", bad});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.LastErrLine(), bad + ": Invalid stream format");

    std::string png = Put("p.png", Bytes{1, 2, 3});
    r = tooltest::Run({"create", "hcl", Dir() + "/x.hcl", png});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.LastErrLine(), png + ": Unknown picture file extension (.png)");

    r = tooltest::Run({"info"});
    EXPECT_EQ(r.code, 2);
    r = tooltest::Run({"info", bad, "--bogus"});
    EXPECT_EQ(r.code, 2);
    r = tooltest::Run({"frobnicate"});
    EXPECT_EQ(r.code, 2);
    for (const char* cmd : {"info", "roundtrip", "extract", "create", "form"}) {
        r = tooltest::Run({cmd, "--help"});
        EXPECT_EQ(r.code, 0) << cmd;
        EXPECT_NE(r.out.find("usage"), std::string::npos) << cmd;
    }
    std::string missing = Dir() + "/missing.hcl";
    r = tooltest::Run({"info", missing, "--kind", "hcl"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.LastErrLine(), "Cannot open file " + missing);
}

// A name in a single-byte code page is printed as its Latin-1 text in valid
// JSON and kept byte for byte; a failure inside a library-level entry names
// the library as the file does.
TEST(QvxlibHcl, NamesAreBytesAndErrorsNameTheLibrary) {
    std::string jpg = Put("f.jpg", fixtures::Jpeg(4, 4));
    std::string lib = Dir() + "/latin1.hcl", out = Dir() + "/latin1-out.hcl";
    ASSERT_EQ(tooltest::Run({"create", "hcl", lib, jpg, "--name", "B\xE4ume"}).code, 0);
    auto r = tooltest::Run({"info", lib, "--json"});
    ASSERT_EQ(r.code, 0) << r.err;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(r.out), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << r.out;
    EXPECT_EQ(doc.object()["items"].toArray()[0].toObject()["name"].toString(), QString::fromUtf8("B\u00e4ume"));
    ASSERT_EQ(tooltest::Run({"roundtrip", lib, out}).code, 0);
    EXPECT_EQ(tk::ReadFileBytes(out), tk::ReadFileBytes(lib));

    Bytes body = {'T', 'P', 'F', '0', 19};
    for (char c : std::string("TQVXHiColorImagelib")) body.push_back(static_cast<uint8_t>(c));
    body.push_back(19);
    for (char c : std::string("QVXHiColorImagelib1")) body.push_back(static_cast<uint8_t>(c));
    body.insert(body.end(), {6, 'C', 'o', 'l', 'o', 'u', 'r', 2, 1, 0, 0});
    Bytes file = {0xFF, 10, 0, 'Q', 0, 0x30, 0x10, static_cast<uint8_t>(body.size()), 0, 0, 0};
    file.insert(file.end(), body.begin(), body.end());
    r = tooltest::Run({"info", Put("colour.hcl", file)});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(
        r.LastErrLine(),
        Dir() + "/colour.hcl: Error reading QVXHiColorImagelib1.Colour: Property does not exist");
    r = tooltest::Run({"info", Put("one-byte.hcl", Bytes{0xFF}), "--kind", "hcl"});
    EXPECT_EQ(r.LastErrLine(), Dir() + "/one-byte.hcl: Invalid stream format");
}

TEST(QvxlibHcl, VerifyFindsBrokenPicturesInALoadableLibrary) {
    std::string jpg = Put("v.jpg", fixtures::Jpeg(64, 48)), bmp = Put("v.bmp", fixtures::Bmp24(5, 4));
    std::string good = Dir() + "/verify.hcl";
    ASSERT_EQ(tooltest::Run({"create", "hcl", good, jpg, bmp}).code, 0);
    auto r = tooltest::Run({"verify", good});
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(r.out, "");

    // The JPEG's scan data scrambled (its header still reads, so the
    // library loads) and the bitmap's signature broken.
    Bytes b = tk::ReadFileBytes(good);
    const std::string text(b.begin(), b.end());
    const size_t scan = text.find("\xFF\xDA", text.find("TJPEGImage"));
    const size_t end = text.find("\xFF\xD9", scan);
    ASSERT_NE(end, std::string::npos);
    for (size_t i = scan + 40; i + 10 < end; ++i) b[i] = i % 3 == 0 ? 0xFF : 0x00;
    b[text.find("BM", text.find("TBitmap"))] = 'X';
    std::string broken = Put("broken.hcl", b);
    r = tooltest::Run({"verify", broken, good});
    EXPECT_EQ(r.code, 1);
    // One line a problem, in item order; the good file adds none.
    EXPECT_EQ(r.out.rfind(broken + ": item 0 \"Image1\": JPEG data is damaged (libjpeg warning #", 0), 0u) << r.out;
    // libjpeg's own words follow its number.
    EXPECT_NE(r.out.find("): Corrupt JPEG data"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n" + broken + ": item 1 \"Image2\": Bitmap image is not valid\n"),
              std::string::npos);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2);
}
