// Frames a window shows. A frame is read only when the window paints, so a
// frame replaced before the next paint is never converted, and a paint
// converts straight into the window's own pixels instead of through a copy.
#pragma once

#include <QImage>
#include <cstdint>

#include "toolkit/graphics.h"

namespace winsys {

class Frame {
public:
    virtual ~Frame() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // Row y as opaque 32-bit RGB (0xFFRRGGBB), Width() pixels.
    virtual void ReadRow(int y, uint32_t* out) const = 0;

    // The whole frame as a Format_RGB32 image.
    QImage ToImage() const;
};

// A frame over an image (converted to RGB32 once, when made).
class ImageFrame : public Frame {
public:
    explicit ImageFrame(const QImage& image);
    int Width() const override { return image_.width(); }
    int Height() const override { return image_.height(); }
    void ReadRow(int y, uint32_t* out) const override;

private:
    QImage image_;
};

// Writes `frame` into `target` at `dest` when that can be done directly:
// the target is a 32-bit RGB image without a device pixel ratio, `dest` lies
// inside it and is the frame scaled by a whole number. False (nothing
// written) otherwise; the caller then draws ToImage() scaled.
bool RenderFrame(const Frame& frame, QImage& target, const tk::TRect& dest);

// Where a frame of w x h goes in a client area of cw x ch: centred at the
// largest integer scale that fits, or scaled down keeping its shape when
// not even scale 1 fits.
tk::TRect Letterbox(int w, int h, int cw, int ch);

}  // namespace winsys
