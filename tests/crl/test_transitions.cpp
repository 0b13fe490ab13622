// The transition renderer and the intro timeline.
#include <gtest/gtest.h>

#include <set>

#include "qvx/intro/intro_library.h"
#include "qvx/intro/intro_timeline.h"
#include "qvx/intro/transitions.h"

using namespace qvx;

namespace {

// A slide whose pixels are drawn from [low, low + 99]; no pixel is 0.
TIntroSlide MakeSlide(int w, int h, int low, uint32_t seed) {
    TIntroSlide s;
    s.Width = w;
    s.Height = h;
    const int stride = bmputil::BytesPerLine(w);
    s.Pixels = tk::TBytes::Uninitialized(static_cast<size_t>(stride * h));
    std::fill(s.Pixels.data(), s.Pixels.data() + s.Pixels.size(), uint8_t(0));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            seed = seed * 1664525u + 1013904223u;
            s.Pixels.data()[y * stride + x] = static_cast<uint8_t>(low + (seed >> 24) % 100);
        }
    return s;
}

bool IsNew(uint8_t v) { return v >= 101 && v <= 200; }

// Effects that reveal the new slide where it stands, for good; all but
// Curtains (6) and Quarters (8) also leave the old slide where it stands.
const std::set<int> kReveals = {5, 6, 7, 8, 9, 10, 11, 12, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27};
const std::set<int> kInPlace = {5, 7, 9, 10, 11, 12, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27};

TEST(Transitions, EveryEffectGoesFromOldToNewThroughTheirPixelsOnly) {
    // Slides of different sizes on one odd-sized frame: index 0 shows round them.
    const TIntroSlide oldSlide = MakeSlide(67, 41, 1, 7), newSlide = MakeSlide(61, 45, 101, 9);
    const TIntroFrame a = SlideFrame(oldSlide, 67, 45), b = SlideFrame(newSlide, 67, 45);
    ASSERT_EQ(a.Row(2)[0], oldSlide.Pixels.data()[0]);  // two rows of index 0 above, none beside
    ASSERT_EQ(a.Row(1)[5], 0);
    ASSERT_EQ(b.Row(0)[2], 0);
    ASSERT_NE(b.Row(0)[3], 0);

    std::vector<TIntroFrame> middles;
    for (int effect = 0; effect <= 30; ++effect) {
        SCOPED_TRACE("effect " + std::to_string(effect));
        EXPECT_EQ(RenderTransition(a, b, effect, 0.0), a);
        EXPECT_EQ(RenderTransition(a, b, effect, 1.0), b);
        const bool reveal = kReveals.count(effect) > 0, inPlace = kInPlace.count(effect) > 0;
        TIntroFrame previous = a;
        for (int step = 1; step < 40; ++step) {
            // Drawn over 255, which neither slide holds: every pixel must be written.
            TIntroFrame f = a;
            std::fill(f.Pixels.begin(), f.Pixels.end(), 255);
            RenderTransition(a, b, effect, step / 40.0, TFrameTarget{f.Pixels.data(), f.Width});
            for (int y = 0; y < f.Height; ++y)
                for (int x = 0; x < f.Width; ++x) {
                    const uint8_t v = f.Row(y)[x], av = a.Row(y)[x], bv = b.Row(y)[x];
                    if (inPlace) {
                        ASSERT_TRUE(v == av || v == bv) << x << "," << y;
                    }
                    ASSERT_LE(v, 200) << x << "," << y;
                    if (reveal && bv != 0 && previous.Row(y)[x] == bv) {
                        ASSERT_EQ(v, bv) << x << "," << y;
                    }
                }
            previous = f;
        }
        if (effect >= 1 && effect <= kLastTransitionEffect) middles.push_back(RenderTransition(a, b, effect, 0.37));
        if (effect == 0 || effect > kLastTransitionEffect) {
            EXPECT_EQ(RenderTransition(a, b, effect, 0.99), a);
        }
    }
    // No two effects draw the same picture.
    for (size_t i = 0; i < middles.size(); ++i)
        for (size_t j = i + 1; j < middles.size(); ++j) EXPECT_NE(middles[i], middles[j]) << i + 1 << " " << j + 1;
}

