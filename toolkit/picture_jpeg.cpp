// TJPEGImage: the file's bytes, kept unchanged, plus the size from its
// header; pixels are decoded on first use and cached where every copy sees
// them.
#include "jpegcodec.h"
#include "picture.h"
#include "streamblock.h"
#include "streams.h"

namespace tk {

struct TJPEGImage::Impl {
    Impl() = default;
    // Holds `bytes` with the header read; raises EJPEG when libjpeg cannot
    // read it.
    explicit Impl(TBytes b) : bytes(std::move(b)) {
        if (bytes.empty()) return;
        jpeg::HeaderInfo info;
        if (int rc = jpeg::ReadHeader(bytes.data(), bytes.size(), info)) throw EJPEG(Format(msg::SJPEGError, rc));
        width = info.width;
        height = info.height;
    }

    TBytes bytes;
    int width = 0;
    int height = 0;
    mutable QImage decoded;
    mutable bool isDecoded = false;
};

TJPEGImage::TJPEGImage() : d(std::make_shared<Impl>()) {}
TJPEGImage::~TJPEGImage() = default;
TJPEGImage::TJPEGImage(const TJPEGImage& other) : TGraphic(), d(other.d) {}
TJPEGImage& TJPEGImage::operator=(const TJPEGImage& other) {
    d = other.d;
    return *this;
}

bool TJPEGImage::Empty() const { return d->bytes.empty(); }
int TJPEGImage::Width() const { return d->width; }
int TJPEGImage::Height() const { return d->height; }

void TJPEGImage::Draw(TCanvas& canvas, const TRect& r) const {
    if (Empty()) return;
    canvas.DrawImage(r, Decoded());
}

void TJPEGImage::LoadFromStream(TStream& stream) {
    d = std::make_shared<Impl>(ReadBlock(stream, stream.Remaining()));
}

void TJPEGImage::SaveToStream(TStream& stream) const {
    stream.WriteBuffer(d->bytes.data(), static_cast<int64_t>(d->bytes.size()));
}

void TJPEGImage::ReadData(TStream& stream, int64_t size) {
    if (size < 4) throw EReadError(msg::SReadError);
    const uint32_t n = stream.ReadLE<uint32_t>();
    if (int64_t(n) > size - 4 || int64_t(n) > stream.Remaining()) throw EReadError(msg::SReadError);
    d = std::make_shared<Impl>(ReadBlock(stream, n));
}

void TJPEGImage::WriteData(TStream& stream) const {
    stream.WriteLE<uint32_t>(static_cast<uint32_t>(d->bytes.size()));
    stream.WriteBuffer(d->bytes.data(), static_cast<int64_t>(d->bytes.size()));
}

std::unique_ptr<TGraphic> TJPEGImage::Clone() const { return std::make_unique<TJPEGImage>(*this); }

bool TJPEGImage::SameData(const TGraphic& other) const {
    const auto* o = dynamic_cast<const TJPEGImage*>(&other);
    return o && (d == o->d || d->bytes == o->d->bytes);
}

void TJPEGImage::Assign(const TPersistent& source) {
    if (auto* j = dynamic_cast<const TJPEGImage*>(&source)) {
        d = j->d;
        return;
    }
    if (auto* pic = dynamic_cast<const TPicture*>(&source)) {
        if (!pic->Graphic()) {
            d = std::make_shared<Impl>();
            return;
        }
        if (auto* j = dynamic_cast<const TJPEGImage*>(pic->Graphic())) {
            d = j->d;
            return;
        }
    }
    // Making a JPEG from other kinds would need an encoder, which this
    // system does not carry.
    TGraphic::Assign(source);
}

const TBytes& TJPEGImage::Bytes() const { return d->bytes; }

void TJPEGImage::SetBytes(TBytes bytes) {
    if (bytes.size() > UINT32_MAX) throw EOutOfMemory(msg::SOutOfMemory);
    d = std::make_shared<Impl>(std::move(bytes));
}

const QImage& TJPEGImage::Decoded() const {
    if (!d->isDecoded && !d->bytes.empty()) {
        d->decoded = jpeg::Decode(d->bytes.data(), d->bytes.size());
        d->isDecoded = true;
    }
    return d->decoded;
}

bool TJPEGImage::IsDecoded() const { return d->isDecoded; }

}  // namespace tk
