// The hi-colour image library and its .HCL files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "fixtures.h"
#include "qvx/hicolor/hicolor_library.h"
#include "toolkit/fileio.h"
#include "toolkit/propstream.h"
#include "toolkit/streams.h"

using namespace qvx;
using fixtures::Bytes;

namespace {

std::string Dir() {
    static std::string d = [] {
        auto p = std::filesystem::temp_directory_path() / ("hicolor_" + std::to_string(::getpid()));
        std::filesystem::remove_all(p);  // a stale folder of a reused process id
        std::filesystem::create_directories(p);
        return p.string();
    }();
    return d;
}

std::string WriteTemp(const std::string& name, const Bytes& bytes) {
    std::string path = Dir() + "/" + name;
    tk::WriteFileBytes(path, bytes.data(), bytes.size());
    return path;
}

Bytes Str(const std::string& s) {
    Bytes b(s.size() + 1);
    b[0] = static_cast<uint8_t>(s.size());
    std::copy(s.begin(), s.end(), b.begin() + 1);
    return b;
}

void Append(Bytes& to, const Bytes& more) { to.insert(to.end(), more.begin(), more.end()); }

void Put32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// The editor's library: named, design position 208, 72.
struct EditorLib {
    TQVXHiColorImagelib lib{nullptr};
    EditorLib() {
        lib.SetName("QVXHiColorImagelib1");
        lib.DesignLeft = 208;
        lib.DesignTop = 72;
    }
};

Bytes Header(uint32_t bodyLength) {
    Bytes h{0xFF, 10, 0};
    std::string name = "QVX_HI_COLOR_LIB";
    h.insert(h.end(), name.begin(), name.end());
    h.push_back(0);
    h.push_back(0x30);
    h.push_back(0x10);
    Put32(h, bodyLength);
    return h;
}

// Signature, class name and object name: how every library body begins.
Bytes StreamStart(const std::string& objectName) {
    Bytes b = {'T', 'P', 'F', '0'};
    Append(b, Str("TQVXHiColorImagelib"));
    Append(b, Str(objectName));
    return b;
}

Bytes WithHeader(const Bytes& body) {
    Bytes all = Header(static_cast<uint32_t>(body.size()));
    Append(all, body);
    return all;
}

std::string LoadError(TQVXHiColorImagelib& lib, const Bytes& file) {
    std::string path = WriteTemp("bad.hcl", file);
    try {
        lib.LoadFromFile(path);
    } catch (const tk::Exception& e) {
        return e.Message();
    }
    return "no error";
}

class FakeScreen : public tk::TComponent, public IHiColorLibScreen {
public:
    using tk::TComponent::TComponent;
    int loads = 0;
    TQVXHiColorImagelib* last = nullptr;
    void LoadHiColorLib(TQVXHiColorImagelib* lib) override {
        ++loads;
        last = lib;
    }
};

}  // namespace

TEST(HiColorFile, EmptyLibraryBytesAndLoad) {
    EditorLib e;
    std::string path = Dir() + "/empty.hcl";
    e.lib.SaveToFile(path);
    Bytes body = StreamStart("QVXHiColorImagelib1");
    Append(body, Str("UseTransparent"));
    body.push_back(8);
    Append(body, Str("Images"));
    Append(body, {14, 0});
    Append(body, Str("Left"));
    Append(body, {3, 208, 0});
    Append(body, Str("Top"));
    Append(body, {2, 72});
    Append(body, {0, 0});
    EXPECT_EQ(tk::ReadFileBytes(path), WithHeader(body));

    TQVXHiColorImagelib back(nullptr);
    back.Images()->Add()->SetName("stale");
    back.LoadFromFile(path);
    EXPECT_EQ(back.Count(), 0);
    EXPECT_EQ(back.DesignLeft, 208);
    EXPECT_EQ(back.DesignTop, 72);
}

