// qvxlib render against gifsicle -O3: the demo's intro (made by the build)
// rendered as a GIF by qvxlib, and the same intro's frames kept whole
// (--plain) optimised by gifsicle. Goals: our GIF at most 1.1x the size of
// gifsicle's, and our whole render (loading, drawing, coding, writing) no
// slower than gifsicle's optimisation of the frames alone.
//
// Times are the processor time of each program (best of RUNS).
//
//   bench_intro_gif [LIBRARY.CRL] [RUNS]
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>

#include "benchutil.h"

namespace {

long FileSize(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

bool Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

// Processor time (user and system) of the children that ended so far.
double ChildCpuSeconds() {
    struct rusage ru {};
    getrusage(RUSAGE_CHILDREN, &ru);
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// Best wall time and best processor time of `runs` runs of `command`.
std::pair<double, double> Measure(const std::string& command) {
    const double before = ChildCpuSeconds();
    const double wall = bench::Seconds([&] { Run(command); });
    return {wall, ChildCpuSeconds() - before};
}

}  // namespace

int main(int argc, char** argv) {
    const std::string library = argc > 1 && argv[1][0] ? argv[1] : QVX_DEMO_INTRO;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    if (!Run("gifsicle --version")) {
        std::printf("bench_intro_gif: gifsicle is not installed (scripts/install-deps.sh)\n");
        return 1;
    }
    char folder[] = "/tmp/bench_intro_gif_XXXXXX";
    if (!mkdtemp(folder)) return 1;
    const std::string dir = folder, qvxlib = QVXLIB_PATH;
    for (int scale : {1, 2}) {
        const std::string ours = dir + "/ours.gif", plain = dir + "/plain.gif", theirs = dir + "/theirs.gif";
        const std::string render = qvxlib + " render " + library + " " + ours + " --scale " + std::to_string(scale);
        const std::string optimise = "gifsicle -O3 " + plain + " -o " + theirs;
        if (!Run(qvxlib + " render " + library + " " + plain + " --plain --scale " + std::to_string(scale)) ||
            !Run(render) || !Run(optimise)) {
            std::printf("bench_intro_gif: a run failed\n");
            return 1;
        }
        // Both measured in turns, each its best: the processor time they
        // take (what the goal compares; on a busy machine the wall time
        // mostly measures the wait for a processor) and the wall time.
        double ourTime = 1e300, theirTime = 1e300, ourWall = 1e300, theirWall = 1e300;
        for (int r = 0; r < runs; ++r) {
            auto [w1, c1] = Measure(render);
            auto [w2, c2] = Measure(optimise);
            ourWall = std::min(ourWall, w1), ourTime = std::min(ourTime, c1);
            theirWall = std::min(theirWall, w2), theirTime = std::min(theirTime, c2);
        }
        const long ourSize = FileSize(ours), theirSize = FileSize(theirs), plainSize = FileSize(plain);
        std::printf(
            "scale %d: ours %ld bytes, %.3f s of processor (%.3f s wall); unoptimised %ld bytes; "
            "gifsicle -O3 %ld bytes, %.3f s of processor (%.3f s wall)\n",
            scale, ourSize, ourTime, ourWall, plainSize, theirSize, theirTime, theirWall);
        char what[96];
        std::snprintf(what, sizeof what, "scale %d: our GIF / gifsicle -O3's (size)", scale);
        const double sizeRatio = static_cast<double>(ourSize) / static_cast<double>(theirSize);
        bench::Report(what, sizeRatio, 1.1);
        std::snprintf(what, sizeof what, "scale %d: our whole render / gifsicle -O3 alone (time)", scale);
        bench::Report(what, ourTime / theirTime, 1.0);
    }
    std::filesystem::remove_all(dir);
    return 0;
}
