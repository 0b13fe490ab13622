// The libraries as components in form data: written with their owner and
// read back through the class registry.
#include <algorithm>

#include "assetbytes.h"
#include "qvx/assets/image_library.h"
#include "qvx/assets/map_library.h"
#include "qvx/assets/sound_library.h"
#include "testutil.h"
#include "toolkit/formtext.h"
#include "toolkit/propstream.h"

using namespace assetbytes;
using namespace testutil;

namespace {

Bytes Images() {
    const uint8_t reserved[4] = {9, 8, 7, 6};
    Bytes b = ImlHeader("il10", 2, reserved);
    ImlImage(b, 5, 3, "five", 1, 0x3C);
    ImlImage(b, 1, 1, "one", 2);
    return b;
}
Bytes Sounds() {
    Bytes b = SdlHeader("SL10", 1);
    SdlSound(b, "boom", -100, -200, 9, 0xC1, 0xC2, 0x77);
    return b;
}
Bytes Maps() {
    Bytes b = MapHeader("ML01", 1);
    MapEntry(b, "one", 2, 2, 4);
    MapEntry(b, "none", 0, 0, 0);
    return b;
}

// The binary value as the property stream holds it: tag 10, 32-bit length, bytes.
Bytes BinaryValue(const Bytes& body) {
    Bytes b = {10};
    Put32(b, static_cast<int32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

bool Contains(const Bytes& hay, const Bytes& needle) {
    return std::search(hay.begin(), hay.end(), needle.begin(), needle.end()) != hay.end();
}
size_t CountOf(const Bytes& hay, const std::string& s) {
    size_t n = 0;
    for (auto it = hay.begin(); (it = std::search(it, hay.end(), s.begin(), s.end())) != hay.end(); ++it) ++n;
    return n;
}

}  // namespace

TEST(FormData, LibrariesRoundTripAsNestedBinaryProperties) {
    std::string dir = TempDir("formdata");
    std::string path = dir + "/images.iml";
    Bytes images = Images();
    tk::WriteFileBytes(path, images.data(), images.size());

    tk::TDataModule module(nullptr);
    module.SetName("Module1");
    auto* il = new qvx::TQVXImageLib(&module);
    il->SetName("ImageLib1");
    il->LoadFromFile(path);
    auto* sl = new qvx::TQVXSoundLib(&module);
    sl->SetName("SoundLib1");
    LoadBytes(*sl->Sounds(), Sounds());
    auto* ml = new qvx::TQVXMapLib(&module);
    ml->SetName("MapLib1");
    LoadBytes(*ml->MapLib(), Maps());
    auto* empty = new qvx::TQVXImageLib(&module);
    empty->SetName("EmptyLib1");

    Bytes data = tk::WriteComponentData(module);
    // Each library's bytes are exactly its file, under the nested name;
    // the empty library stores nothing.
    EXPECT_TRUE(Contains(data, BinaryValue(images)));
    EXPECT_TRUE(Contains(data, BinaryValue(Sounds())));
    EXPECT_TRUE(Contains(data, BinaryValue(Maps())));
    EXPECT_EQ(CountOf(data, "Images.Images"), 1u);
    EXPECT_EQ(CountOf(data, "Sounds.Sounds"), 1u);
    EXPECT_EQ(CountOf(data, "MapLib.MapLib"), 1u);

    tk::TDataModule back(nullptr);
    tk::ReadComponentData(data, back);
    ASSERT_EQ(back.ComponentCount(), 4);
    auto* il2 = dynamic_cast<qvx::TQVXImageLib*>(back.FindComponent("ImageLib1"));
    auto* sl2 = dynamic_cast<qvx::TQVXSoundLib*>(back.FindComponent("SoundLib1"));
    auto* ml2 = dynamic_cast<qvx::TQVXMapLib*>(back.FindComponent("MapLib1"));
    auto* empty2 = dynamic_cast<qvx::TQVXImageLib*>(back.FindComponent("EmptyLib1"));
    ASSERT_TRUE(il2 && sl2 && ml2 && empty2);
    EXPECT_EQ(SaveBytes(*il2->Images()), images);
    EXPECT_EQ(SaveBytes(*sl2->Sounds()), Sounds());
    EXPECT_EQ(SaveBytes(*ml2->MapLib()), Maps());
    EXPECT_EQ(empty2->Count(), 0);
    EXPECT_FALSE(empty2->Images()->HasTable());
    // Filled from form data: no file to reload from.
    EXPECT_FALSE(il2->HasFileName());
    EXPECT_FALSE(sl2->HasFileName());
    EXPECT_EQ(MessageOf([&] { il2->Reload(); }), "LoadFromFile must be called first");

    // Written again, the data is the same; so is it through the text form.
    EXPECT_EQ(tk::WriteComponentData(back), data);
    EXPECT_EQ(tk::FormTextToData(tk::FormDataToText(data)), data);
    std::filesystem::remove_all(dir);
}

TEST(FormData, ABadLibraryInFormDataReportsTheLibraryMessage) {
    tk::TDataModule module(nullptr);
    module.SetName("Module1");
    auto* sl = new qvx::TQVXSoundLib(&module);
    sl->SetName("SoundLib1");
    LoadBytes(*sl->Sounds(), Sounds());
    Bytes data = tk::WriteComponentData(module);
    // Make the stored sound's size 0.
    Bytes sounds = Sounds();
    auto at = std::search(data.begin(), data.end(), sounds.begin(), sounds.end());
    ASSERT_NE(at, data.end());
    std::fill(at + 8 + 40, at + 8 + 44, 0);

    tk::TDataModule back(nullptr);
    std::string message = MessageOf([&] { tk::ReadComponentData(data, back); });
    EXPECT_NE(message.find("TQVXSounds: GemMem Failed for Sound.Data"), std::string::npos) << message;
    auto* sl2 = dynamic_cast<qvx::TQVXSoundLib*>(back.FindComponent("SoundLib1"));
    ASSERT_NE(sl2, nullptr);
    EXPECT_EQ(sl2->Count(), 0);
    EXPECT_FALSE(sl2->Sounds()->HasTable());
}
