// What the intro library kind offers the other commands.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "qvx/intro/intro_library.h"

namespace qvxlib {

// Loads `file`; a file that is no intro library raises "Invalid Image Library"
// saying what it is instead, and a broken one names the slide.
void LoadIntroLibrary(qvx::TIntroLibrary& lib, const std::string& file);
// An 8-bit bitmap file of the slide: colour table = the library palette,
// rows top first exactly as stored (negative height).
std::vector<uint8_t> SlideBitmapFile(const qvx::TIntroSlide& s, const qvx::TLibPalette& palette);

}  // namespace qvxlib
