// Intro playing: any library that loads plays without harm. Its moments,
// drawn by the timeline and the renderer, hold only index 0 and pixels of
// the slides; every effect draws every pixel; a step's end is its slide.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <vector>

#include "qvx/intro/intro_library.h"
#include "qvx/intro/intro_timeline.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qvx;
    TIntroLibrary lib;
    try {
        if (lib.LoadFromBytes(std::span<const uint8_t>(data, size)) != TLoadResult::Loaded) return 0;
    } catch (const tk::Exception&) {
        // What was read before the failure plays all the same.
    }
    try {
        TIntroFrames frames(lib);
        if (static_cast<int64_t>(frames.Width()) * frames.Height() > (1 << 20)) return 0;  // kept quick
        std::set<uint8_t> held{0};
        for (int i = 0; i < lib.SlideCount(); ++i)
            for (uint8_t p : frames.Slide(i).Pixels) held.insert(p);
        const TIntroTimeline timeline(lib);
        const int64_t length = timeline.Length();
        for (int64_t k = 0; k <= 16; ++k) {
            const int64_t time = length / 16 * k + (k % 3);
            for (bool loop : {false, true}) {
                const TIntroState state = timeline.At(time, loop);
                TIntroFrame out(frames.Width(), frames.Height());
                std::fill(out.Pixels.begin(), out.Pixels.end(), uint8_t(0xA5));
                frames.Draw(state, TFrameTarget{out.Pixels.data(), out.Width});
                for (uint8_t p : out.Pixels)
                    if (!held.count(p)) std::abort();
                if (state.Progress >= 1 && out != frames.Slide(state.To)) std::abort();
            }
        }
        // Every effect, whatever a file's transition number says.
        if (lib.SlideCount() >= 1) {
            const TIntroFrame& a = frames.Slide(-1);
            const TIntroFrame& b = frames.Slide(lib.SlideCount() - 1);
            for (int effect = 0; effect <= 30; ++effect) {
                const TIntroFrame f = RenderTransition(a, b, effect, (data[0] % 97) / 97.0);
                for (uint8_t p : f.Pixels)
                    if (!held.count(p)) std::abort();
            }
        }
    } catch (const tk::Exception&) {
        // A frame too large is refused with a message.
    }
    return 0;
}