TEST(HiColorFile, OneJpegImageIsWrittenExactlyAndComesBackByteForByte) {
    Bytes jpeg = fixtures::Jpeg(40, 30);
    std::string jpgPath = WriteTemp("pic.jpg", jpeg);
    EditorLib e;
    tk::TPicture pic;
    pic.LoadFromFile(jpgPath);
    auto* item = e.lib.Images()->Add();
    item->SetImage(pic);
    item->SetName("Image1");
    std::string path = Dir() + "/one.hcl";
    e.lib.SaveToFile(path);

    Bytes body = StreamStart("QVXHiColorImagelib1");
    Append(body, Str("UseTransparent"));
    body.push_back(8);
    Append(body, Str("Images"));
    Append(body, {14, 1});
    Append(body, Str("Image.Data"));
    body.push_back(10);
    Put32(body, static_cast<uint32_t>(1 + 10 + 4 + jpeg.size()));
    Append(body, Str("TJPEGImage"));
    Put32(body, static_cast<uint32_t>(jpeg.size()));
    Append(body, jpeg);
    Append(body, Str("Name"));
    Append(body, {6, 6, 'I', 'm', 'a', 'g', 'e', '1'});
    Append(body, {0, 0});
    Append(body, Str("Left"));
    Append(body, {3, 208, 0});
    Append(body, Str("Top"));
    Append(body, {2, 72});
    Append(body, {0, 0});
    EXPECT_EQ(tk::ReadFileBytes(path), WithHeader(body));

    TQVXHiColorImagelib back(nullptr);
    back.LoadFromFile(path);
    ASSERT_EQ(back.Count(), 1);
    auto* j = dynamic_cast<tk::TJPEGImage*>(back.Images()->Items(0)->Image().Graphic());
    ASSERT_NE(j, nullptr);
    EXPECT_EQ(j->Bytes(), jpeg);
    EXPECT_EQ(j->Width(), 40);
    EXPECT_EQ(j->Height(), 30);

    // Saving the same library twice gives identical files.
    std::string again = Dir() + "/one-again.hcl";
    back.SetName("QVXHiColorImagelib1");
    back.SaveToFile(again);
    EXPECT_EQ(tk::ReadFileBytes(again), tk::ReadFileBytes(path));
}

TEST(HiColorFile, OptionalItemEntriesAndLongNames) {
    EditorLib e;
    std::string bmpPath = WriteTemp("pic.bmp", fixtures::Bmp24(5, 3));
    tk::TPicture pic;
    pic.LoadFromFile(bmpPath);
    e.lib.Images()->Add()->SetImage(pic);                        // no name
    e.lib.Images()->Add()->SetName("only a name");              // no picture
    e.lib.Images()->Add()->SetName(std::string(300, 'n'));      // tag 12
    std::string path = Dir() + "/optional.hcl";
    e.lib.SaveToFile(path);
    Bytes file = tk::ReadFileBytes(path);
    Bytes longName = Str("Name");
    longName.push_back(12);
    Put32(longName, 300);
    EXPECT_NE(std::search(file.begin(), file.end(), longName.begin(), longName.end()), file.end());

    TQVXHiColorImagelib back(nullptr);
    back.LoadFromFile(path);
    ASSERT_EQ(back.Count(), 3);
    EXPECT_EQ(back.Images()->Items(0)->Name(), "");
    auto* bmp = dynamic_cast<tk::TBitmap*>(back.Images()->Items(0)->Image().Graphic());
    ASSERT_NE(bmp, nullptr);
    EXPECT_EQ(bmp->Width(), 5);
    EXPECT_EQ(bmp->Height(), 3);
    EXPECT_EQ(bmp->BitsPerPixel(), 24);
    auto* orig = dynamic_cast<tk::TBitmap*>(pic.Graphic());
    EXPECT_EQ(bmp->Image().convertToFormat(QImage::Format_RGB32), orig->Image().convertToFormat(QImage::Format_RGB32));
    EXPECT_TRUE(back.Images()->Items(1)->Image().Empty());
    EXPECT_EQ(back.Images()->Items(1)->Name(), "only a name");
    EXPECT_EQ(back.Images()->Items(2)->Name(), std::string(300, 'n'));
}

TEST(HiColorFile, ForeignResourceAndObjectNamesLoad) {
    EditorLib e;
    e.lib.Images()->Add()->SetName("x");
    tk::TMemoryStream ms;
    {
        TQVXHiColorImagelib other(nullptr);
        other.SetName("SomeOtherLib");
        other.Images()->Add()->SetName("a");
        other.Images()->Add()->SetName("b");
        int64_t at = tk::WriteResourceHeader(ms, "ANOTHER_NAME");
        tk::TWriter w(ms);
        w.WriteRootComponent(other);
        w.Flush();
        tk::FixupResourceHeader(ms, at);
    }
    std::string path = WriteTemp("foreign.hcl", ms.Bytes());
    e.lib.LoadFromFile(path);
    EXPECT_EQ(e.lib.Name(), "QVXHiColorImagelib1");
    ASSERT_EQ(e.lib.Count(), 2);
    EXPECT_EQ(e.lib.Images()->Items(1)->Name(), "b");
}

