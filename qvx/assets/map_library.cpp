#include "map_library.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "assetio.h"

namespace qvx {

namespace {
constexpr const char* SAssignTable = "TQVXMaps.AssignTo failed (GetMem)";
constexpr const char* SIndex = "List index out of bounds (%d)";
constexpr const char kSignature[4] = {'M', 'L', '0', '1'};
constexpr int kNameChars = 15;
// Form data names the component by class.
const bool registered = (tk::RegisterComponentClass<TQVXMapLib>("TQVXMapLib"), true);
}  // namespace

std::string MapName(const TMapRec& rec) {
    size_t len = std::min<size_t>(rec.Name[0], kNameChars);
    return std::string(reinterpret_cast<const char*>(rec.Name + 1), len);
}

// ---- TQVXMaps --------------------------------------------------------------------

TQVXMaps::TQVXMaps() = default;

TQVXMaps::~TQVXMaps() { Clear(); }

void TQVXMaps::Clear() {
    FMaps.clear();
    FMaps.shrink_to_fit();
    FBlocks.Clear();
    FHighIndex = -1;
}

void TQVXMaps::LoadFromStream(tk::TStream& stream) {
    Clear();
    detail::TChunkReader in(stream);
    char signature[4];
    in.Read(signature, 4);  // any four bytes are accepted
    int32_t high = 0;
    in.Read(&high, 4);
    if (high < 0) return;
    const int64_t count = int64_t{high} + 1;
    // Built aside and installed only when complete: a failed read leaves the
    // empty library (no table, highest index -1).
    if (count > in.Remaining() / kMapRecordSize) throw tk::EReadError(tk::msg::SReadError);
    std::vector<TMapRec> maps;
    detail::TBlockArena blocks;
    maps.resize(static_cast<size_t>(count));
    for (auto& m : maps) {
        uint8_t raw[kMapRecordSize];
        in.Read(raw, kMapRecordSize);
        std::memcpy(&m, raw, 28);
        m.Data = nullptr;
        // A negative size is more than any stream holds.
        if (m.Size < 0 || m.Size > in.Remaining()) throw tk::EReadError(tk::msg::SReadError);
        if (m.Size == 0) continue;
        uint8_t* block = blocks.Allocate(m.Size);
        if (!block) throw tk::EOutOfMemory(tk::msg::SOutOfMemory);
        in.Read(block, m.Size);
        m.Data = block;
    }
    FMaps = std::move(maps);
    FBlocks = std::move(blocks);
    FHighIndex = high;
}

void TQVXMaps::SaveToStream(tk::TStream& stream) const {
    detail::TChunkWriter out(stream);
    out.Write(kSignature, 4);
    out.Write(&FHighIndex, 4);
    for (const TMapRec& m : FMaps) {
        uint8_t raw[kMapRecordSize] = {};
        std::memcpy(raw, &m, 28);
        out.Write(raw, kMapRecordSize);
        if (m.Size > 0) out.Write(m.Data, m.Size);
    }
    out.Flush();
}

void TQVXMaps::GetMap(int index, TMapRec& rec) const {
    if (index < 0 || static_cast<size_t>(index) >= FMaps.size())
        throw tk::Exception(tk::Format(SIndex, index));
    rec = FMaps[static_cast<size_t>(index)];
}

void TQVXMaps::AssignTo(tk::TPersistent& dest) const {
    auto* d = dynamic_cast<TQVXMaps*>(&dest);
    if (!d) {
        TPersistent::AssignTo(dest);
        return;
    }
    if (d == this) return;  // clearing the destination would empty the source
    d->Clear();
    if (FHighIndex < 0) return;
    std::vector<TMapRec> maps;
    detail::TBlockArena blocks;
    try {
        maps.resize(FMaps.size());
    } catch (const std::bad_alloc&) {
        throw tk::Exception(SAssignTable);
    }
    for (size_t i = 0; i < FMaps.size(); ++i) {
        const TMapRec& s = FMaps[i];
        TMapRec& m = maps[i];
        // The name is copied as a string of at most 15 characters; the bytes
        // after it carry nothing and become 0.
        std::memset(m.Name, 0, sizeof m.Name);
        const int len = std::min<int>(s.Name[0], kNameChars);
        m.Name[0] = static_cast<uint8_t>(len);
        std::memcpy(m.Name + 1, s.Name + 1, static_cast<size_t>(len));
        m.Width = s.Width;
        m.Height = s.Height;
        m.Size = s.Size;
        m.Data = nullptr;
        if (s.Size > 0) {
            uint8_t* block = blocks.Allocate(s.Size);
            if (!block) throw tk::EOutOfMemory(tk::msg::SOutOfMemory);
            std::memcpy(block, s.Data, static_cast<size_t>(s.Size));
            m.Data = block;
        }
    }
    d->FMaps = std::move(maps);
    d->FBlocks = std::move(blocks);
    d->FHighIndex = FHighIndex;
}

void TQVXMaps::DefineProperties(tk::TFiler& filer) {
    TPersistent::DefineProperties(filer);
    filer.DefineBinaryProperty(
        "MapLib", [this](tk::TStream& s) { LoadFromStream(s); }, [this](tk::TStream& s) { SaveToStream(s); },
        HasTable());
}

// ---- TQVXMapLib ------------------------------------------------------------------

TQVXMapLib::TQVXMapLib(tk::TComponent* owner) : TComponent(owner), FMapLib(std::make_unique<TQVXMaps>()) {}

TQVXMapLib::~TQVXMapLib() = default;

void TQVXMapLib::SetMapLib(const TQVXMaps& source) { FMapLib->Assign(source); }

void TQVXMapLib::GetProperties(tk::TPropList& props) {
    TComponent::GetProperties(props);
    props.Object("MapLib", [this]() -> tk::TPersistent* { return FMapLib.get(); });
}

}  // namespace qvx
