// Playing an intro library in time. The timeline turns the slides'
// transitions, speeds and holds into steps on a clock (microseconds), and
// says for any moment which slides are on show, with which effect and how
// far it has come; TIntroFrames draws that moment. Whoever plays an intro
// (a game, the editor's player window, qvxlib render) owns the clock.
//
// Each slide played is one step: its transition from the slide before
// (from index 0 for the first slide), lasting 5 s / speed, then its hold
// in seconds. Speeds outside 1..100 and holds outside 0..100, which files
// may carry, play as the nearest of those; a transition number above 28
// plays as a cut.
#pragma once

#include <cstdint>
#include <list>
#include <vector>

#include "qvx/intro/transitions.h"

namespace qvx {

class TIntroLibrary;

inline constexpr int64_t kMicrosPerSecond = 1000000;

// 5 s / speed, the speed taken into 1..100: 5 s at 1, 1 s at the editor's
// default of 5, 50 ms at 100.
int64_t TransitionDuration(int32_t speed);
// The hold, taken into 0..100 seconds.
int64_t HoldDuration(int32_t hold);
// The effect a stored transition number plays as (above 28: a cut).
int PlayedEffect(int transition);

// One slide's turn: its transition from Start to Shown, its hold from Shown
// to End (the next step's Start).
struct TIntroStep {
    int Slide = 0;  // index in the library
    int Effect = 0;
    int64_t Start = 0;
    int64_t Shown = 0;
    int64_t End = 0;
};

// What is on show at one moment.
struct TIntroState {
    int Step = -1;  // index in Steps(); -1 when there is none
    int From = -1;  // slide shown before, -1 for the bare frame (index 0)
    int To = -1;    // slide coming in or on show, -1 for the bare frame
    int Effect = 0;
    double Progress = 1;  // of the transition; 1 during the hold
    bool Finished = false;
    bool operator==(const TIntroState&) const = default;
};

class TIntroTimeline {
public:
    // Slides first..last of `library` (last -1: to the end), those without
    // a record left out. `before` is the slide shown before the first one
    // (-1: the bare frame).
    TIntroTimeline(const TIntroLibrary& library, int first = 0, int last = -1, int before = -1);

    const std::vector<TIntroStep>& Steps() const { return steps_; }
    // One pass, in microseconds.
    int64_t Length() const { return steps_.empty() ? 0 : steps_.back().End; }
    // The state `time` microseconds after the start. Past the end the last
    // slide stays on show and Finished is set; with `loop` the intro starts
    // again instead, its first slide coming in from the last one (an intro
    // of no length stays on its last slide).
    TIntroState At(int64_t time, bool loop = false) const;

private:
    std::vector<TIntroStep> steps_;
    int before_ = -1;
};

// The frames of one library: every slide centred on a frame as large as the
// largest slide, and the moments of its timeline drawn into such frames.
class TIntroFrames {
public:
    // Raises tk::Exception for slides whose frame would be unreasonably
    // large (more than 8192 x 8192 pixels).
    explicit TIntroFrames(const TIntroLibrary& library);

    int Width() const { return width_; }
    int Height() const { return height_; }
    // Slide `index` on the frame (index -1 or a slide without a record: the
    // bare frame). Kept for the next calls; a few slides are kept at once.
    const TIntroFrame& Slide(int index);
    void Draw(const TIntroState& state, TFrameTarget out);
    TIntroFrame Draw(const TIntroState& state);

private:
    struct Cached {
        int index;
        TIntroFrame frame;
    };
    const TIntroLibrary& library_;
    int width_ = 1, height_ = 1;
    std::list<Cached> cache_;  // most recently used first
};

}  // namespace qvx
