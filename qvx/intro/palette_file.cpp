#include "palette_file.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>

#include "toolkit/streams.h"
#include "toolkit/sysutils.h"

namespace qvx {

namespace {

constexpr size_t kMaxColors = 256;

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Extension(const std::string& fileName) {
    const size_t slash = fileName.find_last_of("/\\");
    const size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return Lower(fileName.substr(dot + 1));
}

[[noreturn]] void FailLine(const std::string& name, size_t line, const std::string& what) {
    throw tk::Exception(tk::Format("%s: line %d: %s", name.c_str(), static_cast<int>(line), what.c_str()));
}

[[noreturn]] void FailOffset(const std::string& name, size_t offset, const std::string& what) {
    throw tk::Exception(tk::Format("%s: offset %d: %s", name.c_str(), static_cast<int>(offset), what.c_str()));
}

// ---- Text formats ------------------------------------------------------------------

std::vector<std::string> SplitLines(std::span<const uint8_t> bytes) {
    std::vector<std::string> lines;
    std::string line;
    for (uint8_t b : bytes) {
        if (b == '\n') {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(std::move(line));
            line.clear();
        } else {
            line.push_back(static_cast<char>(b));
        }
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(std::move(line));
    return lines;
}

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

// Whitespace-separated fields of a line.
std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
        size_t start = i;
        while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) ++i;
        if (i > start) out.push_back(line.substr(start, i - start));
    }
    return out;
}

std::optional<int> Number(const std::string& s) {
    int v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return v;
}

std::optional<TRgb> ColorFields(const std::vector<std::string>& f) {
    if (f.size() < 3) return std::nullopt;
    TRgb c;
    uint8_t* out[3] = {&c.Red, &c.Green, &c.Blue};
    for (int k = 0; k < 3; ++k) {
        const std::optional<int> v = Number(f[static_cast<size_t>(k)]);
        if (!v || *v < 0 || *v > 255) return std::nullopt;
        *out[k] = static_cast<uint8_t>(*v);
    }
    return c;
}

std::vector<TRgb> ReadGpl(const std::vector<std::string>& lines, const std::string& name) {
    std::vector<TRgb> colors;
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string line = Trim(lines[i]);
        const size_t no = i + 1;
        if (line.empty() || line[0] == '#') continue;
        // Header fields come before the colours.
        if (colors.empty() && (line.rfind("Name:", 0) == 0 || line.rfind("Columns:", 0) == 0)) continue;
        const std::vector<std::string> f = Fields(line);
        const std::optional<TRgb> c = ColorFields(f);
        if (!c) FailLine(name, no, "expected red, green and blue from 0 to 255");
        if (colors.size() == kMaxColors) FailLine(name, no, "more than 256 colours");
        colors.push_back(*c);
    }
    if (colors.empty()) FailLine(name, lines.size(), "the palette holds no colours");
    return colors;
}

std::vector<TRgb> ReadJasc(const std::vector<std::string>& lines, const std::string& name) {
    if (lines.size() < 2 || Trim(lines[1]) != "0100") FailLine(name, 2, "version \"0100\" expected");
    const std::optional<int> count = lines.size() >= 3 ? Number(Trim(lines[2])) : std::nullopt;
    if (!count || *count < 1 || *count > static_cast<int>(kMaxColors))
        FailLine(name, 3, "a colour count from 1 to 256 expected");
    std::vector<TRgb> colors;
    size_t i = 3;
    for (; colors.size() < static_cast<size_t>(*count); ++i) {
        if (i >= lines.size())
            FailLine(name, i + 1,
                     tk::Format("the file ends after %d of %d colours", static_cast<int>(colors.size()), *count));
        const std::vector<std::string> f = Fields(lines[i]);
        const std::optional<TRgb> c = ColorFields(f);
        if (!c || f.size() != 3) FailLine(name, i + 1, "expected red, green and blue from 0 to 255");
        colors.push_back(*c);
    }
    for (; i < lines.size(); ++i)
        if (!Trim(lines[i]).empty()) FailLine(name, i + 1, tk::Format("more colours than the count %d", *count));
    return colors;
}

// ---- Binary formats ----------------------------------------------------------------

uint32_t Le32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

std::vector<TRgb> ReadAct(std::span<const uint8_t> bytes, const std::string& name) {
    if (bytes.size() != 768 && bytes.size() != 772)
        FailOffset(name, 0,
                   tk::Format("a colour table is 768 or 772 bytes, not %d", static_cast<int>(bytes.size())));
    size_t count = kMaxColors;
    if (bytes.size() == 772) {
        count = Be16(&bytes[768]);
        if (count < 1 || count > kMaxColors)
            FailOffset(name, 768, tk::Format("colour count %d is not from 1 to 256", static_cast<int>(count)));
    }
    std::vector<TRgb> colors(count);
    for (size_t i = 0; i < count; ++i) colors[i] = {bytes[i * 3], bytes[i * 3 + 1], bytes[i * 3 + 2]};
    return colors;
}

