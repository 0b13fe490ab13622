// The intro screens library: header with the shared palette, file name and
// the ordered slides, and the .CRL file format. Games, the editor and
// qvxlib use it; the editor asks for file names itself.
//
// A .CRL file is the 1036-byte header ("CR10", count, reserved, 256 palette
// entries) followed by the slides, each a 32-byte record and its 8-bit pixel
// block (rows top first, padded to BytesPerLine(Width)). Little-endian.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "bmputil/bmputil.h"

namespace qvx {

using bmputil::TLibPalEntry;
using bmputil::TLibPalette;

#pragma pack(push, 1)
struct TIntroLibHeader {
    char Magic[4] = {'C', 'R', '1', '0'};
    int32_t Count = 0;     // slides that follow; kept equal to the slides held
    int32_t Reserved = 0;  // carried unchanged from an opened file
    TLibPalette Palette{};
};

// A slide as stored: 32 bytes, read and written as one block, so padding
// and the name bytes past its length come back as they were read.
struct TIntroSlideRecord {
    uint8_t Transition = 0;  // index into TransitionNames
    uint8_t Pad1[3] = {};
    int32_t Speed = 0;
    int32_t Hold = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    uint8_t Name[9] = {};  // length byte (0-8), then up to 8 characters
    uint8_t Pad2[3] = {};
};
#pragma pack(pop)

static_assert(sizeof(TIntroLibHeader) == 1036);
static_assert(sizeof(TIntroSlideRecord) == 32);

// A slide in memory: its stored record and its pixel block
// (BytesPerLine(Width) x Height bytes).
struct TIntroSlide : TIntroSlideRecord {
    tk::TBytes Pixels;

    // The name as its bytes (one byte a character, Latin-1), at most 8.
    std::string NameText() const;
    // Stores the first 8 bytes of `name`; the rest of the field becomes 0.
    void SetName(const std::string& name);
};

// Transition effects by their stored index; also the order of the
// transition list in the main window.
inline constexpr int kTransitionCount = 29;
extern const std::array<const char*, kTransitionCount> TransitionNames;
// The index of a transition name, without regard to case.
std::optional<int> TransitionIndex(const std::string& name);

// Slide properties given to an added slide (the editor's current values).
struct TSlideProps {
    uint8_t Transition = 0;
    int32_t Speed = 5;
    int32_t Hold = 0;
};

// The name a slide made from the bitmap file `path` gets: the file name
// without folders (after the last "/", "\" or ":") and without its last
// extension, as Latin-1 characters (others become "?"), cut to 8.
std::string SlideNameFromPath(const std::string& path);

inline constexpr const char* SInvalidLibrary = "Invalid Image Library";

enum class TLoadResult { Loaded, InvalidMagic };

/// An intro screens library (.CRL): 256-colour slides sharing one palette,
/// each with a transition, speed and hold, as Slideshelf makes them. Load,
/// add and save slides.
class TIntroLibrary {
public:
    TIntroLibrary();
    ~TIntroLibrary();
    TIntroLibrary(const TIntroLibrary&) = delete;
    TIntroLibrary& operator=(const TIntroLibrary&) = delete;

    const TIntroLibHeader& Header() const { return header_; }
    TLibPalette& Palette() { return header_.Palette; }
    const TLibPalette& Palette() const { return header_.Palette; }

    // Empty while the library was never saved or opened.
    const std::string& FileName() const { return fileName_; }
    void SetFileName(std::string name) { fileName_ = std::move(name); }

    int SlideCount() const { return static_cast<int>(slides_.size()); }
    // The slide of entry `index`; null when the entry has none (FreeSlide).
    TIntroSlide* Slide(int index);
    const TIntroSlide* Slide(int index) const;

    // Empties the library: no slides, "CR10", count 0, reserved 0, the
    // system colours in the palette with entry 0 used; no file name.
    void ResetLibrary();
    // Releases the slide of entry `index`; the entry stays (RemoveSlide
    // removes both). Nothing happens when the entry has no slide.
    void FreeSlide(int index);

    // Load raises the file layer's errors ("Read beyond end of file", ...);
    // slides read before a failure stay, and the count always equals the
    // slides held. The file name is taken only once a file's header has been
    // read and accepted; a file rejected for its magic leaves the library
    // empty with no file name. SaveToFile writes the file beside the target
    // and puts it in its place only when complete.
    TLoadResult LoadFromFile(const std::string& fileName);
    TLoadResult LoadFromBytes(std::span<const uint8_t> bytes);
    void SaveToFile(const std::string& fileName) const;
    std::vector<uint8_t> SaveToBytes() const;

    // Appends a slide made from an 8-bit picture: each pixel's colour is
    // matched into the library palette (pixels of the transparent index
    // become 0). The slide is appended only once complete. Returns its index.
    int AddBitmap(const std::string& name, const bmputil::TBitmapInfo& info,
                  std::span<const uint8_t> pixels, const TSlideProps& props,
                  std::optional<uint8_t> transparent,
                  const std::function<void(int row)>& rowDone = {});
    // The same, taking over `pixels` (an 8-bit block of the picture's own
    // row layout): the colours are matched in place, so a large picture is
    // never held twice. Either way the slide's row padding is zero,
    // whatever the picture's padding held.
    int AddBitmap(const std::string& name, const bmputil::TBitmapInfo& info, tk::TBytes&& pixels,
                  const TSlideProps& props, std::optional<uint8_t> transparent,
                  const std::function<void(int row)>& rowDone = {});
    void RemoveSlide(int index);
    // Takes the slide at `index` out of the library (the entry goes), and
    // puts a slide taken out back in at `index`: the slide itself moves,
    // its pixel block is never copied.
    std::unique_ptr<TIntroSlide> TakeSlide(int index);
    void InsertSlide(int index, std::unique_ptr<TIntroSlide> slide);
    // Moves the entry at `from` so that it ends at `to`.
    void MoveSlide(int from, int to);
    void RenameSlide(int index, const std::string& name);
    void SetSlideProperties(int index, const TSlideProps& props);

private:
    template <class Source>
    TLoadResult Load(Source& source, const std::string& fileName);
    template <class Sink>
    void Save(Sink& sink) const;
    void CheckIndex(int index) const;
    void SyncCount() { header_.Count = static_cast<int32_t>(slides_.size()); }

    TIntroLibHeader header_;
    std::string fileName_;
    std::vector<std::unique_ptr<TIntroSlide>> slides_;
};

// The bitmap info that shows a slide: 40-byte header, width, minus height
// (top row first), 8 bits, uncompressed, colour-table entries 1-255 from the
// palette and entry 0 black.
std::unique_ptr<bmputil::TBitmapInfo> SlideBitmapInfo(const TIntroSlide& slide,
                                                      const TLibPalette& palette);

}  // namespace qvx
