// Palette files of other tools, read and written for the library palette:
// GIMP (.gpl), JASC text (.pal), Adobe colour tables (.act, 768 or 772
// bytes) and RIFF palettes (.pal, "RIFF"/"PAL "). A file holds 1 to 256
// colours that fill the library palette from entry 0.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "bmputil/bmputil.h"

namespace qvx {

enum class TPaletteFormat { Gpl, Jasc, Act, Riff };

struct TRgb {
    uint8_t Red = 0, Green = 0, Blue = 0;
    bool operator==(const TRgb&) const = default;
};

// "gpl", "jasc", "act", "riff".
const char* PaletteFormatName(TPaletteFormat format);
std::optional<TPaletteFormat> PaletteFormatByName(const std::string& name);
// The format a file name's extension stands for when writing: .gpl, .act,
// .pal (JASC text); none for other extensions. Letter case is ignored.
std::optional<TPaletteFormat> PaletteFormatFromExtension(const std::string& fileName);

// Reads a palette file's bytes; the format comes from the content. A
// malformed file raises tk::Exception "<name>: line N: ..." (text formats)
// or "<name>: offset N: ..." (binary formats).
std::vector<TRgb> ReadPalette(std::span<const uint8_t> bytes, const std::string& name);
// 1 to 256 colours in the given format. `title` names the palette in the
// formats that carry a name (GIMP).
std::vector<uint8_t> WritePalette(TPaletteFormat format, const std::vector<TRgb>& colors,
                                  const std::string& title);

// The colours a library palette exports: entries 0 up to its last used
// entry (free entries after it stay out, so they come back free).
std::vector<TRgb> PaletteColors(const bmputil::TLibPalette& palette);
// Replaces the whole palette: entries 0 .. n-1 take the colours and are
// marked used, the rest become black and free.
void ApplyColors(bmputil::TLibPalette& palette, const std::vector<TRgb>& colors);

// File level. Import reads and checks the whole file before the palette
// changes, so a bad file changes nothing. Export writes beside the target
// and replaces it only when complete; with no format given it comes from
// the extension ("Unknown palette file extension" otherwise).
void ImportPaletteFile(bmputil::TLibPalette& palette, const std::string& fileName);
void ExportPaletteFile(const bmputil::TLibPalette& palette, const std::string& fileName,
                       std::optional<TPaletteFormat> format = std::nullopt);

}  // namespace qvx
