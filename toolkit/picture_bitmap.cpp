// TBitmap: a bitmap held as a QImage (shared between copies until one of
// them changes), read from and written to BMP files.
#include <cstring>

#include "bmpcodec.h"
#include "picture.h"
#include "streamblock.h"
#include "streams.h"

namespace tk {

namespace {

// The canvas of a bitmap: takes its context (the bitmap's own image) on
// the first drawing operation, after making the pixels drawable and
// unshared.
class TBitmapCanvas : public TCanvas {
public:
    explicit TBitmapCanvas(std::function<QImage*()> prepare) : prepare_(std::move(prepare)) {}
    ~TBitmapCanvas() override { SetHandle(nullptr); }

protected:
    void CreateHandle() override {
        dc_ = std::make_unique<TImageDC>(prepare_());
        SetHandle(dc_.get());
    }

private:
    std::function<QImage*()> prepare_;
    std::unique_ptr<TImageDC> dc_;
};

int DepthOf(const QImage& image) {
    switch (image.format()) {
        case QImage::Format_Invalid: return 0;
        case QImage::Format_Indexed8: return 8;
        case QImage::Format_RGB555:
        case QImage::Format_RGB16: return 16;
        case QImage::Format_RGB888:
        case QImage::Format_BGR888: return 24;
        default: return 32;
    }
}

}  // namespace

struct TBitmap::Impl {
    QImage image;
    int bpp = 0;
    bool core = false;  // written back with a 12-byte header
    TLogPalette palette;
    std::unique_ptr<TBitmapCanvas> canvas;

    // Ends any drawing in progress, so the pixels are complete and no
    // painter holds them.
    void Flush() {
        if (canvas) canvas->SetHandle(nullptr);
    }

    QImage* PrepareForDrawing() {
        if (image.isNull()) return &image;  // the canvas refuses to draw on nothing
        if (image.format() == QImage::Format_Indexed8 || image.format() == QImage::Format_Mono ||
            image.format() == QImage::Format_MonoLSB) {
            image = image.convertToFormat(QImage::Format_RGB32);
            bpp = 32;
            core = false;
        }
        image.bits();  // detach from copies before the painter writes
        return &image;
    }

