#include "intro_library.h"

#include <QString>
#include <algorithm>
#include <cstring>
#include <new>

#include "toolkit/fileio.h"
#include "toolkit/names.h"

namespace qvx {

const std::array<const char*, kTransitionCount> TransitionNames = {
    "No Transition Effect",
    "SlideRight",
    "SlideLeft",
    "SlideDown",
    "SlideUp",
    "ZoomOpen",
    "Curtains",
    "Shutters",
    "Quarters",
    "VerticalLines",
    "HorizontalLines",
    "UpDownLines",
    "LeftRightLines",
    "Scrollright",
    "Scrollleft",
    "ScrollUp",
    "ScrollDown",
    "Drip",
    "HorizontalOpenOut",
    "VerticalOpenOut",
    "DiagonalTopLeft",
    "DiagonalTopRight",
    "DiagonalBottomleft",
    "DiagonalBottomRight",
    "VerticalStripes",
    "HorizontalStripes",
    "LargeVerticalStripes",
    "LargeHorizontalStripes",
    "FollowMe",
};

namespace {

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameText(const std::string& a, const char* b) {
    size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

constexpr int kNameChars = 8;

// Readers over a file or bytes in memory. Both raise the file layer's
// "Read beyond end of file" for data that ends early.
class FileSource {
public:
    explicit FileSource(const std::string& name) {
        file_.Reset(name);
        size_ = file_.FileSize();
    }
    void Read(void* buffer, int64_t count) {
        file_.BlockRead(buffer, count);
        pos_ += count;
    }
    int64_t Remaining() const { return size_ < pos_ ? 0 : size_ - pos_; }
    void Close() { file_.Close(); }

private:
    tk::TBinaryFile file_;
    int64_t size_ = 0;
    int64_t pos_ = 0;
};

class MemorySource {
public:
    explicit MemorySource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    void Read(void* buffer, int64_t count) {
        if (count > Remaining()) {
            pos_ = bytes_.size();
            tk::RaiseInOutError(tk::ioEndOfFile);
        }
        if (count > 0) std::memcpy(buffer, bytes_.data() + pos_, static_cast<size_t>(count));
        pos_ += static_cast<size_t>(count);
    }
    int64_t Remaining() const { return static_cast<int64_t>(bytes_.size() - pos_); }
    void Close() {}

private:
    std::span<const uint8_t> bytes_;
    size_t pos_ = 0;
};

class FileSink {
public:
    explicit FileSink(const std::string& name) { file_.RewriteReplacing(name); }
    void Write(const void* buffer, int64_t count) { file_.BlockWrite(buffer, count); }
    void Close() { file_.Close(); }

private:
    tk::TBinaryFile file_;
};

class MemorySink {
public:
    void Write(const void* buffer, int64_t count) {
        auto* p = static_cast<const uint8_t*>(buffer);
        bytes.insert(bytes.end(), p, p + count);
    }
    void Close() {}
    std::vector<uint8_t> bytes;
};

// A slide of the source's size with the given name and properties, its
// pixels still to be filled.
std::unique_ptr<TIntroSlide> NewSlide(const std::string& name, const bmputil::TPixelSource& src,
                                      const TSlideProps& props) {
    auto slide = std::make_unique<TIntroSlide>();
    slide->Transition = props.Transition;
    slide->Speed = props.Speed;
    slide->Hold = props.Hold;
    slide->Width = src.width;
    slide->Height = src.height;
    slide->SetName(name);
    return slide;
}

// Sets the padding after each row's `width` pixels to zero.
void ZeroRowPadding(uint8_t* rows, int64_t stride, int width, int height) {
    if (stride <= width) return;
    for (int y = 0; y < height; ++y)
        std::memset(rows + y * stride + width, 0, static_cast<size_t>(stride - width));
}

}  // namespace

// ---- Slides and names ---------------------------------------------------------

std::string TIntroSlide::NameText() const {
    const int len = std::min<int>(Name[0], kNameChars);
    return std::string(reinterpret_cast<const char*>(Name + 1), static_cast<size_t>(len));
}

void TIntroSlide::SetName(const std::string& name) {
    const size_t len = std::min<size_t>(name.size(), kNameChars);
    std::fill(std::begin(Name), std::end(Name), uint8_t(0));
    Name[0] = static_cast<uint8_t>(len);
    std::memcpy(Name + 1, name.data(), len);
}

std::optional<int> TransitionIndex(const std::string& name) {
    for (int i = 0; i < kTransitionCount; ++i)
        if (SameText(name, TransitionNames[i])) return i;
    return std::nullopt;
}

std::string SlideNameFromPath(const std::string& path) {
    std::string name = path;
    if (auto sep = name.find_last_of("/\\:"); sep != std::string::npos) name.erase(0, sep + 1);
    if (auto dot = name.rfind('.'); dot != std::string::npos) name.erase(dot);
    // File names are UTF-8; slide names one byte a character.
    const QString chars = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())).left(kNameChars);
    return tk::NameFromText(chars, {}, tk::TNameEncoding::Latin1);
}