std::vector<TRgb> ReadRiff(std::span<const uint8_t> bytes, const std::string& name) {
    if (bytes.size() < 12) FailOffset(name, bytes.size(), "the RIFF header is cut short");
    // Chunks end at the RIFF size or the end of the file, whichever comes first.
    const size_t end = std::min<size_t>(bytes.size(), size_t{8} + Le32(&bytes[4]));
    size_t at = 12;
    while (at + 8 <= end) {
        const uint32_t size = Le32(&bytes[at + 4]);
        const size_t body = at + 8;
        if (std::memcmp(&bytes[at], "data", 4) == 0) {
            if (size < 4 || body + 4 > end) FailOffset(name, at + 4, "the data chunk is too short");
            const uint16_t version = Le16(&bytes[body]);
            if (version != 0x0300)
                FailOffset(name, body, tk::Format("palette version 0x%04X, 0x0300 expected", version));
            const size_t count = Le16(&bytes[body + 2]);
            if (count < 1 || count > kMaxColors)
                FailOffset(name, body + 2, tk::Format("colour count %d is not from 1 to 256", static_cast<int>(count)));
            if (count * 4 > size - 4 || body + 4 + count * 4 > end)
                FailOffset(name, body + 4,
                           tk::Format("%d colours need %d bytes; the data chunk holds %d", static_cast<int>(count),
                                      static_cast<int>(count * 4),
                                      static_cast<int>(std::min<size_t>(size - 4, end - body - 4))));
            std::vector<TRgb> colors(count);
            for (size_t i = 0; i < count; ++i) {
                const uint8_t* e = &bytes[body + 4 + i * 4];
                colors[i] = {e[0], e[1], e[2]};
            }
            return colors;
        }
        if (size > end - body) break;
        at = body + size + (size & 1);  // chunks are padded to an even size
    }
    FailOffset(name, at, "no \"data\" chunk");
}

bool StartsWith(std::span<const uint8_t> bytes, const char* text) {
    const size_t n = std::strlen(text);
    return bytes.size() >= n && std::memcmp(bytes.data(), text, n) == 0;
}

void Put32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Put16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void PutText(std::vector<uint8_t>& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }

}  // namespace

const char* PaletteFormatName(TPaletteFormat format) {
    switch (format) {
        case TPaletteFormat::Gpl: return "gpl";
        case TPaletteFormat::Jasc: return "jasc";
        case TPaletteFormat::Act: return "act";
        case TPaletteFormat::Riff: return "riff";
    }
    return "";
}

std::optional<TPaletteFormat> PaletteFormatByName(const std::string& name) {
    const std::string n = Lower(name);
    for (TPaletteFormat f : {TPaletteFormat::Gpl, TPaletteFormat::Jasc, TPaletteFormat::Act, TPaletteFormat::Riff})
        if (n == PaletteFormatName(f)) return f;
    return std::nullopt;
}

std::optional<TPaletteFormat> PaletteFormatFromExtension(const std::string& fileName) {
    const std::string ext = Extension(fileName);
    if (ext == "gpl") return TPaletteFormat::Gpl;
    if (ext == "pal") return TPaletteFormat::Jasc;
    if (ext == "act") return TPaletteFormat::Act;
    return std::nullopt;
}

std::vector<TRgb> ReadPalette(std::span<const uint8_t> bytes, const std::string& name) {
    if (StartsWith(bytes, "RIFF")) {
        if (bytes.size() < 12 || std::memcmp(&bytes[8], "PAL ", 4) != 0)
            FailOffset(name, 8, "a RIFF file but not a palette (\"PAL \" expected)");
        return ReadRiff(bytes, name);
    }
    if (StartsWith(bytes, "GIMP Palette") || StartsWith(bytes, "JASC-PAL")) {
        const std::vector<std::string> lines = SplitLines(bytes);
        const std::string first = Trim(lines.empty() ? std::string() : lines[0]);
        if (first == "GIMP Palette") return ReadGpl(lines, name);
        if (first == "JASC-PAL") return ReadJasc(lines, name);
        FailLine(name, 1, "\"GIMP Palette\" or \"JASC-PAL\" expected");
    }
    // A colour table has no signature: its size tells it.
    if (bytes.size() == 768 || bytes.size() == 772 || Extension(name) == "act") return ReadAct(bytes, name);
    if (Extension(name) == "gpl") FailLine(name, 1, "\"GIMP Palette\" expected");
    if (Extension(name) == "pal") FailLine(name, 1, "\"JASC-PAL\" or a RIFF palette expected");
    FailOffset(name, 0, "not a palette file (GIMP, JASC, RIFF or a 768/772-byte colour table)");
}

