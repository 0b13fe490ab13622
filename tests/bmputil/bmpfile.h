// Builds 8-bit bitmap files for tests, in the layouts readers meet: either
// row order, short or long colour tables, larger information headers, gaps
// before the pixels, and damaged variants.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace testbmp {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
};

struct BmpSpec {
    int width = 0;
    int height = 0;               // rows; stored bottom-up unless topDown
    std::vector<uint8_t> pixels;  // width x height indices, top row first
    std::vector<Rgb> table;       // written as the colour table
    bool topDown = false;
    uint16_t bitCount = 8;
    uint32_t compression = 0;
    int64_t clrUsed = -1;    // -1: table size
    uint32_t infoSize = 40;  // extra header bytes are written as 0xEE
    uint32_t gap = 0;        // bytes between table and pixels
    uint8_t padByte = 0;     // value of row padding bytes
};

inline int Stride(int w) {
    return ((w * 8 + 31) / 32) * 4;
}

template <class T>
void Put(std::vector<uint8_t>& out, T v) {
    uint8_t b[sizeof(T)];
    std::memcpy(b, &v, sizeof(T));
    out.insert(out.end(), b, b + sizeof(T));
}

inline std::vector<uint8_t> MakeBmp(const BmpSpec& s) {
    const int stride = Stride(s.width);
    std::vector<uint8_t> data;
    for (int k = 0; k < s.height; ++k) {
        int y = s.topDown ? k : s.height - 1 - k;
        for (int x = 0; x < stride; ++x)
            data.push_back(x < s.width ? s.pixels[static_cast<size_t>(y * s.width + x)]
                                       : s.padByte);
    }
    const uint32_t off = 14 + s.infoSize + static_cast<uint32_t>(s.table.size()) * 4 + s.gap;
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    Put<uint32_t>(out, off + static_cast<uint32_t>(data.size()));
    Put<uint32_t>(out, 0);
    Put<uint32_t>(out, off);
    Put<uint32_t>(out, s.infoSize);
    Put<int32_t>(out, s.width);
    Put<int32_t>(out, s.topDown ? -s.height : s.height);
    Put<uint16_t>(out, 1);
    Put<uint16_t>(out, s.bitCount);
    Put<uint32_t>(out, s.compression);
    Put<uint32_t>(out, static_cast<uint32_t>(data.size()));
    Put<int32_t>(out, 2835);
    Put<int32_t>(out, 2835);
    Put<uint32_t>(out, static_cast<uint32_t>(
                           s.clrUsed >= 0 ? s.clrUsed : static_cast<int64_t>(s.table.size())));
    Put<uint32_t>(out, 0);
    out.insert(out.end(), s.infoSize > 40 ? s.infoSize - 40 : 0, 0xEE);
    for (const Rgb& c : s.table) {
        out.push_back(c.b);
        out.push_back(c.g);
        out.push_back(c.r);
        out.push_back(0);
    }
    out.insert(out.end(), s.gap, 0x77);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

}  // namespace testbmp
