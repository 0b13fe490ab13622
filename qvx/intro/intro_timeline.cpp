#include "intro_timeline.h"

#include <algorithm>

#include "intro_library.h"
#include "toolkit/sysutils.h"

namespace qvx {

int64_t TransitionDuration(int32_t speed) {
    return 5 * kMicrosPerSecond / std::clamp<int32_t>(speed, 1, 100);
}

int64_t HoldDuration(int32_t hold) { return std::clamp<int32_t>(hold, 0, 100) * kMicrosPerSecond; }

int PlayedEffect(int transition) {
    return transition >= 0 && transition <= kLastTransitionEffect ? transition : 0;
}

// ---- Timeline -------------------------------------------------------------------

TIntroTimeline::TIntroTimeline(const TIntroLibrary& library, int first, int last, int before)
    : before_(before) {
    const int count = library.SlideCount();
    if (last < 0 || last >= count) last = count - 1;
    int64_t now = 0;
    for (int i = std::max(first, 0); i <= last; ++i) {
        const TIntroSlide* slide = library.Slide(i);
        if (!slide) continue;
        TIntroStep step;
        step.Slide = i;
        step.Effect = PlayedEffect(slide->Transition);
        step.Start = now;
        step.Shown = now + (step.Effect == 0 ? 0 : TransitionDuration(slide->Speed));
        step.End = step.Shown + HoldDuration(slide->Hold);
        now = step.End;
        steps_.push_back(step);
    }
}

TIntroState TIntroTimeline::At(int64_t time, bool loop) const {
    TIntroState s;
    if (steps_.empty()) {
        s.Finished = !loop;
        return s;
    }
    const int64_t length = Length();
    int64_t pass = 0;
    if (time >= length) {
        if (!loop || length == 0) {
            s.Step = static_cast<int>(steps_.size()) - 1;
            s.From = s.To = steps_.back().Slide;
            s.Finished = !loop;
            return s;
        }
        pass = time / length;
        time %= length;
    }
    time = std::max<int64_t>(time, 0);
    // The last step that has started; zero-length steps before it are passed.
    auto it = std::upper_bound(steps_.begin(), steps_.end(), time,
                               [](int64_t t, const TIntroStep& step) { return t < step.Start; });
    const size_t index = static_cast<size_t>(it - steps_.begin()) - 1;
    const TIntroStep& step = steps_[index];
    s.Step = static_cast<int>(index);
    s.To = step.Slide;
    if (time >= step.Shown) {
        s.From = step.Slide;  // holding: only the slide itself is on show
        return s;
    }
    s.From = index > 0 ? steps_[index - 1].Slide : pass > 0 ? steps_.back().Slide : before_;
    s.Effect = step.Effect;
    s.Progress = static_cast<double>(time - step.Start) / static_cast<double>(step.Shown - step.Start);
    return s;
}

// ---- Frames ---------------------------------------------------------------------

TIntroFrames::TIntroFrames(const TIntroLibrary& library) : library_(library) {
    for (int i = 0; i < library.SlideCount(); ++i)
        if (const TIntroSlide* s = library.Slide(i)) {
            width_ = std::max(width_, s->Width);
            height_ = std::max(height_, s->Height);
        }
    constexpr int64_t kMaxPixels = int64_t{8192} * 8192;
    if (static_cast<int64_t>(width_) * height_ > kMaxPixels)
        throw tk::Exception(tk::Format("The intro's frame would be too large (%d x %d)", width_, height_));
}

const TIntroFrame& TIntroFrames::Slide(int index) {
    const TIntroSlide* slide = library_.Slide(index);
    if (!slide) index = -1;
    for (auto it = cache_.begin(); it != cache_.end(); ++it)
        if (it->index == index) {
            cache_.splice(cache_.begin(), cache_, it);
            return cache_.front().frame;
        }
    // Two slides take part in a transition; one more spares a loop's turn.
    if (cache_.size() >= 3) cache_.pop_back();
    cache_.push_front({index, slide ? SlideFrame(*slide, width_, height_) : TIntroFrame(width_, height_)});
    return cache_.front().frame;
}

void TIntroFrames::Draw(const TIntroState& state, TFrameTarget out) {
    if (state.Progress >= 1 || state.Effect == 0 || state.From == state.To) {
        const TIntroFrame& shown = Slide(state.Progress >= 1 ? state.To : state.From);
        for (int y = 0; y < height_; ++y)
            std::copy_n(shown.Row(y), width_, out.Bits + static_cast<ptrdiff_t>(y) * out.Pitch);
        return;
    }
    // Both stay cached while the frame is drawn: Slide keeps three.
    const TIntroFrame& from = Slide(state.From);
    const TIntroFrame& to = Slide(state.To);
    RenderTransition(from, to, state.Effect, state.Progress, out);
}

TIntroFrame TIntroFrames::Draw(const TIntroState& state) {
    TIntroFrame out(width_, height_);
    Draw(state, TFrameTarget{out.Pixels.data(), out.Width});
    return out;
}

}  // namespace qvx
