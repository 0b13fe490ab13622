#include <chrono>
#include <cstring>

#include "assetbytes.h"
#include "qvx/assets/image_library.h"
#include "qvx/assets/sound_library.h"
#include "testutil.h"

using namespace assetbytes;
using namespace testutil;
using qvx::TImgHdr;
using qvx::TQVXImageLib;
using qvx::TQVXImages;

namespace {

// Three images of widths 1, 5 and 8 (rows of 4, 8 and 8 bytes), names with
// bytes after the name that must survive, pad bytes that must survive.
Bytes ThreeImages(const char* sig = "IL10") {
    const uint8_t reserved[4] = {0xDE, 0xAD, 0xBE, 0xEF};
    Bytes b = ImlHeader(sig, 3, reserved);
    ImlImage(b, 1, 3, "dot", 10, 0xA5);
    ImlImage(b, 5, 2, "five", 20, 0x11);
    ImlImage(b, 8, 4, "eight-wide", 30);
    return b;
}

}  // namespace

TEST(ImageLibrary, LoadSaveReproducesEveryByteIncludingPadsNamesAndReserved) {
    for (const char* sig : {"IL10", "il10", "Il10"}) {
        Bytes in = ThreeImages(sig);
        TQVXImages lib;
        LoadBytes(lib, in);
        ASSERT_EQ(lib.Count(), 3) << sig;
        EXPECT_EQ(SaveBytes(lib), in) << sig;
    }
    // Bytes after the last pixel block are not read, and not written back.
    Bytes in = ThreeImages();
    Bytes withTail = in;
    withTail.insert(withTail.end(), {1, 2, 3, 4, 5});
    TQVXImages lib;
    LoadBytes(lib, withTail);
    EXPECT_EQ(SaveBytes(lib), in);
}

TEST(ImageLibrary, RowsArePaddedToMultiplesOfFour) {
    TQVXImages lib;
    LoadBytes(lib, ThreeImages());
    const int widths[] = {1, 5, 8}, heights[] = {3, 2, 4}, strides[] = {4, 8, 8};
    for (int i = 0; i < 3; ++i) {
        TImgHdr h;
        lib.GetImageHeader(i, h);
        EXPECT_EQ(h.Width, widths[i]);
        EXPECT_EQ(h.Height, heights[i]);
        EXPECT_EQ(qvx::ImageBlockSize(h), strides[i] * heights[i]);
    }
    TImgHdr five;
    lib.GetImageHeader(1, five);
    EXPECT_EQ(qvx::ImageName(five), "five");
    EXPECT_EQ(five.Bits[0], 20);          // first pixel
    EXPECT_EQ(five.Bits[4], 24);          // last pixel of row 0
    EXPECT_EQ(five.Bits[5], 0xEE);        // pad of row 0
    EXPECT_EQ(five.Bits[8], 20 + 7);      // row 1 follows the pad
    TImgHdr again;
    lib.GetImageHeader(1, again);
    EXPECT_EQ(again.Bits, five.Bits);  // shared, not copied
    // An index outside the table is refused rather than read past the table.
    EXPECT_EQ(MessageOf([&] { lib.GetImageHeader(3, again); }), "List index out of bounds (3)");
    EXPECT_EQ(MessageOf([&] { lib.GetImageHeader(-1, again); }), "List index out of bounds (-1)");
}

TEST(ImageLibrary, EmptyLibraryAndFreshObject) {
    Bytes empty = ImlHeader("IL10", 0);
    ASSERT_EQ(empty.size(), 1036u);
    TQVXImages lib;
    LoadBytes(lib, empty);
    EXPECT_EQ(lib.Count(), 0);
    EXPECT_FALSE(lib.HasTable());
    EXPECT_EQ(SaveBytes(lib), empty);

    // Never loaded: the header is all zero, signature included.
    TQVXImages fresh;
    EXPECT_EQ(SaveBytes(fresh), Bytes(1036, 0));
}

TEST(ImageLibrary, ClearKeepsSignatureReservedBytesAndPalette) {
    TQVXImages lib;
    Bytes in = ThreeImages("il10");
    LoadBytes(lib, in);
    lib.Clear();
    EXPECT_EQ(lib.Count(), 0);
    Bytes expect(in.begin(), in.begin() + 1036);
    expect[4] = 0;  // the count
    EXPECT_EQ(SaveBytes(lib), expect);
}

