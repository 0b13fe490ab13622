#include "frame.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace winsys {

QImage Frame::ToImage() const {
    QImage img(Width(), Height(), QImage::Format_RGB32);
    if (img.isNull()) return img;
    for (int y = 0; y < img.height(); ++y) ReadRow(y, reinterpret_cast<uint32_t*>(img.scanLine(y)));
    return img;
}

ImageFrame::ImageFrame(const QImage& image) : image_(image.convertToFormat(QImage::Format_RGB32)) {}

void ImageFrame::ReadRow(int y, uint32_t* out) const {
    std::memcpy(out, image_.constScanLine(y), static_cast<size_t>(image_.width()) * 4);
}

bool RenderFrame(const Frame& frame, QImage& target, const tk::TRect& dest) {
    int w = frame.Width(), h = frame.Height();
    if (w <= 0 || h <= 0) return false;
    switch (target.format()) {
        case QImage::Format_RGB32:
        case QImage::Format_ARGB32:
        case QImage::Format_ARGB32_Premultiplied: break;
        default: return false;
    }
    if (target.devicePixelRatio() != 1.0) return false;
    int k = dest.Width() / w;
    if (k < 1 || dest.Width() != w * k || dest.Height() != h * k) return false;
    if (dest.Left < 0 || dest.Top < 0 || dest.Right > target.width() || dest.Bottom > target.height()) return false;
    // Rows go through bits() once: scanLine() would check for sharing on every row.
    uchar* bits = target.bits();
    qsizetype stride = target.bytesPerLine();
    auto row = [&](int y) { return reinterpret_cast<uint32_t*>(bits + stride * y) + dest.Left; };
    if (k == 1) {
        for (int y = 0; y < h; ++y) frame.ReadRow(y, row(dest.Top + y));
        return true;
    }
    std::vector<uint32_t> src(static_cast<size_t>(w));
    for (int y = 0; y < h; ++y) {
        frame.ReadRow(y, src.data());
        uint32_t* out = row(dest.Top + y * k);
        for (int x = 0; x < w; ++x)
            for (int j = 0; j < k; ++j) out[x * k + j] = src[static_cast<size_t>(x)];
        for (int j = 1; j < k; ++j) std::memcpy(row(dest.Top + y * k + j), out, static_cast<size_t>(w * k) * 4);
    }
    return true;
}

tk::TRect Letterbox(int w, int h, int cw, int ch) {
    if (w <= 0 || h <= 0 || cw <= 0 || ch <= 0) return tk::TRect{};
    int k = std::min(cw / w, ch / h);
    int dw, dh;
    if (k >= 1) {
        dw = w * k;
        dh = h * k;
    } else if (int64_t(cw) * h <= int64_t(ch) * w) {
        dw = cw;
        dh = std::max(1, static_cast<int>(int64_t(h) * cw / w));
    } else {
        dh = ch;
        dw = std::max(1, static_cast<int>(int64_t(w) * ch / h));
    }
    return tk::Bounds((cw - dw) / 2, (ch - dh) / 2, dw, dh);
}

}  // namespace winsys