std::vector<uint8_t> WritePalette(TPaletteFormat format, const std::vector<TRgb>& colors, const std::string& title) {
    if (colors.empty() || colors.size() > kMaxColors)
        throw tk::Exception(tk::Format("A palette file holds 1 to 256 colours, not %d", static_cast<int>(colors.size())));
    const int n = static_cast<int>(colors.size());
    std::vector<uint8_t> b;
    switch (format) {
        case TPaletteFormat::Gpl: {
            std::string t = title;
            std::replace_if(t.begin(), t.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
            PutText(b, "GIMP Palette\nName: " + t + "\nColumns: 16\n#\n");
            for (int i = 0; i < n; ++i) {
                const TRgb& c = colors[static_cast<size_t>(i)];
                PutText(b, tk::Format("%3d %3d %3d\tIndex %d\n", c.Red, c.Green, c.Blue, i));
            }
            break;
        }
        case TPaletteFormat::Jasc:
            PutText(b, tk::Format("JASC-PAL\r\n0100\r\n%d\r\n", n));
            for (const TRgb& c : colors) PutText(b, tk::Format("%d %d %d\r\n", c.Red, c.Green, c.Blue));
            break;
        case TPaletteFormat::Act:
            // 256 colours make the plain 768-byte table; fewer need the count.
            b.assign(n == 256 ? 768 : 772, 0);
            for (int i = 0; i < n; ++i) {
                const TRgb& c = colors[static_cast<size_t>(i)];
                b[static_cast<size_t>(i) * 3] = c.Red;
                b[static_cast<size_t>(i) * 3 + 1] = c.Green;
                b[static_cast<size_t>(i) * 3 + 2] = c.Blue;
            }
            if (n < 256) {
                b[768] = static_cast<uint8_t>(n >> 8);
                b[769] = static_cast<uint8_t>(n);
                b[770] = b[771] = 0xFF;  // no transparent colour
            }
            break;
        case TPaletteFormat::Riff:
            PutText(b, "RIFF");
            Put32(b, static_cast<uint32_t>(4 + 8 + 4 + 4 * n));
            PutText(b, "PAL data");
            Put32(b, static_cast<uint32_t>(4 + 4 * n));
            Put16(b, 0x0300);
            Put16(b, static_cast<uint16_t>(n));
            for (const TRgb& c : colors) {
                b.push_back(c.Red);
                b.push_back(c.Green);
                b.push_back(c.Blue);
                b.push_back(0);
            }
            break;
    }
    return b;
}

std::vector<TRgb> PaletteColors(const bmputil::TLibPalette& palette) {
    size_t last = 0;
    for (size_t i = 0; i < palette.size(); ++i)
        if (palette[i].Used) last = i;
    std::vector<TRgb> colors;
    for (size_t i = 0; i <= last; ++i) colors.push_back({palette[i].Red, palette[i].Green, palette[i].Blue});
    return colors;
}

void ApplyColors(bmputil::TLibPalette& palette, const std::vector<TRgb>& colors) {
    for (size_t i = 0; i < palette.size(); ++i) {
        if (i < colors.size())
            palette[i] = {colors[i].Red, colors[i].Green, colors[i].Blue, 1};
        else
            palette[i] = {0, 0, 0, 0};
    }
}

void ImportPaletteFile(bmputil::TLibPalette& palette, const std::string& fileName) {
    const std::vector<uint8_t> bytes = tk::ReadFileBytes(fileName);
    ApplyColors(palette, ReadPalette(bytes, fileName));
}

void ExportPaletteFile(const bmputil::TLibPalette& palette, const std::string& fileName,
                       std::optional<TPaletteFormat> format) {
    if (!format) format = PaletteFormatFromExtension(fileName);
    if (!format) throw tk::Exception("Unknown palette file extension (." + Extension(fileName) + ")");
    std::string title = fileName.substr(fileName.find_last_of("/\\") + 1);
    if (const size_t dot = title.rfind('.'); dot != std::string::npos && dot > 0) title.resize(dot);
    const std::vector<uint8_t> bytes = WritePalette(*format, PaletteColors(palette), title);
    tk::TSafeFileStream out(fileName);
    out.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    out.Commit();
}

}  // namespace qvx
