// Processor features the pixel loops choose their code by at run time.
#pragma once

namespace tk {

// AVX-512 with byte permutes (VBMI): 64 table lookups of a 256-entry byte
// table in a few instructions.
inline bool HasAvx512Vbmi() {
#if defined(__x86_64__)
    static const bool has =
        __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi");
    return has;
#else
    return false;
#endif
}

}  // namespace tk