TEST(Transitions, EffectsMoveTheWayTheirNamesSay) {
    const TIntroSlide oldSlide = MakeSlide(80, 60, 1, 3), newSlide = MakeSlide(80, 60, 101, 5);
    const TIntroFrame a = SlideFrame(oldSlide, 80, 60), b = SlideFrame(newSlide, 80, 60);
    struct Case {
        int effect;
        int newX, newY, oldX, oldY;  // a pixel already new and one still old, a quarter of the way
    };
    const Case cases[] = {
        {1, 2, 30, 77, 30},  {2, 77, 30, 2, 30},  {3, 40, 2, 40, 57},  {4, 40, 57, 40, 2},  {5, 40, 30, 2, 2},
        {6, 40, 30, 2, 30},  {8, 40, 30, 2, 2},   {13, 2, 30, 77, 30}, {14, 77, 30, 2, 30}, {15, 40, 57, 40, 2},
        {16, 40, 2, 40, 57}, {18, 40, 2, 2, 30},  {19, 2, 30, 40, 2},  {20, 1, 1, 78, 58},  {21, 78, 1, 1, 58},
        {22, 1, 58, 78, 1},  {23, 78, 58, 1, 1},  {11, 0, 2, 1, 2},    {12, 2, 0, 2, 1},    {28, 2, 1, 2, 58},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("effect " + std::to_string(c.effect));
        const TIntroFrame f = RenderTransition(a, b, c.effect, 0.25);
        EXPECT_TRUE(IsNew(f.Row(c.newY)[c.newX]));
        EXPECT_FALSE(IsNew(f.Row(c.oldY)[c.oldX]));
    }
    // Scrolling pushes the old slide out; sliding covers it where it stands.
    EXPECT_EQ(RenderTransition(a, b, 13, 0.25).Row(30)[79], a.Row(30)[59]);
    EXPECT_EQ(RenderTransition(a, b, 1, 0.25).Row(30)[79], a.Row(30)[79]);
}

TEST(Transitions, DrawsIntoATargetWithItsOwnPitch) {
    const TIntroFrame a = SlideFrame(MakeSlide(9, 5, 1, 1), 9, 5), b = SlideFrame(MakeSlide(9, 5, 101, 2), 9, 5);
    std::vector<uint8_t> surface(16 * 5, 0xEE);
    RenderTransition(a, b, 17, 0.6, TFrameTarget{surface.data(), 16});
    const TIntroFrame expected = RenderTransition(a, b, 17, 0.6);
    for (int y = 0; y < 5; ++y) {
        EXPECT_TRUE(std::equal(expected.Row(y), expected.Row(y) + 9, surface.data() + y * 16));
        EXPECT_EQ(surface[static_cast<size_t>(y * 16 + 9)], 0xEE);  // past the row: untouched
    }
}

// ---- Timeline -------------------------------------------------------------------

TIntroLibrary& Library(TIntroLibrary& lib, std::initializer_list<TSlideProps> slides) {
    for (const TSlideProps& props : slides) {
        bmputil::TBitmapInfo info{};
        info.bmiHeader.biSize = 40;
        info.bmiHeader.biWidth = 4;
        info.bmiHeader.biHeight = -2;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 8;
        std::vector<uint8_t> pixels(8, 1);
        lib.AddBitmap("s", info, pixels, props, std::nullopt);
    }
    return lib;
}

TEST(IntroTimeline, DurationsFollowSpeedAndHoldTakenIntoTheirRanges) {
    EXPECT_EQ(TransitionDuration(5), kMicrosPerSecond);  // the editor's default: one second
    EXPECT_EQ(TransitionDuration(1), 5 * kMicrosPerSecond);
    EXPECT_EQ(TransitionDuration(100), 50000);
    EXPECT_EQ(TransitionDuration(0), TransitionDuration(1));
    EXPECT_EQ(TransitionDuration(-7), TransitionDuration(1));
    EXPECT_EQ(TransitionDuration(1000), TransitionDuration(100));
    EXPECT_EQ(HoldDuration(3), 3 * kMicrosPerSecond);
    EXPECT_EQ(HoldDuration(-1), 0);
    EXPECT_EQ(HoldDuration(500), 100 * kMicrosPerSecond);
    EXPECT_EQ(PlayedEffect(28), 28);
    EXPECT_EQ(PlayedEffect(29), 0);
    EXPECT_EQ(PlayedEffect(255), 0);

    TIntroLibrary lib;
    Library(lib, {{0, 5, 2}, {6, 10, 1}, {200, 1, 0}, {3, 0, -4}});
    const TIntroTimeline t(lib);
    ASSERT_EQ(t.Steps().size(), 4u);
    EXPECT_EQ(t.Steps()[0].Shown, 0);  // a cut takes no time
    EXPECT_EQ(t.Steps()[1].Start, 2 * kMicrosPerSecond);
    EXPECT_EQ(t.Steps()[1].Shown, 2500000);
    EXPECT_EQ(t.Steps()[2].Effect, 0);  // 200 plays as a cut
    EXPECT_EQ(t.Steps()[3].Shown - t.Steps()[3].Start, 5 * kMicrosPerSecond);  // speed 0 as 1
    EXPECT_EQ(t.Length(), 8500000);
}

