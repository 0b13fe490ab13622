#include "winsys.h"

namespace winsys {

namespace {
constexpr tk::TPaletteEntry kLow[10] = {
    {0, 0, 0, 0},     {128, 0, 0, 0},   {0, 128, 0, 0},     {128, 128, 0, 0},   {0, 0, 128, 0},
    {128, 0, 128, 0}, {0, 128, 128, 0}, {192, 192, 192, 0}, {192, 220, 192, 0}, {166, 202, 240, 0},
};
constexpr tk::TPaletteEntry kHigh[10] = {
    {255, 251, 240, 0}, {160, 160, 164, 0}, {128, 128, 128, 0}, {255, 0, 0, 0},   {0, 255, 0, 0},
    {255, 255, 0, 0},   {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0}, {255, 255, 255, 0},
};
}  // namespace

int GetSystemPaletteEntries(int start, int count, tk::TPaletteEntry* out) {
    int n = 0;
    for (int i = start; i < start + count && i < 256; ++i, ++n) {
        if (i < 0) continue;
        if (i < 10)
            out[n] = kLow[i];
        else if (i >= 246)
            out[n] = kHigh[i - 246];
        else
            out[n] = tk::TPaletteEntry{};
    }
    return n;
}

}  // namespace winsys