std::unique_ptr<bmputil::TBitmapInfo> SlideBitmapInfo(const TIntroSlide& slide,
                                                      const TLibPalette& palette) {
    auto info = std::make_unique<bmputil::TBitmapInfo>();
    auto& h = info->bmiHeader;
    h.biSize = sizeof(bmputil::TBitmapInfoHeader);
    h.biWidth = slide.Width;
    h.biHeight = -slide.Height;
    h.biPlanes = 1;
    h.biBitCount = 8;
    bmputil::PaletteToColorTable(palette, *info);
    return info;
}

// ---- The library --------------------------------------------------------------

TIntroLibrary::TIntroLibrary() {
    ResetLibrary();
}

TIntroLibrary::~TIntroLibrary() = default;

TIntroSlide* TIntroLibrary::Slide(int index) {
    return index >= 0 && index < SlideCount() ? slides_[static_cast<size_t>(index)].get() : nullptr;
}

const TIntroSlide* TIntroLibrary::Slide(int index) const {
    return index >= 0 && index < SlideCount() ? slides_[static_cast<size_t>(index)].get() : nullptr;
}

void TIntroLibrary::CheckIndex(int index) const {
    if (index < 0 || index >= SlideCount())
        throw tk::EInvalidOperation(tk::Format("List index out of bounds (%d)", index));
}

void TIntroLibrary::ResetLibrary() {
    for (int i = 0; i < SlideCount(); ++i) FreeSlide(i);
    slides_.clear();
    header_ = TIntroLibHeader{};
    bmputil::ResetPalette(header_.Palette, true);
    header_.Palette[0].Used = 1;
    fileName_.clear();
}

void TIntroLibrary::FreeSlide(int index) {
    if (index < 0 || index >= SlideCount()) return;
    slides_[static_cast<size_t>(index)].reset();
}

// ---- Reading ------------------------------------------------------------------

template <class Source>
TLoadResult TIntroLibrary::Load(Source& source, const std::string& fileName) {
    ResetLibrary();
    TIntroLibHeader header;
    source.Read(&header, sizeof header);
    // A rejected file leaves the library empty and without its name, so no
    // later save can write over it.
    const char magic[4] = {'c', 'r', '1', '0'};
    for (int i = 0; i < 4; ++i)
        if (Lower(header.Magic[i]) != magic[i]) return TLoadResult::InvalidMagic;

    const int32_t declared = header.Count;
    header_ = header;
    fileName_ = fileName;
    // From here on the count follows the slides actually held: a negative
    // count reads none, and a read that fails part-way keeps what was read.
    SyncCount();
    for (int32_t i = 0; i < declared; ++i) {
        TIntroSlideRecord rec;
        source.Read(&rec, sizeof rec);
        // The name field holds at most 8 characters.
        if (rec.Name[0] > kNameChars) rec.Name[0] = kNameChars;
        const int64_t size = bmputil::BytesPerLine(rec.Width) * static_cast<int64_t>(rec.Height);
        if (size < 0) throw tk::EOutOfMemory(tk::msg::SOutOfMemory);
        // Check before allocating: no block larger than the file could fill.
        if (size > source.Remaining()) tk::RaiseInOutError(tk::ioEndOfFile);
        auto slide = std::make_unique<TIntroSlide>();
        static_cast<TIntroSlideRecord&>(*slide) = rec;
        try {
            slide->Pixels = tk::TBytes::Uninitialized(static_cast<size_t>(size));  // read whole below
        } catch (const std::bad_alloc&) {
            throw tk::EOutOfMemory(tk::msg::SOutOfMemory);
        }
        source.Read(slide->Pixels.data(), size);
        slides_.push_back(std::move(slide));
        SyncCount();
    }
    source.Close();
    return TLoadResult::Loaded;
}

TLoadResult TIntroLibrary::LoadFromFile(const std::string& fileName) {
    ResetLibrary();
    FileSource file(fileName);
    return Load(file, fileName);
}

TLoadResult TIntroLibrary::LoadFromBytes(std::span<const uint8_t> bytes) {
    MemorySource source(bytes);
    return Load(source, std::string());
}

// ---- Writing ------------------------------------------------------------------

