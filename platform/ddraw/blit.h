// The blitters: fast ones the surfaces use, and a slow reference that
// handles one pixel at a time through plain reads and writes, for tests to
// check the fast ones against. Rectangles are already clipped and inside
// both views; source and destination must not overlap (the caller copies
// overlapping sources first), except for Copy, which allows it.
#pragma once

#include <cstdint>

#include "pixels.h"

namespace ddraw {

// A source colour key: pixels whose colour bits (`mask`) lie within
// [low, high] channel by channel are not copied. low == high is one value.
struct ColourKey {
    bool on = false;
    uint32_t low = 0, high = 0;
    uint32_t mask = 0xFFFFFFFF;
};

namespace blit {

void Fill(const PixelView& dst, const RECT& r, uint32_t value);
// Copies src rectangle `sr` to (dx, dy); overlapping rectangles of one
// surface are copied as if through a temporary.
void Copy(const PixelView& dst, int dx, int dy, const PixelView& src, const RECT& sr);
// As Copy, leaving destination pixels where the source matches `key`.
void CopyKeyed(const PixelView& dst, int dx, int dy, const PixelView& src, const RECT& sr, const ColourKey& key,
               const PixelFormat& f);
// Nearest-pixel stretch of `sr` onto `dr`, writing only inside `clip`
// (a part of `dr`): destination pixel x takes source column
// sr.left + (x - dr.left) * width(sr) / width(dr), rows alike.
void Stretch(const PixelView& dst, const RECT& dr, const RECT& clip, const PixelView& src, const RECT& sr,
             const ColourKey& key, const PixelFormat& f);

}  // namespace blit

namespace refblit {

uint32_t GetPixel(const PixelView& v, int x, int y);
void PutPixel(const PixelView& v, int x, int y, uint32_t value);
bool IsKeyed(uint32_t pixel, const ColourKey& key, const PixelFormat& f);

void Fill(const PixelView& dst, const RECT& r, uint32_t value);
void Copy(const PixelView& dst, int dx, int dy, const PixelView& src, const RECT& sr);
void CopyKeyed(const PixelView& dst, int dx, int dy, const PixelView& src, const RECT& sr, const ColourKey& key,
               const PixelFormat& f);
void Stretch(const PixelView& dst, const RECT& dr, const RECT& clip, const PixelView& src, const RECT& sr,
             const ColourKey& key, const PixelFormat& f);

}  // namespace refblit

}  // namespace ddraw
