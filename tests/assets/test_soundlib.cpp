#include "assetbytes.h"
#include "qvx/assets/map_library.h"
#include "qvx/assets/sound_library.h"
#include "testutil.h"

using namespace assetbytes;
using namespace testutil;
using qvx::TQVXSoundLib;
using qvx::TQVXSounds;
using qvx::TSoundRec;

namespace {

Bytes TwoSounds(const char* sig = "SL10") {
    Bytes b = SdlHeader(sig, 2);
    SdlSound(b, "boom", -2500, -300, 7, 0xC1, 0xC2, 0x99);
    SdlSound(b, "a-long-name", 10000, 0, 1);
    return b;
}

}  // namespace

TEST(SoundLibrary, LoadSaveReproducesEveryByte) {
    for (const char* sig : {"SL10", "sl10", "sL10"}) {
        TQVXSounds lib;
        LoadBytes(lib, TwoSounds(sig));
        ASSERT_EQ(lib.Count(), 2) << sig;
        EXPECT_EQ(SaveBytes(lib), TwoSounds(sig)) << sig;
    }
    TQVXSounds lib;
    LoadBytes(lib, TwoSounds());
    TSoundRec r;
    lib.GetSound(0, r);
    EXPECT_EQ(qvx::SoundName(r), "boom");
    EXPECT_EQ(r.Format.wFormatTag, 1);
    EXPECT_EQ(r.Format.nSamplesPerSec, 11025u);
    EXPECT_EQ(r.Format.Carried[0], 0xC1);
    EXPECT_EQ(r.Pan, -2500);
    EXPECT_EQ(r.Volume, -300);
    EXPECT_EQ(r.Size, 7);
    EXPECT_EQ(r.Data[6], 6 * 3 + 1);
}

TEST(SoundLibrary, EmptyFileAndFreshObject) {
    TQVXSounds lib;
    LoadBytes(lib, SdlHeader("SL10", 0));
    EXPECT_EQ(lib.Count(), 0);
    EXPECT_FALSE(lib.HasTable());
    EXPECT_EQ(SaveBytes(lib), SdlHeader("SL10", 0));
    TQVXSounds fresh;
    EXPECT_EQ(SaveBytes(fresh), Bytes(8, 0));
}

TEST(SoundLibrary, BadInputFailsWithItsMessageAndLeavesTheEmptyLibrary) {
    struct Case {
        const char* what;
        Bytes bytes;
        const char* message;
    };
    // Two sounds; the second's size field patched to `size`, its samples
    // `stored` bytes long.
    auto second = [](int32_t size, int32_t stored) {
        Bytes b = SdlHeader("SL10", 2);
        SdlSound(b, "ok", 0, 0, 4);
        SdlSound(b, "bad", 0, 0, stored);
        size_t field = b.size() - static_cast<size_t>(stored) - 4;
        for (int i = 0; i < 4; ++i) b[field + i] = static_cast<uint8_t>(static_cast<uint32_t>(size) >> (8 * i));
        return b;
    };
    Bytes huge = SdlHeader("SL10", 2000000000);
    huge.resize(2048, 1);
    Bytes shortHeader = {'S', 'L', '1', '0', 1, 0, 0};
    const std::vector<Case> cases = {
        {"signature", SdlHeader("SL01", 0), "Not a valid Sound Library File"},
        {"short header", shortHeader, "Stream read error"},
        {"negative count", SdlHeader("SL10", -3), "TQVXSounds: GemMem Failed for FSounds"},
        {"count beyond the bytes", huge, "Stream read error"},
        {"size 0", second(0, 0), "TQVXSounds: GemMem Failed for Sound.Data"},
        {"negative size", second(-44, 0), "TQVXSounds: GemMem Failed for Sound.Data"},
        {"truncated samples", second(100, 99), "Stream read error"},
        {"size beyond the bytes", second(0x7FFFFFFF, 16), "Stream read error"},
    };
    for (const Case& c : cases) {
        TQVXSounds lib;
        LoadBytes(lib, TwoSounds());
        EXPECT_EQ(MessageOf([&] { LoadBytes(lib, c.bytes); }), c.message) << c.what;
        EXPECT_EQ(lib.Count(), 0) << c.what;
        EXPECT_FALSE(lib.HasTable()) << c.what;
        EXPECT_EQ(SaveBytes(lib).size(), 8u) << c.what;
    }
}

TEST(SoundLibrary, AssignCopiesDeeplyAndChecksTheClass) {
    TQVXSounds a, b;
    LoadBytes(a, TwoSounds("sl10"));
    b.Assign(a);
    TSoundRec ra, rb;
    a.GetSound(1, ra);
    b.GetSound(1, rb);
    EXPECT_NE(ra.Data, rb.Data);
    a.Clear();
    EXPECT_EQ(SaveBytes(b), TwoSounds("sl10"));
    b.Assign(b);
    EXPECT_EQ(b.Count(), 2);
    b.Assign(a);  // a is empty now
    EXPECT_EQ(b.Count(), 0);
    EXPECT_EQ(SaveBytes(b), SdlHeader("sl10", 0));

    qvx::TQVXMaps maps;
    EXPECT_EQ(MessageOf([&] { maps.Assign(a); }), "Cannot assign a TQVXSounds to a TQVXMaps");
}

TEST(SoundLibrary, BinaryPropertyIsStoredOnlyWithATable) {
    TQVXSounds lib;
    RecordingFiler empty;
    lib.DefineProperties(empty);
    ASSERT_EQ(empty.binaries.size(), 1u);
    EXPECT_EQ(empty.binaries[0].name, "Sounds");
    EXPECT_FALSE(empty.binaries[0].hasData);
    LoadBytes(lib, TwoSounds());
    RecordingFiler full;
    lib.DefineProperties(full);
    EXPECT_TRUE(full.binaries[0].hasData);
    tk::TMemoryStream m;
    full.binaries[0].write(m);
    EXPECT_EQ(m.Bytes(), TwoSounds());
}

TEST(SoundLibraryComponent, FileNameReloadAndFailedLoads) {
    std::string dir = TempDir("soundlib");
    std::string path = dir + "/lib.sdl";
    Bytes bytes = TwoSounds();
    tk::WriteFileBytes(path, bytes.data(), bytes.size());

    TQVXSoundLib lib(nullptr);
    EXPECT_EQ(MessageOf([&] { lib.Reload(); }), "LoadFromFile must be called first");
    lib.LoadFromFile(path);
    EXPECT_TRUE(lib.HasFileName());
    // The audio component clears file-backed sounds and reloads them later.
    lib.Sounds()->Clear();
    EXPECT_EQ(lib.Count(), 0);
    lib.Reload();
    EXPECT_EQ(SaveBytes(*lib.Sounds()), bytes);

    Bytes bad = SdlHeader("SL10", 1);
    SdlSound(bad, "zero", 0, 0, 0);
    tk::WriteFileBytes(path, bad.data(), bad.size());
    EXPECT_EQ(MessageOf([&] { lib.Reload(); }), "TQVXSounds: GemMem Failed for Sound.Data");
    EXPECT_FALSE(lib.HasFileName());
    EXPECT_EQ(lib.Count(), 0);

    ASSERT_NE(tk::FindComponentClass("TQVXSoundLib"), nullptr);
    tk::TPropList props;
    lib.GetProperties(props);
    ASSERT_NE(props.Find("Sounds"), nullptr);
    EXPECT_EQ(props.Find("Sounds")->GetObject(), lib.Sounds());
    std::filesystem::remove_all(dir);
}
