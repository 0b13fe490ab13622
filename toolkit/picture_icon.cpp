// TIcon: the bytes of an .ico file, kept exactly; the size of its first
// image; drawn through Qt's icon reader.
#include <QBuffer>
#include <QImageReader>

#include "picture.h"
#include "streamblock.h"
#include "streams.h"

namespace tk {

namespace {

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

}  // namespace

struct TIcon::Impl {
    Impl() = default;
    // Checks the icon directory: a reserved 0, type 1, at least one entry,
    // and every entry's image inside the data.
    explicit Impl(TBytes b) : bytes(std::move(b)) {
        if (bytes.empty()) return;
        const size_t n = bytes.size();
        const uint8_t* p = bytes.data();
        if (n < 6 || U16(p) != 0 || U16(p + 2) != 1) throw EInvalidGraphic(msg::SInvalidIcon);
        const size_t count = U16(p + 4);
        if (count == 0 || 6 + 16 * count > n) throw EInvalidGraphic(msg::SInvalidIcon);
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* e = p + 6 + 16 * i;
            const uint64_t len = U32(e + 8), off = U32(e + 12);
            if (len == 0 || off < 6 + 16 * count || off > n || len > n - off) throw EInvalidGraphic(msg::SInvalidIcon);
        }
        width = p[6] ? p[6] : 256;
        height = p[7] ? p[7] : 256;
    }

    TBytes bytes;
    int width = 0;
    int height = 0;
    mutable QImage decoded;
    mutable bool triedDecode = false;

    const QImage& Decoded() const {
        if (!triedDecode) {
            triedDecode = true;
            QByteArray raw = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                                     static_cast<qsizetype>(bytes.size()));
            QBuffer buf(&raw);
            buf.open(QIODevice::ReadOnly);
            QImageReader reader(&buf, "ico");
            decoded = reader.read();  // the first image
            // An image the reader cannot make is drawn as nothing, as the
            // window system draws a broken icon.
        }
        return decoded;
    }
};

TIcon::TIcon() : d(std::make_shared<Impl>()) {}
TIcon::~TIcon() = default;

bool TIcon::Empty() const { return d->bytes.empty(); }
int TIcon::Width() const { return d->width; }
int TIcon::Height() const { return d->height; }

void TIcon::Draw(TCanvas& canvas, const TRect& r) const {
    if (Empty()) return;
    const QImage& img = d->Decoded();
    if (!img.isNull()) canvas.DrawImage(r, img);
}

void TIcon::LoadFromStream(TStream& stream) {
    TBytes bytes = ReadBlock(stream, stream.Remaining());
    if (bytes.empty()) throw EInvalidGraphic(msg::SInvalidIcon);
    d = std::make_shared<Impl>(std::move(bytes));
}

void TIcon::SaveToStream(TStream& stream) const {
    stream.WriteBuffer(d->bytes.data(), static_cast<int64_t>(d->bytes.size()));
}

void TIcon::ReadData(TStream& stream, int64_t size) {
    if (size < 0 || size > stream.Remaining()) throw EReadError(msg::SReadError);
    d = std::make_shared<Impl>(ReadBlock(stream, size));
}

void TIcon::WriteData(TStream& stream) const { SaveToStream(stream); }

std::unique_ptr<TGraphic> TIcon::Clone() const { return std::make_unique<TIcon>(*this); }

bool TIcon::SameData(const TGraphic& other) const {
    const auto* o = dynamic_cast<const TIcon*>(&other);
    return o && (d == o->d || d->bytes == o->d->bytes);
}

void TIcon::Assign(const TPersistent& source) {
    if (auto* i = dynamic_cast<const TIcon*>(&source)) {
        d = i->d;
        return;
    }
    if (auto* pic = dynamic_cast<const TPicture*>(&source)) {
        if (!pic->Graphic()) {
            d = std::make_shared<Impl>();
            return;
        }
        if (auto* i = dynamic_cast<const TIcon*>(pic->Graphic())) {
            d = i->d;
            return;
        }
    }
    TGraphic::Assign(source);
}

const TBytes& TIcon::Bytes() const { return d->bytes; }

}  // namespace tk
