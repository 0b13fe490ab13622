// Palette file readers: any bytes give 1 to 256 colours or fail with a
// message; what was read writes to every format and reads back the same.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "qvx/intro/palette_file.h"
#include "toolkit/sysutils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qvx;
    // The name's extension only matters for files without a signature.
    const char* names[] = {"in.pal", "in.act", "in.gpl", "in.bin"};
    const std::string name = names[size % 4];
    std::vector<TRgb> colors;
    try {
        colors = ReadPalette(std::span<const uint8_t>(data, size), name);
    } catch (const tk::Exception& e) {
        if (std::string(e.what()).rfind(name, 0) != 0) std::abort();  // every message names the file
        return 0;
    }
    if (colors.empty() || colors.size() > 256) std::abort();
    for (TPaletteFormat f : {TPaletteFormat::Gpl, TPaletteFormat::Jasc, TPaletteFormat::Act, TPaletteFormat::Riff}) {
        const std::vector<uint8_t> bytes = WritePalette(f, colors, "fuzz");
        if (ReadPalette(bytes, "again") != colors) std::abort();
    }
    return 0;
}
