// Builds asset library files byte by byte, independently of the library
// classes, so the tests compare the classes against the layouts themselves.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace assetbytes {

using Bytes = std::vector<uint8_t>;

inline void Put32(Bytes& b, int32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
}
inline void Put16(Bytes& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
// (push_back loops: g++ 12 at -O2 warns falsely on vector::insert here)
inline void PutStr(Bytes& b, const char* s, size_t n) {
    for (size_t i = 0; i < n; ++i) b.push_back(static_cast<uint8_t>(s[i]));
}
// A short name field of `field` bytes; the bytes after the name are `fill`.
inline void PutName(Bytes& b, const std::string& name, size_t field, uint8_t fill = 0) {
    b.push_back(static_cast<uint8_t>(name.size()));
    for (char c : name) b.push_back(static_cast<uint8_t>(c));
    for (size_t i = name.size() + 1; i < field; ++i) b.push_back(fill);
}
inline int Stride(int width) { return (width * 8 + 31) / 32 * 4; }

// IML header: signature, count, 4 reserved bytes, palette (entry i = i, 255 - i, i / 2, flags i & 7).
inline Bytes ImlHeader(const char* sig, int32_t count, const uint8_t reserved[4] = nullptr) {
    Bytes b;
    PutStr(b, sig, 4);
    Put32(b, count);
    for (int i = 0; i < 4; ++i) b.push_back(reserved ? reserved[i] : 0);
    for (int i = 0; i < 256; ++i) {
        b.push_back(static_cast<uint8_t>(i));
        b.push_back(static_cast<uint8_t>(255 - i));
        b.push_back(static_cast<uint8_t>(i / 2));
        b.push_back(static_cast<uint8_t>(i & 7));
    }
    return b;
}
// One image entry; pixel (x, y) = seed + x + 7y, pad bytes 0xEE + y.
inline void ImlImage(Bytes& b, int32_t w, int32_t h, const std::string& name, uint8_t seed = 1,
                     uint8_t nameFill = 0) {
    Put32(b, w);
    Put32(b, h);
    PutName(b, name, 12, nameFill);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < Stride(w); ++x)
            b.push_back(static_cast<uint8_t>(x < w ? seed + x + 7 * y : 0xEE + y));
}

inline Bytes SdlHeader(const char* sig, int32_t count) {
    Bytes b;
    PutStr(b, sig, 4);
    Put32(b, count);
    return b;
}
// One sound entry: PCM 8-bit mono 11025 Hz, carried bytes c1 c2, `size` bytes of samples.
inline void SdlSound(Bytes& b, const std::string& name, int32_t pan, int32_t volume, int32_t size,
                     uint8_t c1 = 0, uint8_t c2 = 0, uint8_t nameFill = 0) {
    Put16(b, 1);
    Put16(b, 1);
    Put32(b, 11025);
    Put32(b, 11025);
    Put16(b, 1);
    Put16(b, 8);
    Put16(b, 0);
    b.push_back(c1);
    b.push_back(c2);
    PutName(b, name, 12, nameFill);
    Put32(b, pan);
    Put32(b, volume);
    Put32(b, size);
    for (int32_t i = 0; i < size; ++i) b.push_back(static_cast<uint8_t>(i * 3 + 1));
}

inline Bytes MapHeader(const char* sig, int32_t high) {
    Bytes b;
    PutStr(b, sig, 4);
    Put32(b, high);
    return b;
}
inline void MapEntry(Bytes& b, const std::string& name, int32_t w, int32_t h, int32_t size,
                     int32_t reserved = 0, uint8_t nameFill = 0) {
    PutName(b, name, 16, nameFill);
    Put32(b, w);
    Put32(b, h);
    Put32(b, size);
    Put32(b, reserved);
    for (int32_t i = 0; i < size; ++i) b.push_back(static_cast<uint8_t>(i ^ 0x5A));
}

}  // namespace assetbytes
