#include "sound_library.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "assetio.h"

namespace qvx {

namespace {
constexpr const char* SInvalidLibrary = "Not a valid Sound Library File";
constexpr const char* SNoTable = "TQVXSounds: GemMem Failed for FSounds";
constexpr const char* SNoData = "TQVXSounds: GemMem Failed for Sound.Data";
constexpr const char* SAssignTable = "TQVXSounds.AssignTo failed (GetMem): ";
constexpr const char* SAssignData = "TQVXSounds.AssignTo failed";
constexpr const char* SLoadFirst = "LoadFromFile must be called first";
constexpr const char* SIndex = "List index out of bounds (%d)";
// Every sound entry holds at least its 44-byte record.
constexpr int64_t kMinEntry = kSoundRecordSize;
// A record's size as the copy message reports it (record and pointer).
constexpr int64_t kSoundMemRecord = 48;
// Form data names the component by class.
const bool registered = (tk::RegisterComponentClass<TQVXSoundLib>("TQVXSoundLib"), true);
}  // namespace

std::string SoundName(const TSoundRec& rec) {
    size_t len = std::min<size_t>(rec.Name[0], sizeof rec.Name - 1);
    return std::string(reinterpret_cast<const char*>(rec.Name + 1), len);
}

// ---- TQVXSounds -----------------------------------------------------------------

TQVXSounds::TQVXSounds() : FHeader{} {}

TQVXSounds::~TQVXSounds() { Clear(); }

void TQVXSounds::Clear() {
    FSounds.clear();
    FSounds.shrink_to_fit();
    FBlocks.Clear();
    FHeader.Count = 0;
}

void TQVXSounds::LoadFromStream(tk::TStream& stream) {
    Clear();
    // Built aside and installed only when complete: a failed load leaves the
    // empty library with the header as read.
    try {
        detail::TChunkReader in(stream);
        in.Read(&FHeader, sizeof FHeader);
        if (!detail::SameSignature(FHeader.Signature, "SL10")) throw tk::Exception(SInvalidLibrary);
        const int32_t count = FHeader.Count;
        if (count == 0) return;
        if (count < 0) throw tk::Exception(SNoTable);
        if (count > in.Remaining() / kMinEntry) throw tk::EReadError(tk::msg::SReadError);
        std::vector<TSoundRec> sounds;
        detail::TBlockArena blocks;
        try {
            sounds.resize(static_cast<size_t>(count));
        } catch (const std::bad_alloc&) {
            throw tk::Exception(SNoTable);
        }
        for (int32_t i = 0; i < count; ++i) {
            TSoundRec& r = sounds[static_cast<size_t>(i)];
            in.Read(&r, kSoundRecordSize);
            r.Data = nullptr;
            if (r.Size <= 0) throw tk::Exception(SNoData);
            if (r.Size > in.Remaining()) throw tk::EReadError(tk::msg::SReadError);
            uint8_t* block = blocks.Allocate(r.Size);
            if (!block) throw tk::Exception(SNoData);
            in.Read(block, r.Size);
            r.Data = block;
        }
        FSounds = std::move(sounds);
        FBlocks = std::move(blocks);
    } catch (...) {
        FHeader.Count = 0;
        throw;
    }
}

void TQVXSounds::SaveToStream(tk::TStream& stream) const {
    detail::TChunkWriter out(stream);
    out.Write(&FHeader, sizeof FHeader);
    for (const TSoundRec& r : FSounds) {
        out.Write(&r, kSoundRecordSize);
        out.Write(r.Data, r.Size);
    }
    out.Flush();
}

void TQVXSounds::LoadFromFile(const std::string& fileName) {
    tk::TFileStream f(fileName, tk::fmOpenRead);
    LoadFromStream(f);
}

void TQVXSounds::GetSound(int index, TSoundRec& rec) const {
    if (index < 0 || static_cast<size_t>(index) >= FSounds.size())
        throw tk::Exception(tk::Format(SIndex, index));
    rec = FSounds[static_cast<size_t>(index)];
}

void TQVXSounds::AssignTo(tk::TPersistent& dest) const {
    auto* d = dynamic_cast<TQVXSounds*>(&dest);
    if (!d) {
        TPersistent::AssignTo(dest);
        return;
    }
    if (d == this) return;  // clearing the destination would empty the source
    d->Clear();
    const int32_t count = Count();
    if (count == 0) return;
    std::vector<TSoundRec> sounds;
    detail::TBlockArena blocks;
    try {
        sounds.resize(static_cast<size_t>(count));
    } catch (const std::bad_alloc&) {
        throw tk::Exception(SAssignTable + std::to_string(static_cast<int64_t>(count) * kSoundMemRecord));
    }
    for (size_t i = 0; i < FSounds.size(); ++i) {
        uint8_t* block = blocks.Allocate(FSounds[i].Size);
        if (!block) throw tk::Exception(SAssignData);
        std::memcpy(block, FSounds[i].Data, static_cast<size_t>(FSounds[i].Size));
        sounds[i] = FSounds[i];
        sounds[i].Data = block;
    }
    d->FHeader = FHeader;
    d->FSounds = std::move(sounds);
    d->FBlocks = std::move(blocks);
}

void TQVXSounds::DefineProperties(tk::TFiler& filer) {
    TPersistent::DefineProperties(filer);
    filer.DefineBinaryProperty(
        "Sounds", [this](tk::TStream& s) { LoadFromStream(s); }, [this](tk::TStream& s) { SaveToStream(s); },
        HasTable());
}

// ---- TQVXSoundLib ---------------------------------------------------------------

TQVXSoundLib::TQVXSoundLib(tk::TComponent* owner)
    : TComponent(owner),
      FSounds(std::make_unique<TQVXSounds>()),
      FData({[this] { return FFileName; }, [this] { return Count(); },
             [this](const std::string& file) { LoadFromFile(file); }, [this] { FSounds->Clear(); }}) {}

TQVXSoundLib::~TQVXSoundLib() = default;

void TQVXSoundLib::SetSounds(const TQVXSounds& source) { FSounds->Assign(source); }

int TQVXSoundLib::Count() const { return FSounds ? FSounds->Count() : 0; }

void TQVXSoundLib::LoadFromFile(const std::string& fileName) {
    const std::string name = fileName;  // the argument may be FFileName itself
    FFileName.clear();
    FSounds->LoadFromFile(name);
    FFileName = name;
}

void TQVXSoundLib::Reload() {
    if (FFileName.empty()) throw tk::Exception(SLoadFirst);
    LoadFromFile(FFileName);
}

void TQVXSoundLib::GetProperties(tk::TPropList& props) {
    TComponent::GetProperties(props);
    props.Object("Sounds", [this]() -> tk::TPersistent* { return FSounds.get(); });
}

}  // namespace qvx