TEST(IntroTimeline, StatesAlongTheWayAndPastTheEnd) {
    TIntroLibrary lib;
    Library(lib, {{2, 5, 1}, {7, 10, 0}});
    const TIntroTimeline t(lib);
    TIntroState s = t.At(250000);
    EXPECT_EQ(s.From, -1);  // the first slide comes in over the bare frame
    EXPECT_EQ(s.To, 0);
    EXPECT_EQ(s.Effect, 2);
    EXPECT_DOUBLE_EQ(s.Progress, 0.25);
    s = t.At(1500000);
    EXPECT_EQ(s.To, 0);
    EXPECT_EQ(s.Progress, 1);
    s = t.At(2250000);
    EXPECT_EQ(s.From, 0);
    EXPECT_EQ(s.To, 1);
    EXPECT_DOUBLE_EQ(s.Progress, 0.5);
    EXPECT_FALSE(s.Finished);
    s = t.At(2500000);
    EXPECT_TRUE(s.Finished);
    EXPECT_EQ(s.To, 1);
    // Looping: the first slide comes in from the last.
    s = t.At(2500000 + 250000, true);
    EXPECT_FALSE(s.Finished);
    EXPECT_EQ(s.From, 1);
    EXPECT_EQ(s.To, 0);
    // A preview: one slide coming in from the one before it.
    const TIntroTimeline preview(lib, 1, 1, 0);
    EXPECT_EQ(preview.At(0).From, 0);
    EXPECT_EQ(preview.At(0).To, 1);
}

TEST(IntroTimeline, TwoFrameRatesSeeTheSameSchedule) {
    TIntroLibrary lib;
    Library(lib, {{1, 5, 1}, {0, 5, 2}, {17, 3, 0}, {9, 50, 1}});
    const TIntroTimeline t(lib);
    // The time each step is first seen and the time the end is seen, at a rate.
    auto schedule = [&](int fps) {
        std::vector<int64_t> seen;
        int step = -1;
        for (int64_t frame = 0;; ++frame) {
            const int64_t time = frame * kMicrosPerSecond / fps;
            const TIntroState s = t.At(time);
            for (; step < s.Step; ++step) seen.push_back(time);
            if (s.Finished) {
                seen.push_back(time);
                return seen;
            }
        }
    };
    const std::vector<int64_t> slow = schedule(30), fast = schedule(240);
    ASSERT_EQ(slow.size(), fast.size());
    for (size_t i = 0; i < slow.size(); ++i) {
        const int64_t due = i < t.Steps().size() ? t.Steps()[i].Start : t.Length();
        EXPECT_LE(std::abs(slow[i] - due), kMicrosPerSecond / 30) << i;
        EXPECT_LE(std::abs(fast[i] - due), kMicrosPerSecond / 240) << i;
    }
}

TEST(IntroTimeline, FramesCoverTheLargestSlide) {
    TIntroLibrary lib;
    Library(lib, {{1, 5, 0}});
    TIntroFrames frames(lib);
    EXPECT_EQ(frames.Width(), 4);
    EXPECT_EQ(frames.Height(), 2);
    TIntroState s;
    s.From = -1;
    s.To = 0;
    s.Effect = 1;
    s.Progress = 0.5;
    EXPECT_EQ(frames.Draw(s), RenderTransition(TIntroFrame(4, 2), frames.Slide(0), 1, 0.5));
}

}  // namespace
