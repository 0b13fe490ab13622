// Helpers shared by the asset library kinds of qvxlib (iml, sdl, map).
#pragma once

#include <cctype>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "qvxlib.h"
#include "toolkit/streams.h"

namespace qvxlib::assets {

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void PutBytes(Bytes& b, const void* p, size_t n) {
    auto* s = static_cast<const uint8_t*>(p);
    b.insert(b.end(), s, s + n);
}
inline uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t Get32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// A short name field of `field` bytes: length byte, characters, zeros.
inline void PutName(Bytes& b, const std::string& name, size_t field) {
    std::string n = name.substr(0, field - 1);
    b.push_back(static_cast<uint8_t>(n.size()));
    PutBytes(b, n.data(), n.size());
    b.insert(b.end(), field - 1 - n.size(), 0);
}

// An item's name from its file: the base name without extension, without
// the "<index>_" prefix extract puts in front, cut to maxChars.
inline std::string NameFromFile(const std::string& path, size_t maxChars) {
    std::string stem = std::filesystem::path(path).stem().string();
    size_t digits = 0;
    while (digits < stem.size() && std::isdigit(static_cast<unsigned char>(stem[digits]))) ++digits;
    if (digits > 0 && digits + 1 < stem.size() && stem[digits] == '_') stem = stem.substr(digits + 1);
    return stem.substr(0, maxChars);
}

// Writes a file beside its target and renames it into place when complete.
template <class Fn>
void WriteSafely(const std::string& path, Fn&& write) {
    SaveOutput(path, write);
}

inline std::string PathIn(const std::string& dir, const std::string& file) {
    return (std::filesystem::path(dir) / file).string();
}

}  // namespace qvxlib::assets
