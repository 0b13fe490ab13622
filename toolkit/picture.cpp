// TPicture: one graphic of any kind, chosen by file extension when loaded
// from a file, and by kind name in the property stream.
#include "picture.h"

#include <algorithm>
#include <cctype>

#include "streams.h"

namespace tk {

namespace {

// The picture kind for a file extension (without its dot), any case.
std::unique_ptr<TGraphic> GraphicForExtension(const std::string& ext) {
    std::string e = ext;
    std::transform(e.begin(), e.end(), e.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (e == "bmp") return std::make_unique<TBitmap>();
    if (e == "jpg" || e == "jpeg") return std::make_unique<TJPEGImage>();
    if (e == "ico") return std::make_unique<TIcon>();
    if (e == "emf" || e == "wmf") return std::make_unique<TMetafile>();
    return nullptr;
}

// The extension as the file name has it: what follows the last dot of the
// last path component, empty when there is none.
std::string ExtensionOf(const std::string& fileName) {
    const size_t slash = fileName.find_last_of('/');
    const size_t dot = fileName.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return fileName.substr(dot + 1);
}

}  // namespace

std::unique_ptr<TGraphic> CreateGraphicByClassName(const std::string& className) {
    if (SameText(className, "TBitmap")) return std::make_unique<TBitmap>();
    if (SameText(className, "TJPEGImage")) return std::make_unique<TJPEGImage>();
    if (SameText(className, "TIcon")) return std::make_unique<TIcon>();
    if (SameText(className, "TMetafile")) return std::make_unique<TMetafile>();
    return nullptr;
}

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

TPicture::TPicture(const TPicture& other) : TPersistent(), graphic_(other.graphic_ ? other.graphic_->Clone() : nullptr) {}

TPicture& TPicture::operator=(const TPicture& other) {
    if (this != &other) graphic_ = other.graphic_ ? other.graphic_->Clone() : nullptr;
    return *this;
}

bool TPicture::SameData(const TPicture& other) const {
    if (!graphic_ || !other.graphic_) return !graphic_ && !other.graphic_;
    return graphic_->SameData(*other.graphic_);
}

void TPicture::SetGraphic(const TGraphic* graphic) { graphic_ = graphic ? graphic->Clone() : nullptr; }

void TPicture::SetGraphic(std::unique_ptr<TGraphic> graphic) { graphic_ = std::move(graphic); }

TBitmap& TPicture::Bitmap() {
    auto* b = dynamic_cast<TBitmap*>(graphic_.get());
    if (!b) {
        auto fresh = std::make_unique<TBitmap>();
        b = fresh.get();
        graphic_ = std::move(fresh);
    }
    return *b;
}

void TPicture::LoadFromFile(const std::string& fileName) {
    const std::string ext = ExtensionOf(fileName);
    std::unique_ptr<TGraphic> g = GraphicForExtension(ext);
    if (!g) throw EInvalidGraphic(Format(msg::SUnknownExtension, ext.c_str()));
    g->LoadFromFile(fileName);  // on failure this picture keeps what it had
    graphic_ = std::move(g);
}

void TPicture::SaveToFile(const std::string& fileName) const {
    if (graphic_) graphic_->SaveToFile(fileName);
}

void TPicture::Assign(const TPersistent& source) {
    if (auto* p = dynamic_cast<const TPicture*>(&source)) {
        if (p != this) *this = *p;
        return;
    }
    if (auto* g = dynamic_cast<const TGraphic*>(&source)) {
        SetGraphic(g);
        return;
    }
    TPersistent::Assign(source);
}

void TPicture::DefineProperties(TFiler& filer) {
    TPersistent::DefineProperties(filer);
    filer.DefineBinaryProperty(
        "Data", [this](TStream& s) { ReadPictureData(s, s.Remaining()); },
        [this](TStream& s) { WritePictureData(s); }, !Empty());
}

void TPicture::ReadPictureData(TStream& stream, int64_t size) {
    if (size < 1) throw EReadError(msg::SReadError);
    const uint8_t len = stream.ReadLE<uint8_t>();
    if (int64_t(len) > size - 1) throw EReadError(msg::SReadError);
    std::string kind(len, '\0');
    stream.ReadBuffer(kind.data(), len);
    std::unique_ptr<TGraphic> g = CreateGraphicByClassName(kind);
    if (!g) {
        // A kind this program does not know: the picture stays empty and
        // the rest of the block is passed over.
        graphic_.reset();
        const int64_t rest = size - 1 - len;
        if (rest > 0 && rest <= stream.Remaining()) stream.Seek(rest, TSeekOrigin::soCurrent);
        return;
    }
    g->ReadData(stream, size - 1 - len);
    graphic_ = std::move(g);
}

void TPicture::WritePictureData(TStream& stream) const {
    if (!graphic_) return;
    const std::string kind = graphic_->ClassName();
    const auto len = static_cast<uint8_t>(std::min<size_t>(kind.size(), 255));
    stream.WriteLE<uint8_t>(len);
    stream.WriteBuffer(kind.data(), len);
    graphic_->WriteData(stream);
}

}  // namespace tk
