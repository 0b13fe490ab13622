// Processor features the pixel loops choose their code by at run time.
#pragma once

#include <cstdlib>
#include <string_view>

namespace tk {

// The widest code the pixel loops may choose. The environment variable
// QVX_CPU_LIMIT caps it below what the processor has: "avx2" keeps to AVX2
// (no AVX-512 paths), "baseline" to what every x86-64 has (SSE2), so that
// tests can run and compare every path on one machine. It is read once, at
// the first call.
enum class TCpuLimit { Baseline, Avx2, None };
inline TCpuLimit CpuLimit() {
    static const TCpuLimit limit = [] {
        const char* v = std::getenv("QVX_CPU_LIMIT");
        const std::string_view s = v ? v : "";
        return s == "baseline" ? TCpuLimit::Baseline : s == "avx2" ? TCpuLimit::Avx2 : TCpuLimit::None;
    }();
    return limit;
}

inline bool HasAvx2() {
#if defined(__x86_64__)
    static const bool has = CpuLimit() != TCpuLimit::Baseline && __builtin_cpu_supports("avx2");
    return has;
#else
    return false;
#endif
}

// AVX-512 as x86-64-v4 has it (F, CD, BW, DQ and VL).
inline bool HasAvx512() {
#if defined(__x86_64__)
    static const bool has = CpuLimit() == TCpuLimit::None && HasAvx2() && __builtin_cpu_supports("avx512f") &&
                            __builtin_cpu_supports("avx512cd") && __builtin_cpu_supports("avx512bw") &&
                            __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl");
    return has;
#else
    return false;
#endif
}

// AVX-512 with byte permutes (VBMI): 64 table lookups of a 256-entry byte
// table in a few instructions.
inline bool HasAvx512Vbmi() {
#if defined(__x86_64__)
    static const bool has = HasAvx512() && __builtin_cpu_supports("avx512vbmi");
    return has;
#else
    return false;
#endif
}

}  // namespace tk
