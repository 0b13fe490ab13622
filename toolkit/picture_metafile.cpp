// TMetafile: an enhanced or placeable Windows metafile, its bytes kept
// exactly; played through our own renderer when drawn.
#include "metafilecodec.h"
#include "picture.h"
#include "streamblock.h"
#include "streams.h"

namespace tk {

struct TMetafile::Impl {
    Impl() = default;
    explicit Impl(TBytes b) : bytes(std::move(b)) {
        if (bytes.empty()) return;
        const mf::Info info = mf::Parse(bytes.data(), bytes.size());
        enhanced = info.enhanced;
        width = info.width;
        height = info.height;
    }
    TBytes bytes;
    bool enhanced = true;
    int width = 0;
    int height = 0;
};

TMetafile::TMetafile() : d(std::make_shared<Impl>()) {}
TMetafile::~TMetafile() = default;

bool TMetafile::Empty() const { return d->bytes.empty(); }
int TMetafile::Width() const { return d->width; }
int TMetafile::Height() const { return d->height; }
bool TMetafile::Enhanced() const { return d->enhanced; }
const TBytes& TMetafile::Bytes() const { return d->bytes; }

void TMetafile::Draw(TCanvas& canvas, const TRect& r) const {
    if (Empty() || r.Width() <= 0 || r.Height() <= 0) return;
    mf::Render(canvas.Painter(), r.ToQRect(), d->bytes.data(), d->bytes.size());
}

void TMetafile::LoadFromStream(TStream& stream) {
    TBytes bytes = ReadBlock(stream, stream.Remaining());
    if (bytes.empty()) throw EInvalidGraphic(msg::SInvalidMetafile);
    d = std::make_shared<Impl>(std::move(bytes));
}

void TMetafile::SaveToStream(TStream& stream) const {
    stream.WriteBuffer(d->bytes.data(), static_cast<int64_t>(d->bytes.size()));
}

void TMetafile::ReadData(TStream& stream, int64_t size) {
    if (size < 4) throw EReadError(msg::SReadError);
    const uint32_t count = stream.ReadLE<uint32_t>();  // includes its own four bytes
    if (count < 4 || int64_t(count) > size || int64_t(count) - 4 > stream.Remaining())
        throw EReadError(msg::SReadError);
    d = std::make_shared<Impl>(ReadBlock(stream, int64_t(count) - 4));
}

void TMetafile::WriteData(TStream& stream) const {
    stream.WriteLE<uint32_t>(static_cast<uint32_t>(d->bytes.size() + 4));
    SaveToStream(stream);
}

std::unique_ptr<TGraphic> TMetafile::Clone() const { return std::make_unique<TMetafile>(*this); }

bool TMetafile::SameData(const TGraphic& other) const {
    const auto* o = dynamic_cast<const TMetafile*>(&other);
    return o && (d == o->d || d->bytes == o->d->bytes);
}

void TMetafile::Assign(const TPersistent& source) {
    if (auto* m = dynamic_cast<const TMetafile*>(&source)) {
        d = m->d;
        return;
    }
    if (auto* pic = dynamic_cast<const TPicture*>(&source)) {
        if (!pic->Graphic()) {
            d = std::make_shared<Impl>();
            return;
        }
        if (auto* m = dynamic_cast<const TMetafile*>(pic->Graphic())) {
            d = m->d;
            return;
        }
    }
    TGraphic::Assign(source);
}

}  // namespace tk
