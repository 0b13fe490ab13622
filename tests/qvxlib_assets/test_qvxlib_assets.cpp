#include <QImage>

#include "assetbytes.h"
#include "runtool.h"
#include "tools/qvxlib/qvxlib.h"

using namespace assetbytes;
using runtool::ReadBytes;
using runtool::Result;
using runtool::WriteBytes;

namespace {

class QvxlibAssets : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = (std::filesystem::temp_directory_path() /
                ("qvxlib_assets_" + std::to_string(::getpid()) + "_" +
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

std::string Sha(const Bytes& b, size_t from, size_t n) { return qvxlib::Sha256Hex(b.data() + from, n); }

Bytes ThreeImages() {
    const uint8_t reserved[4] = {0xDE, 0xAD, 0xBE, 0xEF};
    Bytes b = ImlHeader("il10", 3, reserved);
    ImlImage(b, 1, 3, "dot", 10, 0xA5);
    ImlImage(b, 5, 2, "five", 20, 0x11);
    ImlImage(b, 8, 4, "eight-wide", 30);
    return b;
}

Bytes TwoSounds() {
    Bytes b = SdlHeader("sl10", 2);
    SdlSound(b, "boom", -2500, -300, 7, 0, 0, 0);
    SdlSound(b, "a-long-name", 10000, -10000, 3, 0xC1, 0xC2, 0x99);
    return b;
}

Bytes TwoMaps(const char* sig = "ML01", int32_t reserved = 0) {
    Bytes b = MapHeader(sig, 1);
    MapEntry(b, "level-one", 4, 3, 12, reserved);
    MapEntry(b, "empty", 7, 9, 0, reserved);
    return b;
}

// A RIFF WAVE file; fmtExtra is appended to the 16-byte format chunk.
Bytes Wave(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, const Bytes& samples,
           const Bytes& fmtExtra = {}) {
    Bytes fmt;
    Put16(fmt, tag);
    Put16(fmt, channels);
    Put32(fmt, static_cast<int32_t>(rate));
    Put32(fmt, static_cast<int32_t>(rate * channels * bits / 8));
    Put16(fmt, static_cast<uint16_t>(channels * bits / 8));
    Put16(fmt, bits);
    fmt.insert(fmt.end(), fmtExtra.begin(), fmtExtra.end());
    Bytes b;
    PutStr(b, "RIFF", 4);
    Put32(b, static_cast<int32_t>(4 + 8 + fmt.size() + 8 + samples.size()));
    PutStr(b, "WAVEfmt ", 8);
    Put32(b, static_cast<int32_t>(fmt.size()));
    b.insert(b.end(), fmt.begin(), fmt.end());
    PutStr(b, "data", 4);
    Put32(b, static_cast<int32_t>(samples.size()));
    b.insert(b.end(), samples.begin(), samples.end());
    return b;
}

}  // namespace

// ---- iml ----------------------------------------------------------------------

TEST_F(QvxlibAssets, ImlInfoJsonListsPaletteAndImages) {
    Bytes lib = ThreeImages();
    WriteBytes(P("a.iml"), lib);
    Result r = Run({"info", P("a.iml"), "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    QJsonObject o = r.Json();
    EXPECT_EQ(o["kind"].toString(), "iml");
    EXPECT_EQ(o["count"].toInt(), 3);
    QJsonArray pal = o["palette"].toArray();
    ASSERT_EQ(pal.size(), 256);
    EXPECT_EQ(pal[13].toArray(), (QJsonArray{13, 242, 6, 5}));
    QJsonArray items = o["items"].toArray();
    ASSERT_EQ(items.size(), 3);
    QJsonObject five = items[1].toObject();
    EXPECT_EQ(five["index"].toInt(), 1);
    EXPECT_EQ(five["name"].toString(), "five");
    EXPECT_EQ(five["width"].toInt(), 5);
    EXPECT_EQ(five["height"].toInt(), 2);
    // The stored block, pad bytes included: after image 0 (20 + 4 x 3) and the record.
    EXPECT_EQ(five["pixels_sha256"].toString().toStdString(), Sha(lib, 1036 + 32 + 20, 16));
    EXPECT_EQ(o.keys(), (QStringList{"count", "items", "kind", "palette"}));
    EXPECT_EQ(five.keys(), (QStringList{"height", "index", "name", "pixels_sha256", "width"}));

    Result table = Run({"info", P("a.iml")});
    EXPECT_EQ(table.status, 0);
    EXPECT_NE(table.out.find("eight-wide"), std::string::npos);
}

TEST_F(QvxlibAssets, ImlRoundtripIsByteForByte) {
    WriteBytes(P("a.iml"), ThreeImages());
    Result r = Run({"roundtrip", P("a.iml"), P("b.iml")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadBytes(P("b.iml")), ThreeImages());
}

TEST_F(QvxlibAssets, ImlExtractWritesEightBitBitmapsWithTheLibraryPalette) {
    Bytes lib = ThreeImages();
    WriteBytes(P("a.iml"), lib);
    Result r = Run({"extract", P("a.iml"), P("out")});
    ASSERT_EQ(r.status, 0) << r.err;
    Bytes bmp = ReadBytes(P("out/001_five.bmp"));
    ASSERT_GE(bmp.size(), 1078u + 16);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[28], 8);  // bits per pixel
    // Rows bottom to top, each the stored row with its pad bytes.
    const size_t pixels = 1036 + 32 + 20;
    EXPECT_TRUE(std::equal(bmp.begin() + 1078, bmp.begin() + 1086, lib.begin() + pixels + 8));
    EXPECT_TRUE(std::equal(bmp.begin() + 1086, bmp.begin() + 1094, lib.begin() + pixels));

    QImage img(QString::fromStdString(P("out/002_eight-wide.bmp")));
    ASSERT_EQ(img.format(), QImage::Format_Indexed8);
    ASSERT_EQ(img.colorCount(), 256);
    for (int i : {0, 1, 77, 255}) EXPECT_EQ(img.color(i), qRgb(i, 255 - i, i / 2)) << i;
    EXPECT_EQ(img.width(), 8);
    EXPECT_EQ(img.height(), 4);
    EXPECT_EQ(img.pixelIndex(3, 2), 30 + 3 + 14);
    EXPECT_TRUE(std::filesystem::exists(P("out/000_dot.bmp")));
}

TEST_F(QvxlibAssets, BadLibrariesFailWithTheLibraryMessage) {
    Bytes huge = ImlHeader("IL10", 2000000000);
    huge.resize(2048);
    WriteBytes(P("huge.iml"), huge);
    Result r = Run({"info", P("huge.iml")});
    EXPECT_EQ(r.status, 1);
    // The image where the file goes wrong is named, the library's text last.
    EXPECT_EQ(r.LastErrorLine(),
              P("huge.iml") + ": image 0: No pixels (width 0, height 0): Stream read error");

    Bytes zero = SdlHeader("SL10", 1);
    SdlSound(zero, "zero", 0, 0, 0);
    WriteBytes(P("zero.sdl"), zero);
    r = Run({"roundtrip", P("zero.sdl"), P("out.sdl")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.LastErrorLine(),
              P("zero.sdl") +
                  ": sound 0 \"zero\": Size 0 is not a number of sample bytes: TQVXSounds: "
                  "GemMem Failed for Sound.Data");
    EXPECT_FALSE(std::filesystem::exists(P("out.sdl")));

    WriteBytes(P("notiml.iml"), ImlHeader("IL10", 0));
    r = Run({"info", P("notiml.iml"), "--kind", "sdl"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.LastErrorLine(), P("notiml.iml") +
                                     ": this is a palette image library (.IML), not a sound library (.SDL): Not a "
                                     "valid Sound Library File");
}

TEST_F(QvxlibAssets, ImlVerifyNamesTheImageWhosePixelsAreCutShort) {
    WriteBytes(P("good.iml"), ThreeImages());
    Result r = Run({"verify", P("good.iml")});
    EXPECT_EQ(r.status, 0) << r.out;
    Bytes cut = ThreeImages();
    cut.resize(cut.size() - 5);
    WriteBytes(P("cut.iml"), cut);
    r = Run({"verify", P("cut.iml")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, P("cut.iml") + ": item 2 \"eight-wide\": The pixel block of 8 x 4 needs 32 bytes; 27 remain at "
                                    "offset " + std::to_string(cut.size() - 27) + "\n");
}

// ---- sdl ----------------------------------------------------------------------

TEST_F(QvxlibAssets, SdlInfoRoundtripAndExtract) {
    Bytes lib = TwoSounds();
    WriteBytes(P("a.sdl"), lib);
    Result r = Run({"info", P("a.sdl"), "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    QJsonObject o = r.Json();
    EXPECT_EQ(o["kind"].toString(), "sdl");
    EXPECT_EQ(o["count"].toInt(), 2);
    QJsonObject s = o["items"].toArray()[1].toObject();
    EXPECT_EQ(s.keys(), (QStringList{"avg_bytes_per_sec", "bits_per_sample", "block_align", "channels", "data_sha256",
                                     "format_tag", "index", "name", "pan", "samples_per_sec", "size", "volume"}));
    EXPECT_EQ(s["name"].toString(), "a-long-name");
    EXPECT_EQ(s["format_tag"].toInt(), 1);
    EXPECT_EQ(s["channels"].toInt(), 1);
    EXPECT_EQ(s["samples_per_sec"].toInt(), 11025);
    EXPECT_EQ(s["avg_bytes_per_sec"].toInt(), 11025);
    EXPECT_EQ(s["block_align"].toInt(), 1);
    EXPECT_EQ(s["bits_per_sample"].toInt(), 8);
    EXPECT_EQ(s["pan"].toInt(), 10000);
    EXPECT_EQ(s["volume"].toInt(), -10000);
    EXPECT_EQ(s["size"].toInt(), 3);
    EXPECT_EQ(s["data_sha256"].toString().toStdString(), Sha(lib, lib.size() - 3, 3));

    ASSERT_EQ(Run({"roundtrip", P("a.sdl"), P("b.sdl")}).status, 0);
    EXPECT_EQ(ReadBytes(P("b.sdl")), lib);  // carried format bytes and name bytes too

    ASSERT_EQ(Run({"extract", P("a.sdl"), P("out")}).status, 0);
    Bytes wav = ReadBytes(P("out/000_boom.wav"));
    Bytes expect = Wave(1, 1, 11025, 8, Bytes(lib.begin() + 8 + 44, lib.begin() + 8 + 44 + 7));
    expect.push_back(0);  // odd data chunks are padded
    expect[4] += 1;
    EXPECT_EQ(wav, expect);
}

TEST_F(QvxlibAssets, SdlVerifyTellsSoundsNoBufferCanHold) {
    Bytes lib = SdlHeader("SL10", 3);
    SdlSound(lib, "boom", 0, 0, 7);
    SdlSound(lib, "tiny", 0, 0, 3);
    const size_t third = lib.size();
    SdlSound(lib, "odd", 0, 0, 8);
    lib[third + 14] = 12;  // bits a sample
    WriteBytes(P("s.sdl"), lib);
    Result r = Run({"verify", P("s.sdl")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, P("s.sdl") + ": item 1 \"tiny\": 3 bytes of samples; a sound buffer holds at least 4\n" +
                         P("s.sdl") + ": item 2 \"odd\": No sound buffer takes this format (tag 1, 1 channels, "
                                      "11025 Hz, 12 bits, block align 1)\n");
}

TEST_F(QvxlibAssets, SdlExtractThenCreateReproducesFormatsNamesAndSamples) {
    Bytes lib = SdlHeader("SL10", 2);
    SdlSound(lib, "boom", 0, 0, 7);
    SdlSound(lib, "a-long-name", 0, 0, 4);
    WriteBytes(P("a.sdl"), lib);
    ASSERT_EQ(Run({"extract", P("a.sdl"), P("out")}).status, 0);
    Result r = Run({"create", "sdl", P("b.sdl"), P("out/000_boom.wav"), P("out/001_a-long-name.wav")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadBytes(P("b.sdl")), lib);
}

TEST_F(QvxlibAssets, SdlCreateTakesPcmOnly) {
    Bytes samples = {1, 2, 3, 4, 5, 6, 7, 8};
    WriteBytes(P("explosion-in-space.wav"), Wave(1, 2, 22050, 16, samples));
    WriteBytes(P("float.wav"), Wave(3, 1, 44100, 32, samples, {0, 0}));
    // WAVE_FORMAT_EXTENSIBLE with the PCM sub-format is PCM.
    Bytes ext = {22, 0, 16, 0, 3, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    WriteBytes(P("ext.wav"), Wave(0xFFFE, 2, 22050, 16, samples, ext));
    WriteBytes(P("empty.wav"), Wave(1, 1, 8000, 8, {}));

    Result r = Run({"create", "sdl", P("a.sdl"), P("explosion-in-space.wav"), P("ext.wav")});
    ASSERT_EQ(r.status, 0) << r.err;
    QJsonObject o = Run({"info", P("a.sdl"), "--json"}).Json();
    QJsonObject first = o["items"].toArray()[0].toObject(), second = o["items"].toArray()[1].toObject();
    EXPECT_EQ(first["name"].toString(), "explosion-i");  // cut to 11 characters
    EXPECT_EQ(first["channels"].toInt(), 2);
    EXPECT_EQ(first["block_align"].toInt(), 4);
    EXPECT_EQ(first["avg_bytes_per_sec"].toInt(), 88200);
    EXPECT_EQ(first["pan"].toInt(), 0);
    EXPECT_EQ(first["volume"].toInt(), 0);
    EXPECT_EQ(second["format_tag"].toInt(), 1);
    EXPECT_EQ(second["data_sha256"].toString().toStdString(), qvxlib::Sha256Hex(samples.data(), samples.size()));

    r = Run({"create", "sdl", P("b.sdl"), P("explosion-in-space.wav"), P("float.wav")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.LastErrorLine().find("float.wav: not PCM (format tag 3)"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(P("b.sdl")));
    r = Run({"create", "sdl", P("b.sdl"), P("empty.wav")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.LastErrorLine().find("holds no samples"), std::string::npos) << r.err;
    WriteBytes(P("text.wav"), Bytes{'h', 'e', 'l', 'l', 'o'});
    r = Run({"create", "sdl", P("b.sdl"), P("text.wav")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.LastErrorLine().find("not a RIFF WAVE file"), std::string::npos) << r.err;

    r = Run({"create", "sdl", P("c.sdl"), P("ext.wav"), "--name", "Named"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Run({"info", P("c.sdl"), "--json"}).Json()["items"].toArray()[0].toObject()["name"].toString(),
              "Named");
}

// ---- map ----------------------------------------------------------------------

TEST_F(QvxlibAssets, MapsNeedTheKindAndRoundtripRewritesSignatureAndReserved) {
    WriteBytes(P("a.map"), TwoMaps("abcd", 0x55));
    Result r = Run({"info", P("a.map")});
    EXPECT_EQ(r.status, 1);
    r = Run({"info", P("a.map"), "--kind", "map", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    QJsonObject o = r.Json();
    EXPECT_EQ(o["kind"].toString(), "map");
    EXPECT_EQ(o["count"].toInt(), 2);
    QJsonObject m = o["items"].toArray()[0].toObject();
    EXPECT_EQ(m.keys(), (QStringList{"data_sha256", "height", "index", "name", "size", "width"}));
    EXPECT_EQ(m["name"].toString(), "level-one");
    EXPECT_EQ(m["width"].toInt(), 4);
    EXPECT_EQ(m["height"].toInt(), 3);
    EXPECT_EQ(m["size"].toInt(), 12);
    Bytes lib = TwoMaps("abcd", 0x55);
    EXPECT_EQ(m["data_sha256"].toString().toStdString(), Sha(lib, 8 + 32, 12));
    EXPECT_EQ(o["items"].toArray()[1].toObject()["data_sha256"].toString().toStdString(),
              qvxlib::Sha256Hex(nullptr, 0));

    ASSERT_EQ(Run({"roundtrip", P("a.map"), P("b.map"), "--kind", "map"}).status, 0);
    EXPECT_EQ(ReadBytes(P("b.map")), TwoMaps());
}

TEST_F(QvxlibAssets, MapExtractThenCreateReproducesTheLibrary) {
    WriteBytes(P("a.map"), TwoMaps());
    ASSERT_EQ(Run({"extract", P("a.map"), P("out"), "--kind", "map"}).status, 0);
    EXPECT_EQ(runtool::ReadText(P("out/000_level-one.json")), "{\"name\": \"level-one\", \"width\": 4, \"height\": 3}\n");
    EXPECT_EQ(ReadBytes(P("out/001_empty.bin")).size(), 0u);
    Result r = Run({"create", "map", P("b.map"), P("out/000_level-one.bin"), P("out/001_empty.bin")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadBytes(P("b.map")), TwoMaps());
}

TEST_F(QvxlibAssets, MapNamesThatAreNotUtf8SurviveExtractAndCreate) {
    Bytes lib = MapHeader("ML01", 1);
    MapEntry(lib, "B\xE4ume", 1, 1, 0);
    MapEntry(lib, "B\xC3\xA4ume", 1, 1, 0);
    WriteBytes(P("names.map"), lib);
    ASSERT_EQ(Run({"extract", P("names.map"), P("names"), "--kind", "map"}).status, 0);
    EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(runtool::ReadText(P("names/000_B_ume.json"))))
                  .object()["name"]
                  .toString(),
              QString::fromUtf8("B\u00e4ume"));
    Result r = Run({"create", "map", P("again.map"), P("names/000_B_ume.bin"), P("names/001_B__ume.bin")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadBytes(P("again.map")), lib);
}

TEST_F(QvxlibAssets, MapCreateFromOptions) {
    WriteBytes(P("one.bin"), Bytes{1, 2, 3, 4});
    WriteBytes(P("two.bin"), Bytes{9, 8});
    Result r = Run({"create", "map", P("m.map"), "--name", "a-name-longer-than-15", "--name", "b", "--width", "2",
                    "--height", "2", "--height", "1", P("one.bin"), P("two.bin")});
    ASSERT_EQ(r.status, 0) << r.err;
    Bytes expect = MapHeader("ML01", 1);
    MapEntry(expect, "a-name-longer-t", 2, 2, 0);
    expect.insert(expect.end(), {1, 2, 3, 4});
    expect[8 + 24] = 4;
    MapEntry(expect, "b", 2, 1, 0);
    expect.insert(expect.end(), {9, 8});
    expect[expect.size() - 2 - 8] = 2;
    EXPECT_EQ(ReadBytes(P("m.map")), expect);

    r = Run({"create", "map", P("n.map"), P("one.bin")});
    EXPECT_EQ(r.status, 2);  // no width or height anywhere
    r = Run({"create", "map", P("n.map"), "--width", "1", "--width", "2", "--width", "3", "--height", "1",
             P("one.bin"), P("two.bin")});
    EXPECT_EQ(r.status, 2);
    EXPECT_FALSE(std::filesystem::exists(P("n.map")));
}
