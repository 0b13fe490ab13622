// Small harness for benchmarks that compare against a reference measured in
// the same run: best-of-N wall time, and peak memory of a run in a child
// process (so each figure is that run's own high-water mark).
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace bench {

inline double Seconds(const std::function<void()>& fn) {
    auto t0 = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Best of `runs` timings.
inline double Best(int runs, const std::function<void()>& fn) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) best = std::min(best, Seconds(fn));
    return best;
}

struct ChildResult {
    double seconds = 0;
    long peakKiB = 0;  // maximum resident set size of the child
    bool ok = false;
};

// Runs fn in a forked child; reports its wall time and peak RSS.
inline ChildResult InChild(const std::function<void()>& fn) {
    std::fflush(nullptr);
    auto t0 = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        try {
            fn();
        } catch (...) {
            _exit(3);
        }
        _exit(0);
    }
    int status = 0;
    struct rusage ru {};
    wait4(pid, &status, 0, &ru);
    ChildResult r;
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.peakKiB = ru.ru_maxrss;
    r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return r;
}

// Peak RSS of a child that does nothing: the process's own baseline.
inline long BaselineKiB() {
    return InChild([] {}).peakKiB;
}

inline void Report(const char* what, double value, double limit, bool higherIsBetter = false) {
    bool pass = higherIsBetter ? value >= limit : value <= limit;
    std::printf("%-60s %8.3f  (goal %s %.2f)  %s\n", what, value, higherIsBetter ? ">=" : "<=", limit,
                pass ? "OK" : "MISSED");
}

}  // namespace bench