    void Set(QImage img, int bitsPerPixel) {
        Flush();
        switch (img.format()) {
            case QImage::Format_Invalid:
            case QImage::Format_Indexed8:
            case QImage::Format_RGB555:
            case QImage::Format_RGB16:
            case QImage::Format_RGB888:
            case QImage::Format_BGR888:
            case QImage::Format_RGB32:
                break;
            case QImage::Format_Mono:
            case QImage::Format_MonoLSB:
                img = img.convertToFormat(QImage::Format_Indexed8);
                if (bitsPerPixel == 0) bitsPerPixel = 1;
                break;
            case QImage::Format_Grayscale8: {
                QImage idx(img.width(), img.height(), QImage::Format_Indexed8);
                if (idx.isNull()) throw EOutOfMemory(msg::SOutOfMemory);
                QList<QRgb> grey;
                for (int i = 0; i < 256; ++i) grey.push_back(qRgb(i, i, i));
                idx.setColorTable(grey);
                for (int y = 0; y < img.height(); ++y)
                    std::memcpy(idx.scanLine(y), img.constScanLine(y), size_t(img.width()));
                img = std::move(idx);
                break;
            }
            default:
                img = img.convertToFormat(QImage::Format_RGB32);
                break;
        }
        int depth = DepthOf(img);
        if (depth == 8) {
            if (bitsPerPixel == 1 || bitsPerPixel == 4) {
                if (img.colorCount() <= (1 << bitsPerPixel)) depth = bitsPerPixel;
            }
        }
        image = std::move(img);
        bpp = image.isNull() ? 0 : depth;
        core = false;
    }
};

TBitmap::TBitmap() : d(std::make_unique<Impl>()) {}
TBitmap::~TBitmap() = default;

TBitmap::TBitmap(const TBitmap& other) : TGraphic(), d(std::make_unique<Impl>()) {
    other.d->Flush();
    d->image = other.d->image;
    d->bpp = other.d->bpp;
    d->core = other.d->core;
    d->palette = other.d->palette;
}

TBitmap& TBitmap::operator=(const TBitmap& other) {
    if (this != &other) {
        other.d->Flush();
        d->Flush();
        d->image = other.d->image;
        d->bpp = other.d->bpp;
        d->core = other.d->core;
        d->palette = other.d->palette;
    }
    return *this;
}

bool TBitmap::Empty() const { return d->image.isNull() || d->image.width() == 0 || d->image.height() == 0; }
int TBitmap::Width() const { return d->image.width(); }
int TBitmap::Height() const { return d->image.height(); }

void TBitmap::Draw(TCanvas& canvas, const TRect& r) const {
    if (Empty()) return;
    d->Flush();
    canvas.DrawImage(r, d->image);
}

void TBitmap::LoadFromStream(TStream& stream) {
    const TBytes bytes = ReadBlock(stream, stream.Remaining());
    bmp::Decoded dec = bmp::DecodeFile(bytes.data(), bytes.size());
    d->Set(std::move(dec.image), dec.bitsPerPixel);
    d->bpp = dec.bitsPerPixel;
    d->core = dec.coreHeader;
}

void TBitmap::SaveToStream(TStream& stream) const {
    if (Empty()) return;
    d->Flush();
    std::vector<uint8_t> bytes = bmp::EncodeFile(d->image, d->bpp, d->core);
    stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

void TBitmap::ReadData(TStream& stream, int64_t size) {
    if (size < 4) throw EReadError(msg::SReadError);
    const uint32_t n = stream.ReadLE<uint32_t>();
    if (int64_t(n) > size - 4 || int64_t(n) > stream.Remaining()) throw EReadError(msg::SReadError);
    if (n == 0) {
        d->Set(QImage(), 0);
        return;
    }
    const TBytes bytes = ReadBlock(stream, n);
    bmp::Decoded dec = bmp::DecodeFile(bytes.data(), bytes.size());
    d->Set(std::move(dec.image), dec.bitsPerPixel);
    d->bpp = dec.bitsPerPixel;
    d->core = dec.coreHeader;
}

void TBitmap::WriteData(TStream& stream) const {
    std::vector<uint8_t> bytes;
    if (!Empty()) {
        d->Flush();
        bytes = bmp::EncodeFile(d->image, d->bpp, d->core);
    }
    stream.WriteLE<uint32_t>(static_cast<uint32_t>(bytes.size()));
    stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

std::unique_ptr<TGraphic> TBitmap::Clone() const { return std::make_unique<TBitmap>(*this); }

bool TBitmap::SameData(const TGraphic& other) const {
    // Copies share their pixels until one is drawn on; those need no
    // comparison. Anything else is compared as written.
    if (const auto* o = dynamic_cast<const TBitmap*>(&other)) {
        d->Flush();
        o->d->Flush();
        if (d->image.cacheKey() == o->d->image.cacheKey() && d->bpp == o->d->bpp && d->core == o->d->core &&
            d->palette == o->d->palette)
            return true;
    }
    return TGraphic::SameData(other);
}

void TBitmap::Assign(const TPersistent& source) {
    if (auto* b = dynamic_cast<const TBitmap*>(&source)) {
        *this = *b;
        return;
    }
    if (auto* pic = dynamic_cast<const TPicture*>(&source)) {
        if (!pic->Graphic()) {
            d->Set(QImage(), 0);
            d->palette.clear();
            return;
        }
        Assign(*pic->Graphic());
        return;
    }
    if (auto* g = dynamic_cast<const TGraphic*>(&source)) {
        // Any other picture kind: its image drawn on a white 32-bit bitmap.
        QImage img;
        if (!g->Empty()) {
            img = QImage(g->Width(), g->Height(), QImage::Format_RGB32);
            if (img.isNull()) throw EOutOfMemory(msg::SOutOfMemory);
            img.fill(Qt::white);
            TCanvas c(&img);
            g->Draw(c, Bounds(0, 0, g->Width(), g->Height()));
        }
        d->Set(std::move(img), 0);
        d->palette.clear();
        return;
    }
    TGraphic::Assign(source);
}

const QImage& TBitmap::Image() const {
    d->Flush();
    return d->image;
}

void TBitmap::SetImage(QImage image, int bitsPerPixel) { d->Set(std::move(image), bitsPerPixel); }

int TBitmap::BitsPerPixel() const { return d->bpp; }

const TLogPalette& TBitmap::Palette() const { return d->palette; }
void TBitmap::SetPalette(TLogPalette palette) { d->palette = std::move(palette); }

void TBitmap::SetSize(int width, int height) {
    d->Flush();
    if (width < 0) width = 0;
    if (height < 0) height = 0;
    if (width == Width() && height == Height() && !d->image.isNull()) return;
    const QImage::Format f = d->image.isNull() ? QImage::Format_RGB32 : d->image.format();
    QImage img(width, height, f);
    if (width > 0 && height > 0 && img.isNull()) throw EOutOfMemory(msg::SOutOfMemory);
    if (f == QImage::Format_Indexed8) img.setColorTable(d->image.colorTable());
    img.fill(0);
    // Keep the pixels the old and new sizes share.
    const int w = std::min(width, d->image.width()), h = std::min(height, d->image.height());
    const qsizetype rowBytes = qsizetype(w) * img.depth() / 8;
    for (int y = 0; y < h; ++y) std::memcpy(img.scanLine(y), d->image.constScanLine(y), size_t(rowBytes));
    const int keepBpp = d->bpp;
    const bool keepCore = d->core;
    d->image = std::move(img);
    d->bpp = keepBpp ? keepBpp : DepthOf(d->image);
    d->core = keepCore;
}

TCanvas& TBitmap::Canvas() {
    if (!d->canvas) {
        Impl* impl = d.get();
        d->canvas = std::make_unique<TBitmapCanvas>([impl]() { return impl->PrepareForDrawing(); });
    }
    return *d->canvas;
}

void TBitmap::ReleaseCanvas() { d->Flush(); }

}  // namespace tk