TEST(ImageLibrary, BadInputFailsWithItsMessageAndLeavesTheEmptyLibrary) {
    struct Case {
        const char* what;
        Bytes bytes;
        const char* message;
    };
    auto image = [](int32_t w, int32_t h, bool truncate = false) {
        Bytes b = ImlHeader("IL10", 2);
        ImlImage(b, 4, 1, "ok");
        ImlImage(b, w, h, "bad");
        if (truncate) b.pop_back();
        return b;
    };
    Bytes shortHeader = ImlHeader("IL10", 0);
    shortHeader.resize(1035);
    Bytes huge = ImlHeader("IL10", 2000000000);
    huge.resize(2048, 7);
    Bytes hugeImage = ImlHeader("IL10", 1);
    Put32(hugeImage, 0x7FFFFFFF);
    Put32(hugeImage, 0x7FFFFFFF);
    PutName(hugeImage, "x", 12);
    const std::vector<Case> cases = {
        {"signature", ImlHeader("IL11", 0), "Not a valid Image Library File"},
        {"short header", shortHeader, "Stream read error"},
        {"negative count", ImlHeader("IL10", -1), "TQVXImage: GemMem Failed for FImages"},
        {"count beyond the bytes", huge, "Stream read error"},
        {"missing image", ImlHeader("IL10", 1), "Stream read error"},
        {"width 0", image(0, 3), "TQVXImage: GemMem Failed for ImgHdr.Bits"},
        {"height 0", image(3, 0), "TQVXImage: GemMem Failed for ImgHdr.Bits"},
        {"negative width", image(-100, 3), "TQVXImage: GemMem Failed for ImgHdr.Bits"},
        {"negative width and height", image(-100, -5), "TQVXImage: GemMem Failed for ImgHdr.Bits"},
        {"truncated pixels", image(5, 5, true), "Stream read error"},
        {"pixel block beyond the bytes", hugeImage, "Stream read error"},
    };
    for (const Case& c : cases) {
        TQVXImages lib;
        LoadBytes(lib, ThreeImages());  // a full library first: the failure must empty it
        auto t0 = std::chrono::steady_clock::now();
        EXPECT_EQ(MessageOf([&] { LoadBytes(lib, c.bytes); }), c.message) << c.what;
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1)) << c.what;
        EXPECT_EQ(lib.Count(), 0) << c.what;
        EXPECT_FALSE(lib.HasTable()) << c.what;
        EXPECT_EQ(SaveBytes(lib).size(), 1036u) << c.what;
    }
}

TEST(ImageLibrary, FailedLoadKeepsTheHeaderAsReadWithCountZero) {
    Bytes b = ImlHeader("il10", 2);
    ImlImage(b, 4, 1, "ok");
    TQVXImages lib;
    EXPECT_EQ(MessageOf([&] { LoadBytes(lib, b); }), "Stream read error");
    Bytes expect(b.begin(), b.begin() + 1036);
    expect[4] = 0;
    EXPECT_EQ(SaveBytes(lib), expect);
}

TEST(ImageLibrary, AssignCopiesDeeply) {
    TQVXImages a, b;
    LoadBytes(a, ThreeImages());
    b.Assign(a);
    EXPECT_EQ(SaveBytes(b), SaveBytes(a));
    TImgHdr ha, hb;
    a.GetImageHeader(2, ha);
    b.GetImageHeader(2, hb);
    EXPECT_NE(ha.Bits, hb.Bits);
    a.Clear();  // b keeps its own pixels
    EXPECT_EQ(SaveBytes(b), ThreeImages());

    // Self-assignment keeps the library.
    b.Assign(b);
    EXPECT_EQ(SaveBytes(b), ThreeImages());
}

TEST(ImageLibrary, AssigningAnEmptyLibraryEmptiesButKeepsTheDestinationHeader) {
    TQVXImages full, empty;
    LoadBytes(full, ThreeImages());
    full.Assign(empty);
    EXPECT_EQ(full.Count(), 0);
    EXPECT_FALSE(full.HasTable());
    Bytes expect = ThreeImages();
    expect.resize(1036);
    expect[4] = 0;
    EXPECT_EQ(SaveBytes(full), expect);
}

TEST(ImageLibrary, AssignAcrossClassesRaisesTheConversionError) {
    TQVXImages images;
    qvx::TQVXSounds sounds;
    EXPECT_EQ(MessageOf([&] { sounds.Assign(images); }), "Cannot assign a TQVXImages to a TQVXSounds");
    EXPECT_EQ(MessageOf([&] { images.Assign(sounds); }), "Cannot assign a TQVXSounds to a TQVXImages");
}

TEST(ImageLibrary, BinaryPropertyIsStoredOnlyWithATable) {
    TQVXImages lib;
    RecordingFiler before;
    lib.DefineProperties(before);
    ASSERT_EQ(before.binaries.size(), 1u);
    EXPECT_EQ(before.binaries[0].name, "Images");
    EXPECT_FALSE(before.binaries[0].hasData);

    LoadBytes(lib, ThreeImages());
    RecordingFiler filer;
    lib.DefineProperties(filer);
    ASSERT_TRUE(filer.binaries[0].hasData);
    tk::TMemoryStream m;
    filer.binaries[0].write(m);
    EXPECT_EQ(m.Bytes(), ThreeImages());

    TQVXImages back;
    RecordingFiler reader;
    back.DefineProperties(reader);
    m.SetPosition(0);
    reader.binaries[0].read(m);
    EXPECT_EQ(SaveBytes(back), ThreeImages());
}

