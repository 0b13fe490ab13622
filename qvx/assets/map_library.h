// Map library: named blocks of map data with a width and a height, carried
// without interpretation; the persistent container TQVXMaps and the
// component TQVXMapLib.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "qvx/assets/assetio.h"
#include "toolkit/classes.h"

namespace qvx {

// One map. The first 28 bytes are the file record (4 reserved bytes follow
// it in the file); Data points at the block the library owns.
struct TMapRec {
    uint8_t Name[16];  // length byte, then up to 15 characters
    int32_t Width;
    int32_t Height;
    int32_t Size;      // bytes of map data
    uint8_t* Data;     // null when Size is 0
};
constexpr int kMapRecordSize = 32;  // in the file, reserved bytes included

// The map's name decoded from its length byte (at most 15 characters).
std::string MapName(const TMapRec& rec);

/// A map library: named blocks of map data with a width and a height,
/// carried as they are; what a cell means is the game's.
class TQVXMaps : public tk::TPersistent {
public:
    TK_CLASSNAME(TQVXMaps)
    TQVXMaps();
    ~TQVXMaps() override;

    void LoadFromStream(tk::TStream& stream);
    // Always writes the signature "ML01" and reserved bytes of 0.
    void SaveToStream(tk::TStream& stream) const;
    void Clear();
    // Index of the last map; -1 when the library is empty.
    int HighIndex() const { return FHighIndex; }
    int Count() const { return FHighIndex + 1; }
    // Copies record `index`; the data is shared, not copied.
    void GetMap(int index, TMapRec& rec) const;
    bool HasTable() const { return !FMaps.empty(); }

    void DefineProperties(tk::TFiler& filer) override;

protected:
    void AssignTo(tk::TPersistent& dest) const override;

private:
    std::vector<TMapRec> FMaps;                         // absent (empty) while the library is empty
    detail::TBlockArena FBlocks;  // the data blocks FMaps point at
    int32_t FHighIndex = -1;
};

/// The component that holds a map library on a form, from form data (or
/// MapLib()->LoadFromStream). A game reads a map with
/// MapLib()->GetMap(i, rec).
class TQVXMapLib : public tk::TComponent {
public:
    TK_CLASSNAME(TQVXMapLib)
    explicit TQVXMapLib(tk::TComponent* owner);
    ~TQVXMapLib() override;

    TQVXMaps* MapLib() const { return FMapLib.get(); }
    // Copies `source` into the owned library; the object is never replaced.
    void SetMapLib(const TQVXMaps& source);

    void GetProperties(tk::TPropList& props) override;

private:
    std::unique_ptr<TQVXMaps> FMapLib;
};

}  // namespace qvx
