// Animated GIFs of 8-bit frames in one palette (qvxlib render). The global
// colour table is the palette as it is, so colours are exact. giflib does
// the LZW coding.
#pragma once

#include <cstdint>
#include <vector>

#include "qvx/intro/intro_library.h"
#include "qvx/intro/transitions.h"

namespace qvxlib {

// One frame's image block (descriptor, local table if any, LZW data) and its
// transparent index in the table it uses (-1: none).
struct GifCodedImage {
    std::vector<uint8_t> block;
    int transparent = -1;
};

class GifWriter {
public:
    // Frames of width x height. `loop`: played over and over (the NETSCAPE
    // extension) rather than once. `plain`: every frame stored whole, for
    // other tools to work on; otherwise each frame after the first stores
    // only the rectangle that changed, with the unchanged pixels in it
    // transparent where that codes smaller.
    GifWriter(int width, int height, const qvx::TLibPalette& palette, bool loop, bool plain);
    ~GifWriter();
    GifWriter(const GifWriter&) = delete;
    GifWriter& operator=(const GifWriter&) = delete;

    // Adds a frame shown for `delay` hundredths of a second. A frame that
    // looks like the one before it (the same colours) adds its time to that
    // one. Indices of one colour are written as the first of them.
    void Add(const qvx::TIntroFrame& frame, int delay);
    // The file's bytes. Raises tk::Exception when giflib fails.
    std::vector<uint8_t> Finish();
    // Frames written so far (equal ones counted once).
    int FrameCount() const { return frames_; }

private:
    void Write(const qvx::TIntroFrame& frame, int delay);
    void Put(const GifCodedImage& coded, int delay);
    // An index no changed pixel of the rectangle uses, when some pixel in
    // it is unchanged; else -1.
    int TransparentIndex(const qvx::TIntroFrame& frame, int x0, int y0, int w, int h) const;
    // The rectangle's pixels with unchanged ones made `t`: all of them, or
    // those that make the fewest runs in their row.
    std::vector<uint8_t> Holes(int x0, int y0, int w, int h, const std::vector<uint8_t>& pixels, uint8_t t,
                               bool fewestRuns) const;

    int width_, height_;
    std::vector<uint8_t> colours_;  // 256 x red, green, blue
    uint8_t canonical_[256];        // each index: the first index of its colour
    bool plain_;
    std::vector<uint8_t> out_;
    qvx::TIntroFrame shown_;  // what the viewer shows after the frames written
    qvx::TIntroFrame pending_;
    int pendingDelay_ = 0;
    bool hasPending_ = false;
    int frames_ = 0;
};

}  // namespace qvxlib