TEST(ImageLibraryComponent, FileNameReloadAndFailedLoads) {
    std::string dir = TempDir("imagelib");
    std::string path = dir + "/lib.iml";
    Bytes first = ThreeImages();
    tk::WriteFileBytes(path, first.data(), first.size());

    TQVXImageLib lib(nullptr);
    EXPECT_FALSE(lib.HasFileName());
    EXPECT_EQ(lib.Count(), 0);
    EXPECT_EQ(MessageOf([&] { lib.Reload(); }), "LoadFromFile must be called first");

    lib.LoadFromFile(path);
    EXPECT_EQ(lib.FileName(), path);
    EXPECT_EQ(lib.Count(), 3);

    // Reload reads the file again: the runtime clears the images after
    // making surfaces and reloads them when the surfaces are lost.
    lib.Images()->Clear();
    Bytes second = ImlHeader("IL10", 1);
    ImlImage(second, 2, 2, "new");
    tk::WriteFileBytes(path, second.data(), second.size());
    lib.Reload();
    EXPECT_EQ(lib.FileName(), path);
    EXPECT_EQ(SaveBytes(*lib.Images()), second);

    // A failed load leaves no file name and the empty library.
    Bytes bad = ImlHeader("XX10", 0);
    tk::WriteFileBytes(path, bad.data(), bad.size());
    EXPECT_EQ(MessageOf([&] { lib.Reload(); }), "Not a valid Image Library File");
    EXPECT_FALSE(lib.HasFileName());
    EXPECT_EQ(lib.Count(), 0);
    EXPECT_EQ(MessageOf([&] { lib.Reload(); }), "LoadFromFile must be called first");

    std::string missing = dir + "/missing.iml";
    EXPECT_EQ(MessageOf([&] { lib.LoadFromFile(missing); }), "Cannot open file " + missing);
    EXPECT_FALSE(lib.HasFileName());
    std::filesystem::remove_all(dir);
}

// The one rule for libraries that give their data up to surfaces or
// buffers: given up only when it came from a file, read again when needed,
// and a file that has gone is an error every time, never an empty library.
TEST(ImageLibraryComponent, GivesFileDataUpAndReadsItBackWhenNeeded) {
    std::string dir = TempDir("givenup");
    std::string path = dir + "/lib.iml";
    Bytes bytes = ThreeImages();
    tk::WriteFileBytes(path, bytes.data(), bytes.size());

    TQVXImageLib inMemory(nullptr);
    LoadBytes(*inMemory.Images(), bytes);
    inMemory.Data().Built();  // nothing could bring it back: kept
    EXPECT_EQ(inMemory.Count(), 3);
    EXPECT_FALSE(inMemory.Data().GivenUp());

    TQVXImageLib lib(nullptr);
    lib.LoadFromFile(path);
    lib.Data().Need();  // holds its data: nothing read
    lib.Data().Built();
    EXPECT_EQ(lib.Count(), 0);
    EXPECT_TRUE(lib.Data().GivenUp());
    lib.Data().Need();
    EXPECT_EQ(SaveBytes(*lib.Images()), bytes);
    lib.Data().Need();  // a second user before the first is done: still held
    EXPECT_EQ(lib.Count(), 3);

    lib.Data().Built();
    std::filesystem::remove(path);
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_EQ(MessageOf([&] { lib.Data().Need(); }), "Cannot open file " + path);
        EXPECT_TRUE(lib.Data().GivenUp());
    }
    tk::WriteFileBytes(path, bytes.data(), bytes.size());
    lib.Data().Need();
    EXPECT_EQ(lib.Count(), 3);
    EXPECT_EQ(lib.FileName(), path);

    // Items put in after giving up are the library's now: not read over.
    lib.Data().Built();
    Bytes other = ImlHeader("IL10", 1);
    ImlImage(other, 2, 2, "new");
    LoadBytes(*lib.Images(), other);
    lib.Data().Need();
    EXPECT_EQ(SaveBytes(*lib.Images()), other);
    std::filesystem::remove_all(dir);
}

TEST(ImageLibraryComponent, PublishesImagesAndIsRegistered) {
    const tk::TComponentFactory* factory = tk::FindComponentClass("TQVXImageLib");
    ASSERT_NE(factory, nullptr);
    tk::TComponent owner(nullptr);
    tk::TComponent* made = (*factory)(&owner);
    auto* lib = dynamic_cast<TQVXImageLib*>(made);
    ASSERT_NE(lib, nullptr);
    EXPECT_EQ(owner.ComponentCount(), 1);
    tk::TPropList props;
    lib->GetProperties(props);
    tk::TPropInfo* p = props.Find("Images");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->Kind, tk::TPropKind::Class);
    EXPECT_EQ(p->GetObject(), lib->Images());

    // Assigning through the property copies into the owned object.
    TQVXImages source;
    LoadBytes(source, ThreeImages());
    TQVXImages* before = lib->Images();
    lib->SetImages(source);
    EXPECT_EQ(lib->Images(), before);
    EXPECT_EQ(lib->Count(), 3);
}