template <class Sink>
void TIntroLibrary::Save(Sink& sink) const {
    // The header goes out as held; its count is that of the slides written.
    TIntroLibHeader header = header_;
    header.Count = 0;
    for (const auto& s : slides_)
        if (s) ++header.Count;
    sink.Write(&header, sizeof header);
    for (const auto& s : slides_) {
        if (!s) continue;
        const TIntroSlideRecord rec = *s;
        sink.Write(&rec, sizeof rec);
        sink.Write(s->Pixels.data(), static_cast<int64_t>(s->Pixels.size()));
    }
    sink.Close();
}

void TIntroLibrary::SaveToFile(const std::string& fileName) const {
    FileSink sink(fileName);
    Save(sink);
}

std::vector<uint8_t> TIntroLibrary::SaveToBytes() const {
    MemorySink sink;
    Save(sink);
    return std::move(sink.bytes);
}

// ---- Editing ------------------------------------------------------------------

int TIntroLibrary::AddBitmap(const std::string& name, const bmputil::TBitmapInfo& info,
                             std::span<const uint8_t> pixels, const TSlideProps& props,
                             std::optional<uint8_t> transparent,
                             const std::function<void(int row)>& rowDone) {
    const bmputil::TPixelSource src = bmputil::SourceOf(info, pixels);
    auto slide = NewSlide(name, src, props);
    const int64_t stride = bmputil::BytesPerLine(src.width);
    slide->Pixels = tk::TBytes::Uninitialized(static_cast<size_t>(stride * src.height));
    // The matcher writes each row's pixels; the padding after them is zero.
    ZeroRowPadding(slide->Pixels.data(), stride, src.width, src.height);
    bmputil::MatchPixels(header_.Palette, src, slide->Pixels.data(), static_cast<ptrdiff_t>(stride),
                         transparent, rowDone);
    slides_.push_back(std::move(slide));
    SyncCount();
    return SlideCount() - 1;
}

int TIntroLibrary::AddBitmap(const std::string& name, const bmputil::TBitmapInfo& info,
                             tk::TBytes&& pixels, const TSlideProps& props,
                             std::optional<uint8_t> transparent,
                             const std::function<void(int row)>& rowDone) {
    const bmputil::TPixelSource src = bmputil::SourceOf(info, pixels);
    const int64_t stride = bmputil::BytesPerLine(src.width);
    const size_t size = static_cast<size_t>(stride * src.height);
    // Top row first, as slides keep them; then each row matched onto itself
    // (a pixel's match depends on that pixel only), in the same order as a
    // copy would be.
    if (src.stride < 0) bmputil::FlipRows(pixels.data(), stride, src.height);
    pixels.Truncate(size);
    bmputil::TPixelSource rows = src;
    rows.rows = pixels.data();
    rows.stride = static_cast<ptrdiff_t>(stride);
    auto slide = NewSlide(name, src, props);
    bmputil::MatchPixels(header_.Palette, rows, pixels.data(), static_cast<ptrdiff_t>(stride), transparent, rowDone);
    // The block still holds the bitmap's own row padding.
    ZeroRowPadding(pixels.data(), stride, src.width, src.height);
    slide->Pixels = std::move(pixels);
    slides_.push_back(std::move(slide));
    SyncCount();
    return SlideCount() - 1;
}

void TIntroLibrary::RemoveSlide(int index) {
    CheckIndex(index);
    FreeSlide(index);
    slides_.erase(slides_.begin() + index);
    SyncCount();
}

std::unique_ptr<TIntroSlide> TIntroLibrary::TakeSlide(int index) {
    CheckIndex(index);
    auto slide = std::move(slides_[static_cast<size_t>(index)]);
    slides_.erase(slides_.begin() + index);
    SyncCount();
    return slide;
}

void TIntroLibrary::InsertSlide(int index, std::unique_ptr<TIntroSlide> slide) {
    if (index < 0 || index > SlideCount())
        throw tk::EInvalidOperation(tk::Format("List index out of bounds (%d)", index));
    slides_.insert(slides_.begin() + index, std::move(slide));
    SyncCount();
}

void TIntroLibrary::MoveSlide(int from, int to) {
    CheckIndex(from);
    CheckIndex(to);
    auto slide = std::move(slides_[static_cast<size_t>(from)]);
    slides_.erase(slides_.begin() + from);
    slides_.insert(slides_.begin() + to, std::move(slide));
}

void TIntroLibrary::RenameSlide(int index, const std::string& name) {
    CheckIndex(index);
    if (TIntroSlide* s = Slide(index)) s->SetName(name);
}

void TIntroLibrary::SetSlideProperties(int index, const TSlideProps& props) {
    CheckIndex(index);
    if (TIntroSlide* s = Slide(index)) {
        s->Transition = props.Transition;
        s->Speed = props.Speed;
        s->Hold = props.Hold;
    }
}

}  // namespace qvx
