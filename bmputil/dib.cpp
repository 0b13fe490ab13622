// AssignDIB: an 8-bit pixel block and its colour table as a bitmap picture.
#include <QImage>
#include <cstdlib>
#include <cstring>

#include "bmputil.h"
#include "toolkit/picture.h"

namespace bmputil {

void AssignDIB(tk::TBitmap& picture, const TBitmapInfo& info, std::span<const uint8_t> pixels) {
    // The picture's previous image and palette go first, whatever follows.
    picture.SetImage(QImage());
    picture.SetPalette(tk::TLogPalette());

    const TBitmapInfoHeader& h = info.bmiHeader;
    const int64_t width = h.biWidth;
    const int64_t rows = std::abs(static_cast<int64_t>(h.biHeight));
    const int64_t stride = BytesPerLine(width);
    if (h.biBitCount != 8 || h.biCompression != 0 || width <= 0 || rows == 0 || width > INT32_MAX ||
        rows > INT32_MAX || stride * rows > static_cast<int64_t>(pixels.size()))
        throw tk::Exception(SCreateDIBFailed);

    QImage image(static_cast<int>(width), static_cast<int>(rows), QImage::Format_Indexed8);
    if (image.isNull()) throw tk::Exception(SCreateDIBFailed);
    QList<QRgb> colors(256);
    for (int i = 0; i < 256; ++i)
        colors[i] =
            qRgb(info.bmiColors[i].rgbRed, info.bmiColors[i].rgbGreen, info.bmiColors[i].rgbBlue);
    image.setColorTable(colors);
    const bool topDown = h.biHeight < 0;
    for (int64_t y = 0; y < rows; ++y) {
        const uint8_t* src = pixels.data() + (topDown ? y : rows - 1 - y) * stride;
        std::memcpy(image.scanLine(static_cast<int>(y)), src, static_cast<size_t>(width));
    }
    picture.SetImage(std::move(image), 8);
    picture.SetPalette(MakePalette(info));
}

}  // namespace bmputil
