#include "assetbytes.h"
#include "qvx/assets/map_library.h"
#include "testutil.h"

using namespace assetbytes;
using namespace testutil;
using qvx::TMapRec;
using qvx::TQVXMapLib;
using qvx::TQVXMaps;

namespace {

// Three maps, the middle one without data; reserved bytes and the bytes
// after each name are not zero.
Bytes ThreeMaps(const char* sig = "ML01") {
    Bytes b = MapHeader(sig, 2);
    MapEntry(b, "level-one", 4, 3, 12, 0x12345678, 0xAB);
    MapEntry(b, "empty", 0, 0, 0, -1);
    MapEntry(b, "fifteen-chars-x", 2, 2, 8, 7);
    return b;
}

// What writing ThreeMaps back gives: "ML01" and zero reserved bytes. A copy
// also sets the bytes after each name to 0.
Bytes ThreeMapsWritten(uint8_t nameFill = 0xAB) {
    Bytes b = MapHeader("ML01", 2);
    MapEntry(b, "level-one", 4, 3, 12, 0, nameFill);
    MapEntry(b, "empty", 0, 0, 0, 0);
    MapEntry(b, "fifteen-chars-x", 2, 2, 8, 0);
    return b;
}

}  // namespace

TEST(MapLibrary, ReadWriteRewritesSignatureAndReservedBytesOnly) {
    for (const char* sig : {"ML01", "ml01", "JUNK"}) {
        TQVXMaps lib;
        LoadBytes(lib, ThreeMaps(sig));
        EXPECT_EQ(lib.HighIndex(), 2) << sig;
        EXPECT_EQ(SaveBytes(lib), ThreeMapsWritten()) << sig;
    }
    TQVXMaps lib;
    LoadBytes(lib, ThreeMaps());
    TMapRec m;
    lib.GetMap(1, m);
    EXPECT_EQ(qvx::MapName(m), "empty");
    EXPECT_EQ(m.Size, 0);
    EXPECT_EQ(m.Data, nullptr);
    lib.GetMap(0, m);
    EXPECT_EQ(m.Width, 4);
    EXPECT_EQ(m.Height, 3);
    EXPECT_EQ(m.Data[11], 11 ^ 0x5A);
}

TEST(MapLibrary, NegativeHighestIndexIsEmptyAndZeroIsOneMap) {
    for (int32_t high : {-1, -5, INT32_MIN}) {
        TQVXMaps lib;
        LoadBytes(lib, ThreeMaps());
        LoadBytes(lib, MapHeader("ML01", high));
        EXPECT_EQ(lib.HighIndex(), -1);
        EXPECT_FALSE(lib.HasTable());
        EXPECT_EQ(SaveBytes(lib), MapHeader("ML01", -1));
    }
    Bytes one = MapHeader("ML01", 0);
    MapEntry(one, "only", 1, 1, 1);
    TQVXMaps lib;
    LoadBytes(lib, one);
    EXPECT_EQ(lib.Count(), 1);
    EXPECT_EQ(SaveBytes(lib), one);
    TQVXMaps fresh;
    EXPECT_EQ(SaveBytes(fresh), MapHeader("ML01", -1));
}

TEST(MapLibrary, ShortOrImpossibleInputIsAStreamReadErrorAndLeavesTheEmptyLibrary) {
    Bytes huge = MapHeader("ML01", 2000000000);
    huge.resize(2048, 3);
    Bytes maxHigh = MapHeader("ML01", INT32_MAX);
    Bytes negSize = MapHeader("ML01", 0);
    MapEntry(negSize, "neg", 1, 1, 0);
    negSize[8 + 24] = 0xFF, negSize[8 + 25] = 0xFF, negSize[8 + 26] = 0xFF, negSize[8 + 27] = 0xFF;
    Bytes truncated = ThreeMaps();
    truncated.pop_back();
    Bytes bigSize = MapHeader("ML01", 0);
    MapEntry(bigSize, "big", 1, 1, 0);
    bigSize[8 + 27] = 0x7F;
    for (const Bytes& b : {Bytes{'M', 'L', '0', '1', 0}, huge, maxHigh, negSize, truncated, bigSize}) {
        TQVXMaps lib;
        LoadBytes(lib, ThreeMaps());
        EXPECT_EQ(MessageOf([&] { LoadBytes(lib, b); }), "Stream read error");
        EXPECT_EQ(lib.HighIndex(), -1);
        EXPECT_FALSE(lib.HasTable());
    }
}

TEST(MapLibrary, AssignCopiesDeeplyAndNamesAsShortStrings) {
    Bytes src = MapHeader("ML01", 1);
    MapEntry(src, "abc", 1, 2, 3, 0, 0xCC);  // bytes after the name carry nothing
    MapEntry(src, "", 0, 0, 0);
    src[8 + 32 + 3] = 200;  // second map: a length byte above 15
    TQVXMaps a, b;
    LoadBytes(a, src);
    b.Assign(a);
    Bytes expect = MapHeader("ML01", 1);
    MapEntry(expect, "abc", 1, 2, 3, 0, 0);
    PutName(expect, std::string(15, '\0'), 16);
    Put32(expect, 0), Put32(expect, 0), Put32(expect, 0), Put32(expect, 0);
    // The second name: 15 characters taken from the record (all zero here).
    EXPECT_EQ(SaveBytes(b), expect);
    TMapRec ma, mb;
    a.GetMap(0, ma);
    b.GetMap(0, mb);
    EXPECT_NE(ma.Data, mb.Data);
    b.GetMap(1, mb);
    EXPECT_EQ(mb.Data, nullptr);
    a.Clear();
    EXPECT_EQ(b.Count(), 2);
    b.Assign(b);
    EXPECT_EQ(b.Count(), 2);
    b.Assign(a);
    EXPECT_EQ(b.HighIndex(), -1);
}

TEST(MapLibrary, BinaryPropertyAndComponent) {
    TQVXMapLib comp(nullptr);
    RecordingFiler empty;
    comp.MapLib()->DefineProperties(empty);
    ASSERT_EQ(empty.binaries.size(), 1u);
    EXPECT_EQ(empty.binaries[0].name, "MapLib");
    EXPECT_FALSE(empty.binaries[0].hasData);

    TQVXMaps source;
    LoadBytes(source, ThreeMaps("XXXX"));
    TQVXMaps* before = comp.MapLib();
    comp.SetMapLib(source);
    EXPECT_EQ(comp.MapLib(), before);
    RecordingFiler full;
    comp.MapLib()->DefineProperties(full);
    EXPECT_TRUE(full.binaries[0].hasData);
    tk::TMemoryStream m;
    full.binaries[0].write(m);
    EXPECT_EQ(m.Bytes(), ThreeMapsWritten(0));

    ASSERT_NE(tk::FindComponentClass("TQVXMapLib"), nullptr);
    tk::TPropList props;
    comp.GetProperties(props);
    ASSERT_NE(props.Find("MapLib"), nullptr);
    EXPECT_EQ(props.Find("MapLib")->GetObject(), comp.MapLib());
}
