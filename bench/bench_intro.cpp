// The transition renderer: every effect's frame against a memcpy of a frame
// of the same size, at 640 x 480 and 1920 x 1080 (goal: at most 2x).
//
//   bench_intro [RUNS]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "benchutil.h"
#include "qvx/intro/intro_library.h"
#include "qvx/intro/transitions.h"

namespace {

qvx::TIntroFrame Picture(int w, int h, uint32_t seed) {
    qvx::TIntroFrame f(w, h);
    for (auto& p : f.Pixels) {
        seed = seed * 1664525u + 1013904223u;
        p = static_cast<uint8_t>(1 + (seed >> 24) % 250);
    }
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 25;
    constexpr int kSteps = 32;  // progress values per run, spread over the way
    double worst = 0;
    int worstEffect = 0;
    for (auto [w, h] : {std::pair{640, 480}, std::pair{1920, 1080}}) {
        const qvx::TIntroFrame a = Picture(w, h, 1), b = Picture(w, h, 2);
        std::vector<uint8_t> out(static_cast<size_t>(w) * h);
        // The reference copies either frame in turn, as the effects read both.
        int turn = 0;
        auto copyOnce = [&] {
            std::memcpy(out.data(), (++turn % 2 ? a : b).Pixels.data(), out.size());
            asm volatile("" : : "r"(out.data()) : "memory");
        };
        // Each frame's best time over the runs (a single frame is short
        // enough to catch the machine unloaded now and then); the reference
        // is measured between them, so both see the machine alike.
        double copy = bench::Best(runs, copyOnce);
        std::printf("%dx%d: memcpy of a frame %.1f us\n", w, h, copy * 1e6);
        for (int effect = 1; effect <= qvx::kLastTransitionEffect; ++effect) {
            double t = 0;
            for (int s = 0; s < kSteps; ++s) {
                double best = 1e300;
                for (int r = 0; r < runs; ++r) {
                    copy = std::min(copy, bench::Seconds(copyOnce));
                    best = std::min(best, bench::Seconds([&] {
                        qvx::RenderTransition(a, b, effect, (s + 0.5) / kSteps, qvx::TFrameTarget{out.data(), w});
                        asm volatile("" : : "r"(out.data()) : "memory");
                    }));
                }
                t += best;
            }
            t /= kSteps;
            const double ratio = t / copy;
            std::printf("  %-24s %8.1f us  ratio %.2f\n", qvx::TransitionNames[effect], t * 1e6, ratio);
            if (ratio > worst) worst = ratio, worstEffect = effect;
        }
    }
    char what[96];
    std::snprintf(what, sizeof what, "worst effect frame / memcpy of the frame (%s)", qvx::TransitionNames[worstEffect]);
    bench::Report(what, worst, 2.0);
    return 0;
}
