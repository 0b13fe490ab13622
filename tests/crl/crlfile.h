// Builds .CRL files field by field, independently of the library model.
#pragma once

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "qvx/intro/intro_library.h"

namespace testcrl {

using bmputil::TLibPalEntry;
using bmputil::TLibPalette;

// A .CRL file written field by field, independently of the model.
struct RawSlide {
    uint8_t transition = 0;
    uint8_t pad1[3] = {};
    int32_t speed = 5, hold = 0, width = 0, height = 0;
    uint8_t name[9] = {};
    uint8_t pad2[3] = {};
    std::vector<uint8_t> pixels;  // written as given
};

template <class T>
void Put(std::vector<uint8_t>& out, T v) {
    uint8_t b[sizeof(T)];
    std::memcpy(b, &v, sizeof(T));
    out.insert(out.end(), b, b + sizeof(T));
}

inline std::vector<uint8_t> CrlBytes(const char* magic, int32_t count, int32_t reserved,
                                     const TLibPalette& pal, const std::vector<RawSlide>& slides) {
    std::vector<uint8_t> out(magic, magic + 4);
    Put(out, count);
    Put(out, reserved);
    for (const auto& e : pal) out.insert(out.end(), {e.Red, e.Green, e.Blue, e.Used});
    for (const RawSlide& s : slides) {
        out.push_back(s.transition);
        out.insert(out.end(), s.pad1, s.pad1 + 3);
        Put(out, s.speed);
        Put(out, s.hold);
        Put(out, s.width);
        Put(out, s.height);
        out.insert(out.end(), s.name, s.name + 9);
        out.insert(out.end(), s.pad2, s.pad2 + 3);
        out.insert(out.end(), s.pixels.begin(), s.pixels.end());
    }
    return out;
}

inline RawSlide Raw(int w, int h, const std::string& name, std::mt19937& rng) {
    RawSlide s;
    s.width = w;
    s.height = h;
    s.name[0] = static_cast<uint8_t>(name.size());
    std::memcpy(s.name + 1, name.data(), std::min<size_t>(name.size(), 8));
    s.pixels.resize(static_cast<size_t>(bmputil::BytesPerLine(w) * h));
    for (auto& v : s.pixels) v = static_cast<uint8_t>(rng());
    return s;
}

inline TLibPalette NewPalette() {
    TLibPalette p;
    bmputil::ResetPalette(p, true);
    return p;
}

}  // namespace testcrl
