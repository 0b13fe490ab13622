// The transition effects of intro libraries, drawn by one pure function:
// the frame shown before, the frame coming in, the effect and the progress
// (0 to 1) give the 8-bit frame, in the library palette's indices. Slides
// are first centred on frames of one size over index 0 (SlideFrame); time
// belongs to whoever plays the intro (intro_timeline.h).
//
// The effects, by their stored number (the names are TransitionNames):
//   0 no effect (a cut: the old frame until progress 1)
//   1-4   SlideRight/Left/Down/Up: the new slide slides in over the old one
//   5     ZoomOpen: the new slide shows in a rectangle growing from the centre
//   6     Curtains: the old slide parts in the middle, halves sliding aside
//   7     Shutters: ten slats, each opening from its middle line
//   8     Quarters: the old slide's quarters slide out to the four corners
//   9     VerticalLines: every 16th column wipes down, the sets interlaced
//   10    HorizontalLines: one-pixel rows appear in an interlaced order
//   11    UpDownLines: even columns wipe down, odd columns wipe up
//   12    LeftRightLines: even rows wipe right, odd rows wipe left
//   13-16 Scrollright/left/Up/Down: the new slide pushes the old one out
//   17    Drip: 8-pixel drops of the new slide run down, each at its own time
//   18    HorizontalOpenOut: a band opening from the centre to left and right
//   19    VerticalOpenOut: a band opening from the centre to top and bottom
//   20-23 Diagonal*: a diagonal edge sweeps from the named corner
//   24-25 Vertical/HorizontalStripes: 16-pixel stripes, each wiping across
//   26    LargeVerticalStripes: eight stripes, alternately down and up
//   27    LargeHorizontalStripes: eight bands, alternately right and left
//   28    FollowMe: eight bands slide in one after another, alternate sides
// Numbers above 28 play as a cut.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qvx {

struct TIntroSlide;

inline constexpr int kLastTransitionEffect = 28;

// An 8-bit frame: Width x Height palette indices, rows top first, no padding.
struct TIntroFrame {
    int Width = 0;
    int Height = 0;
    std::vector<uint8_t> Pixels;

    TIntroFrame() = default;
    // All index 0.
    TIntroFrame(int width, int height);
    uint8_t* Row(int y) { return Pixels.data() + static_cast<ptrdiff_t>(y) * Width; }
    const uint8_t* Row(int y) const { return Pixels.data() + static_cast<ptrdiff_t>(y) * Width; }
    bool operator==(const TIntroFrame&) const = default;
};

// Where a frame is drawn: row 0 at Bits, rows Pitch bytes apart.
struct TFrameTarget {
    uint8_t* Bits = nullptr;
    ptrdiff_t Pitch = 0;
};

// `slide` centred on a width x height frame of index 0, cut where it is
// larger. A slide without pixels gives the bare frame.
TIntroFrame SlideFrame(const TIntroSlide& slide, int width, int height);

// Draws `effect` at `progress` (clamped to 0..1) from `from` to `to`, which
// must be of one size, into `out` (a frame of that size). Progress 0 gives
// `from`, 1 gives `to`; every pixel drawn is the pixel of one of the two
// frames, at its place or, where a slide moves, shifted with it. The same
// arguments give the same frame everywhere (integer arithmetic only).
void RenderTransition(const TIntroFrame& from, const TIntroFrame& to, int effect, double progress,
                      TFrameTarget out);
TIntroFrame RenderTransition(const TIntroFrame& from, const TIntroFrame& to, int effect, double progress);

}  // namespace qvx
