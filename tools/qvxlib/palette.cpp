// qvxlib palette: an intro library's palette to and from the palette files
// of other tools (GIMP .gpl, JASC or RIFF .pal, Adobe .act).
#include <cstdio>

#include "kind_crl.h"
#include "qvxlib.h"
#include "qvx/intro/intro_library.h"
#include "qvx/intro/palette_file.h"

namespace qvxlib {

namespace {

std::optional<qvx::TPaletteFormat> FormatOption(const Args& a) {
    const std::optional<std::string> name = a.Option("format");
    if (!name) return std::nullopt;
    auto format = qvx::PaletteFormatByName(*name);
    if (!format) throw UsageError{"unknown palette format \"" + *name + "\" (formats: gpl|jasc|act|riff)"};
    return format;
}

}  // namespace

int PaletteCommand(const Args& a) {
    const std::string sub = a.positional.empty() ? std::string() : a.positional[0];
    if (sub == "export") {
        if (a.positional.size() != 3) throw UsageError{"usage: palette export FILE.CRL OUT.{gpl,pal,act}"};
        std::optional<qvx::TPaletteFormat> format = FormatOption(a);
        if (!format) format = qvx::PaletteFormatFromExtension(a.positional[2]);
        if (!format) throw UsageError{"cannot tell the palette format of " + a.positional[2] + "; give --format"};
        qvx::TIntroLibrary lib;
        LoadIntroLibrary(lib, a.positional[1]);
        About(a.positional[2],
              [&] { qvx::ExportPaletteFile(lib.Palette(), a.positional[2], format); });
        return kOk;
    }
    if (sub == "import") {
        if (a.positional.size() < 3 || a.positional.size() > 4)
            throw UsageError{"usage: palette import FILE.CRL IN.{gpl,pal,act} [OUT.CRL]"};
        qvx::TIntroLibrary lib;
        LoadIntroLibrary(lib, a.positional[1]);
        About(a.positional[2], [&] { qvx::ImportPaletteFile(lib.Palette(), a.positional[2]); });
        const std::string& out = a.positional.size() == 4 ? a.positional[3] : a.positional[1];
        About(out, [&] { lib.SaveToFile(out); });
        return kOk;
    }
    throw UsageError{sub.empty() ? "missing export or import" : "unknown palette command \"" + sub + "\""};
}

}  // namespace qvxlib