TEST(HiColorFile, BadFilesGiveTheirMessagesAndLeaveAConsistentLibrary) {
    EditorLib e;
    e.lib.Images()->Add()->SetName("before");
    EXPECT_EQ(LoadError(e.lib, Bytes{0xFE, 10, 0, 'X', 0, 0x30, 0x10, 0, 0, 0, 0}), "Invalid stream format");
    EXPECT_EQ(e.lib.Count(), 0);
    EXPECT_EQ(LoadError(e.lib, WithHeader(Bytes{'T', 'P', 'F', '1'})), "Invalid stream format");
    // Too short to hold the marker and type: not a resource either. Marker
    // and type, then nothing: cut short.
    EXPECT_EQ(LoadError(e.lib, Bytes{}), "Invalid stream format");
    EXPECT_EQ(LoadError(e.lib, Bytes{0xFF}), "Invalid stream format");
    EXPECT_EQ(LoadError(e.lib, Bytes{0xFF, 10}), "Stream read error");

    std::string missing = Dir() + "/no/such.hcl";
    try {
        e.lib.LoadFromFile(missing);
        FAIL();
    } catch (const tk::Exception& ex) {
        EXPECT_EQ(ex.Message(), "Cannot open file " + missing);
    }

    // Ends inside the second item: the first stays.
    Bytes body = StreamStart("L");
    Append(body, Str("Images"));
    Append(body, {14, 1});
    Append(body, Str("Name"));
    Append(body, {6, 1, 'a', 0, 1});
    Append(body, Str("Name"));
    Append(body, {6, 9, 'b'});
    EXPECT_EQ(LoadError(e.lib, WithHeader(body)), "Error reading TQVXImageItem.Name: Stream read error");
    ASSERT_GE(e.lib.Count(), 1);
    EXPECT_EQ(e.lib.Images()->Items(0)->Name(), "a");

    // A 4 GB picture block in a small file fails at once.
    Bytes huge = StreamStart("L");
    Append(huge, Str("Images"));
    Append(huge, {14, 1});
    Append(huge, Str("Image.Data"));
    Append(huge, {10, 0xF0, 0xFF, 0xFF, 0xFF});
    Append(huge, Bytes(1000, 0));
    EXPECT_EQ(LoadError(e.lib, WithHeader(huge)), "Error reading TQVXImageItem.Image.Data: Stream read error");

    // Unknown property, and an unknown picture kind (left empty, no error).
    Bytes unknown = StreamStart("L");
    Append(unknown, Str("Colour"));
    Append(unknown, {2, 1, 0, 0});
    EXPECT_EQ(LoadError(e.lib, WithHeader(unknown)), "Error reading QVXHiColorImagelib1.Colour: Property does not exist");

    Bytes kind = StreamStart("L");
    Append(kind, Str("Images"));
    Append(kind, {14, 1});
    Append(kind, Str("Image.Data"));
    Append(kind, {10, 7, 0, 0, 0});
    Append(kind, Str("TPNG"));
    Append(kind, {1, 2});
    Append(kind, Str("Name"));
    Append(kind, {6, 1, 'k', 0, 0, 0, 0});
    EXPECT_EQ(LoadError(e.lib, WithHeader(kind)), "no error");
    ASSERT_EQ(e.lib.Count(), 1);
    EXPECT_TRUE(e.lib.Images()->Items(0)->Image().Empty());
    EXPECT_EQ(e.lib.Images()->Items(0)->Name(), "k");

    // A JPEG whose header cannot be read.
    Bytes junk = {0xFF, 0xD8, 0xFF, 0xE0, 0, 4, 1, 2, 0x12, 0x34};
    Bytes bad = StreamStart("L");
    Append(bad, Str("Images"));
    Append(bad, {14, 1});
    Append(bad, Str("Image.Data"));
    bad.push_back(10);
    Put32(bad, static_cast<uint32_t>(11 + 4 + junk.size()));
    Append(bad, Str("TJPEGImage"));
    Put32(bad, static_cast<uint32_t>(junk.size()));
    Append(bad, junk);
    Append(bad, {0, 0, 0, 0});
    std::string msg = LoadError(e.lib, WithHeader(bad));
    EXPECT_EQ(msg.rfind("Error reading TQVXImageItem.Image.Data: JPEG error #", 0), 0u) << msg;
}

TEST(HiColorFile, FailedSaveKeepsThePreviousFile) {
    EditorLib e;
    e.lib.Images()->Add()->SetName("one");
    std::string path = Dir() + "/keep.hcl";
    e.lib.SaveToFile(path);
    Bytes before = tk::ReadFileBytes(path);

    // A picture whose data cannot be written makes the save fail part-way.
    class Failing : public tk::TBitmap {
    public:
        void WriteData(tk::TStream& s) const override {
            s.WriteBuffer("xx", 2);
            throw tk::EWriteError("Stream write error");
        }
        std::unique_ptr<tk::TGraphic> Clone() const override { return std::make_unique<Failing>(*this); }
    };
    auto failing = std::make_unique<Failing>();
    failing->SetSize(2, 2);
    tk::TPicture pic;
    pic.SetGraphic(std::move(failing));
    e.lib.Images()->Items(0)->Image().Exchange(pic);
    EXPECT_THROW(e.lib.SaveToFile(path), tk::EWriteError);
    EXPECT_EQ(tk::ReadFileBytes(path), before);
    int files = 0;
    for (auto& entry : std::filesystem::directory_iterator(Dir()))
        if (entry.path().filename().string().rfind("keep.hcl", 0) == 0) ++files;
    EXPECT_EQ(files, 1) << "no temporary file left behind";

    std::string dirTarget = Dir() + "/adir.hcl";
    std::filesystem::create_directories(dirTarget);
    try {
        e.lib.SaveToFile(dirTarget);
        FAIL();
    } catch (const tk::EFCreateError& ex) {
        EXPECT_EQ(ex.Message(), "Cannot create file " + dirTarget);
    }
}

