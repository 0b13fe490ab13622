#include "image_library.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <span>

#include "assetio.h"
#include "bmputil/bmputil.h"
#include "toolkit/picture.h"

namespace qvx {

namespace {
constexpr const char* SInvalidLibrary = "Not a valid Image Library File";
constexpr const char* SNoTable = "TQVXImage: GemMem Failed for FImages";
constexpr const char* SNoBits = "TQVXImage: GemMem Failed for ImgHdr.Bits";
constexpr const char* SAssignTable = "TQVXImages.AssignTo failed (GetMem): ";
constexpr const char* SAssignBits = "TQVXImages.AssignTo failed";
constexpr const char* SLoadFirst = "LoadFromFile must be called first";
constexpr const char* SIndex = "List index out of bounds (%d)";
// Every image entry holds at least its 20-byte record.
constexpr int64_t kMinEntry = kImgRecordSize;
// A record's size as the copy message reports it (record and pointer).
constexpr int64_t kImgMemRecord = 24;
// Form data names the component by class.
const bool registered = (tk::RegisterComponentClass<TQVXImageLib>("TQVXImageLib"), true);
}  // namespace

std::string ImageName(const TImgHdr& hdr) {
    size_t len = std::min<size_t>(hdr.Name[0], sizeof hdr.Name - 1);
    return std::string(reinterpret_cast<const char*>(hdr.Name + 1), len);
}

int64_t ImageBlockSize(const TImgHdr& hdr) {
    return detail::BytesPerLine64(hdr.Width) * hdr.Height;
}

// ---- TQVXImages ---------------------------------------------------------------

TQVXImages::TQVXImages() : FHeader{} {}

TQVXImages::~TQVXImages() { Clear(); }

void TQVXImages::Changed() { ++FGeneration; }

void TQVXImages::Clear() {
    FImages.clear();
    FImages.shrink_to_fit();
    FBlocks.Clear();
    FHeader.Count = 0;
    Changed();
}

void TQVXImages::LoadFromStream(tk::TStream& stream) {
    Clear();
    // The table is built aside and installed only when every image has been
    // read, so a failed load leaves the empty library (Count 0, no table)
    // with the header as it was read.
    try {
        detail::TChunkReader in(stream);
        in.Read(&FHeader, sizeof FHeader);
        if (!detail::SameSignature(FHeader.Signature, "IL10")) throw tk::Exception(SInvalidLibrary);
        const int32_t count = FHeader.Count;
        if (count == 0) return;
        if (count < 0) throw tk::Exception(SNoTable);
        if (count > in.Remaining() / kMinEntry) throw tk::EReadError(tk::msg::SReadError);
        std::vector<TImgHdr> images;
        detail::TBlockArena blocks;
        try {
            images.resize(static_cast<size_t>(count));
        } catch (const std::bad_alloc&) {
            throw tk::Exception(SNoTable);
        }
        for (int32_t i = 0; i < count; ++i) {
            TImgHdr& h = images[static_cast<size_t>(i)];
            in.Read(&h, kImgRecordSize);
            h.Bits = nullptr;
            // A width or height of 0 makes an empty block; a negative one
            // makes no image at all.
            if (h.Width <= 0 || h.Height <= 0) throw tk::Exception(SNoBits);
            const int64_t line = detail::BytesPerLine64(h.Width);
            if (line > in.Remaining() / h.Height) throw tk::EReadError(tk::msg::SReadError);
            const int64_t size = line * h.Height;
            uint8_t* block = blocks.Allocate(size);
            if (!block) throw tk::Exception(SNoBits);
            in.Read(block, size);
            h.Bits = block;
        }
        FImages = std::move(images);
        FBlocks = std::move(blocks);
    } catch (...) {
        FHeader.Count = 0;
        Changed();
        throw;
    }
    Changed();
}

void TQVXImages::SaveToStream(tk::TStream& stream) const {
    detail::TChunkWriter out(stream);
    out.Write(&FHeader, sizeof FHeader);
    for (const TImgHdr& h : FImages) {
        out.Write(&h, kImgRecordSize);
        out.Write(h.Bits, ImageBlockSize(h));
    }
    out.Flush();
}

void TQVXImages::LoadFromFile(const std::string& fileName) {
    tk::TFileStream f(fileName, tk::fmOpenRead);
    LoadFromStream(f);
}

void TQVXImages::GetImageHeader(int index, TImgHdr& hdr) const {
    if (index < 0 || static_cast<size_t>(index) >= FImages.size())
        throw tk::Exception(tk::Format(SIndex, index));
    hdr = FImages[static_cast<size_t>(index)];
}

void TQVXImages::AssignTo(tk::TPersistent& dest) const {
    auto* d = dynamic_cast<TQVXImages*>(&dest);
    if (!d) {
        TPersistent::AssignTo(dest);
        return;
    }
    if (d == this) return;  // clearing the destination would empty the source
    d->Clear();
    const int32_t count = Count();
    if (count == 0) return;
    std::vector<TImgHdr> images;
    detail::TBlockArena blocks;
    try {
        images.resize(static_cast<size_t>(count));
    } catch (const std::bad_alloc&) {
        throw tk::Exception(SAssignTable + std::to_string(static_cast<int64_t>(count) * kImgMemRecord));
    }
    for (size_t i = 0; i < FImages.size(); ++i) {
        const int64_t size = ImageBlockSize(FImages[i]);
        uint8_t* block = blocks.Allocate(size);
        if (!block) throw tk::Exception(SAssignBits);
        std::memcpy(block, FImages[i].Bits, static_cast<size_t>(size));
        images[i] = FImages[i];
        images[i].Bits = block;
    }
    d->FHeader = FHeader;
    d->FImages = std::move(images);
    d->FBlocks = std::move(blocks);
    d->Changed();
}

void TQVXImages::DefineProperties(tk::TFiler& filer) {
    TPersistent::DefineProperties(filer);
    filer.DefineBinaryProperty(
        "Images", [this](tk::TStream& s) { LoadFromStream(s); }, [this](tk::TStream& s) { SaveToStream(s); },
        HasTable());
}

// ---- TQVXImageLib ---------------------------------------------------------------

TQVXImageLib::TQVXImageLib(tk::TComponent* owner)
    : TComponent(owner),
      FImages(std::make_unique<TQVXImages>()),
      FData({[this] { return FFileName; }, [this] { return Count(); },
             [this](const std::string& file) { LoadFromFile(file); }, [this] { FImages->Clear(); }}) {}

TQVXImageLib::~TQVXImageLib() {
    FreeBitmaps();
    FImages.reset();
}

void TQVXImageLib::SetImages(const TQVXImages& source) { FImages->Assign(source); }

int TQVXImageLib::Count() const { return FImages ? FImages->Count() : 0; }

void TQVXImageLib::LoadFromFile(const std::string& fileName) {
    const std::string name = fileName;  // the argument may be FFileName itself
    FFileName.clear();
    const bool hadCache = FBitmapsCreated;
    FreeBitmaps();
    FImages->LoadFromFile(name);
    FFileName = name;
    if (hadCache) CreateBitmaps();
}

void TQVXImageLib::Reload() {
    if (FFileName.empty()) throw tk::Exception(SLoadFirst);
    LoadFromFile(FFileName);
}

// ---- Previews -------------------------------------------------------------------

namespace {

// A zero-filled info block whose colour table holds the library palette
// from entry 1 on: entry 0 stays black.
std::unique_ptr<bmputil::TBitmapInfo> PaletteInfo(const TQVXImages& images) {
    auto info = std::make_unique<bmputil::TBitmapInfo>();
    const tk::TLogPalette palette(images.Palette(), images.Palette() + 256);
    bmputil::PaletteToColorTable(palette, *info);
    return info;
}

void SetImageHeader(bmputil::TBitmapInfo& info, const TImgHdr& h) {
    info.bmiHeader = bmputil::TBitmapInfoHeader{};
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = h.Width;
    info.bmiHeader.biHeight = -h.Height;  // rows run top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 8;
    info.bmiHeader.biCompression = 0;
}

std::unique_ptr<tk::TBitmap> MakePreview(bmputil::TBitmapInfo& info, const TImgHdr& h) {
    SetImageHeader(info, h);
    auto bitmap = std::make_unique<tk::TBitmap>();
    bmputil::AssignDIB(*bitmap, info,
                       std::span<const uint8_t>(h.Bits, static_cast<size_t>(ImageBlockSize(h))));
    return bitmap;
}

}  // namespace

std::unique_ptr<tk::TBitmap> TQVXImageLib::CreatePreview(int index) const {
    TImgHdr h;
    FImages->GetImageHeader(index, h);
    auto info = PaletteInfo(*FImages);
    return MakePreview(*info, h);
}

void TQVXImageLib::CreateBitmaps() {
    if (FBitmapsCreated && FBitmapsGeneration == FImages->Generation()) return;
    FreeBitmaps();
    const int count = Count();
    auto info = PaletteInfo(*FImages);
    if (ProgressBar) {
        ProgressBar->SetMin(0);
        ProgressBar->SetMax(count - 1);
    }
    std::vector<std::unique_ptr<tk::TBitmap>> bitmaps(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        if (ProgressBar) ProgressBar->SetPosition(i);
        TImgHdr h;
        FImages->GetImageHeader(i, h);
        bitmaps[static_cast<size_t>(i)] = MakePreview(*info, h);
    }
    FBitmaps = std::move(bitmaps);
    FBitmapsGeneration = FImages->Generation();
    FBitmapsCreated = true;
}

void TQVXImageLib::FreeBitmaps() {
    FBitmaps.clear();
    FBitmaps.shrink_to_fit();
    FBitmapsCreated = false;
}

void TQVXImageLib::DrawImage(tk::TCanvas& canvas, int x, int y, int index) {
    if (index < 0 || index >= Count()) return;
    if (FBitmapsCreated && FBitmapsGeneration == FImages->Generation()) {
        canvas.Draw(x, y, *FBitmaps[static_cast<size_t>(index)]);
        return;
    }
    std::unique_ptr<tk::TBitmap> preview = CreatePreview(index);
    canvas.Draw(x, y, *preview);
}

void TQVXImageLib::GetProperties(tk::TPropList& props) {
    TComponent::GetProperties(props);
    props.Object("Images", [this]() -> tk::TPersistent* { return FImages.get(); });
}

}  // namespace qvx
