// Palette image library (.IML): 8-bit images sharing one 256-entry palette,
// the persistent container TQVXImages and the component TQVXImageLib.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "qvx/assets/assetio.h"
#include "toolkit/classes.h"
#include "toolkit/filebacked.h"
#include "toolkit/graphics.h"

namespace tk {
class TBitmap;
class TCanvas;
}  // namespace tk

namespace qvx {

// The 1036-byte header block, kept exactly as it stands in the file.
struct TImageLibHeader {
    char Signature[4];        // "IL10"
    int32_t Count;            // number of images
    uint8_t Reserved[4];      // not interpreted; preserved
    tk::TPaletteEntry Palette[256];  // red, green, blue, flags
};
static_assert(sizeof(TImageLibHeader) == 1036);

// One image's header. The first 20 bytes are the file record; Bits points
// at the pixel block the library owns (never written to a file).
struct TImgHdr {
    int32_t Width;
    int32_t Height;
    uint8_t Name[12];  // length byte, then up to 11 characters
    uint8_t* Bits;     // BytesPerLine(Width) * Height bytes, rows top first
};
constexpr int kImgRecordSize = 20;

// The image's name decoded from its length byte (at most 11 characters).
std::string ImageName(const TImgHdr& hdr);
// Bytes of an image's pixel block, rows padded to a multiple of 4.
int64_t ImageBlockSize(const TImgHdr& hdr);

/// A palette image library (.IML): 8-bit images sharing one 256-entry
/// palette, index 0 transparent. Read and written byte for byte.
class TQVXImages : public tk::TPersistent {
public:
    TK_CLASSNAME(TQVXImages)
    TQVXImages();
    ~TQVXImages() override;

    void LoadFromStream(tk::TStream& stream);
    void SaveToStream(tk::TStream& stream) const;
    void LoadFromFile(const std::string& fileName);
    // Releases every pixel block and the table; signature, reserved bytes and
    // palette stay.
    void Clear();
    // Copies the header of image `index`; the pixels are shared, not copied.
    void GetImageHeader(int index, TImgHdr& hdr) const;
    int Count() const { return FHeader.Count; }
    const tk::TPaletteEntry* Palette() const { return FHeader.Palette; }
    const TImageLibHeader& Header() const { return FHeader; }
    bool HasTable() const { return !FImages.empty(); }
    // Changes whenever the contents are replaced (load, clear, copy), so a
    // cache built from them can tell it is out of date.
    uint64_t Generation() const { return FGeneration; }

    void DefineProperties(tk::TFiler& filer) override;

protected:
    void AssignTo(tk::TPersistent& dest) const override;

private:
    void Changed();

    TImageLibHeader FHeader;
    std::vector<TImgHdr> FImages;                       // absent (empty) while the library is empty
    detail::TBlockArena FBlocks;  // the pixel blocks FImages point at
    uint64_t FGeneration = 0;
};

/// Where CreateBitmaps reports its progress; a progress bar of the user
/// interface stands behind it. Not owned by the library.
class IProgressSink {
public:
    virtual ~IProgressSink() = default;
    virtual void SetMin(int value) = 0;
    virtual void SetMax(int value) = 0;
    virtual void SetPosition(int value) = 0;
};

/// The component that holds a palette image library on a form: from form
/// data (the library's bytes embedded) or LoadFromFile. Linked as a
/// screen's ImageLibrary or TileLibrary, its images become the screen's
/// ImageSurfaces or TileSurfaces, index for index.
class TQVXImageLib : public tk::TComponent {
public:
    TK_CLASSNAME(TQVXImageLib)
    explicit TQVXImageLib(tk::TComponent* owner);
    ~TQVXImageLib() override;

    TQVXImages* Images() const { return FImages.get(); }
    // Copies `source` into the owned library; the object is never replaced.
    void SetImages(const TQVXImages& source);
    const std::string& FileName() const { return FFileName; }
    bool HasFileName() const { return !FFileName.empty(); }
    int Count() const;

    // Keeps the preview cache when it was built: it is rebuilt for the new
    // images. After a failure FileName is empty and the cache is gone.
    void LoadFromFile(const std::string& fileName);
    void Reload();
    // Gives the images up once they are on surfaces, when they came from a
    // file, and reads the file again when they must be rebuilt.
    tk::TFileBackedData& Data() { return FData; }

    // The preview bitmap cache: one 8-bit bitmap per image, palette index 0
    // black, rows top first. CreateBitmaps does nothing while the cache
    // matches the images; a cache left from images since replaced is rebuilt.
    void CreateBitmaps();
    void FreeBitmaps();
    bool BitmapsCreated() const { return FBitmapsCreated; }
    // Draws image `index` with its top-left corner at (x, y); nothing for an
    // index outside 0 .. Count - 1. Uses the cache when it matches the
    // images, else a preview made for this call.
    void DrawImage(tk::TCanvas& canvas, int x, int y, int index);
    // The preview bitmap of one image, made afresh.
    std::unique_ptr<tk::TBitmap> CreatePreview(int index) const;

    // Told the range 0 .. Count - 1 and each image's index while the cache
    // is built; not owned, null by default.
    IProgressSink* ProgressBar = nullptr;

    void GetProperties(tk::TPropList& props) override;

private:
    std::unique_ptr<TQVXImages> FImages;
    std::string FFileName;
    tk::TFileBackedData FData;
    std::vector<std::unique_ptr<tk::TBitmap>> FBitmaps;
    bool FBitmapsCreated = false;
    uint64_t FBitmapsGeneration = 0;  // the images' generation the cache was built from
};

}  // namespace qvx