// Saving through a symbolic link replaces the file it points to (with its
// permissions) and keeps the link; so does the block writer of the intro
// library.
TEST(HiColorFile, SaveThroughALinkUpdatesItsTarget) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(Dir()) / "linked";
    fs::create_directories(dir / "real");
    const fs::path target = dir / "real" / "lib.hcl", link = dir / "link.hcl", chain = dir / "chain.hcl";
    EditorLib e;
    e.lib.SaveToFile(target.string());
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(fs::path("real") / "lib.hcl", link);  // relative to the link's folder
    fs::create_symlink(link.filename(), chain);

    e.lib.Images()->Add()->SetName("new");
    e.lib.SaveToFile(chain.string());
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(fs::is_symlink(chain));
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    TQVXHiColorImagelib back(nullptr);
    back.LoadFromFile(target.string());
    ASSERT_EQ(back.Count(), 1);
    EXPECT_EQ(back.Images()->Items(0)->Name(), "new");

    tk::TBinaryFile raw;
    raw.RewriteReplacing(link.string());
    raw.BlockWrite("abc", 3);
    raw.Close();
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(tk::ReadFileBytes(target.string()), (Bytes{'a', 'b', 'c'}));
}

TEST(HiColorScreen, RebuildsAfterEachSuccessfulLoadAndForgetsARemovedScreen) {
    tk::TDataModule form(nullptr);
    form.SetName("Form1");
    tk::RegisterGlobalComponent(&form);
    auto* screen = new FakeScreen(&form);
    screen->SetName("QVXScreen1");
    EditorLib e;
    std::string empty = Dir() + "/screen-empty.hcl";
    e.lib.SaveToFile(empty);

    e.lib.LoadFromFile(empty);
    EXPECT_EQ(screen->loads, 0) << "no screen, no rebuild";

    e.lib.SetQVXScreen(screen);
    e.lib.LoadFromFile(empty);
    EXPECT_EQ(screen->loads, 1);
    EXPECT_EQ(screen->last, &e.lib);
    LoadError(e.lib, Bytes{0, 1, 2});
    EXPECT_EQ(screen->loads, 1) << "no rebuild after a failed load";

    // The link is written as an identifier and resolved when read back.
    std::string linked = Dir() + "/screen-linked.hcl";
    e.lib.SaveToFile(linked);
    Bytes file = tk::ReadFileBytes(linked);
    Bytes ident = Str("QVXScreen");
    ident.push_back(7);
    Append(ident, Str("Form1.QVXScreen1"));
    EXPECT_NE(std::search(file.begin(), file.end(), ident.begin(), ident.end()), file.end());
    TQVXHiColorImagelib other(nullptr);
    other.LoadFromFile(linked);
    EXPECT_EQ(other.QVXScreen(), screen);
    EXPECT_EQ(screen->loads, 2) << "the resolved screen rebuilds after the load";

    delete screen;
    EXPECT_EQ(e.lib.QVXScreen(), nullptr);
    EXPECT_EQ(other.QVXScreen(), nullptr);
    e.lib.LoadFromFile(empty);  // must not touch the removed screen
    tk::UnregisterGlobalComponent(&form);
}

TEST(HiColorFormData, LibraryTravelsInsideFormData) {
    tk::TDataModule form(nullptr);
    form.SetName("Form1");
    auto* lib = new TQVXHiColorImagelib(&form);
    lib->SetName("QVXHiColorImagelib1");
    lib->DesignLeft = 208;
    lib->DesignTop = 72;
    lib->UseTransparent = true;
    lib->Images()->Add()->SetName("Image1");
    Bytes data = tk::WriteComponentData(form);

    RegisterHiColorClasses();
    tk::RegisterComponentClass<tk::TDataModule>("TDataModule");
    std::unique_ptr<tk::TComponent> back(tk::CreateComponentFromData(data, nullptr));
    auto* l = dynamic_cast<TQVXHiColorImagelib*>(back->FindComponent("QVXHiColorImagelib1"));
    ASSERT_NE(l, nullptr);
    EXPECT_TRUE(l->UseTransparent);
    EXPECT_EQ(l->DesignLeft, 208);
    ASSERT_EQ(l->Count(), 1);
    EXPECT_EQ(l->Images()->Items(0)->Name(), "Image1");
}
