// qvxlib form: form data between its binary property stream and the text
// notation game authors edit.
#include <cstdio>

#include "qvxlib.h"
#include "toolkit/formtext.h"
#include "toolkit/streams.h"

namespace qvxlib {

namespace {

void WriteOut(const std::string& file, const void* data, size_t size) {
    SaveOutput(file, [&](tk::TStream& out) { out.WriteBuffer(data, static_cast<int64_t>(size)); });
}

std::vector<uint8_t> ReadIn(const std::string& file) {
    return About(file, [&] { return tk::ReadFileBytes(file); });
}

}  // namespace

const char* kFormUsage =
    "usage: qvxlib form text IN [OUT]\n"
    "       qvxlib form binary IN OUT [--resource NAME]\n"
    "IN and OUT may be - for standard input and output.\n"
    "text: reads binary form data (a bare \"TPF0\" stream, or one behind a\n"
    "resource header as .HCL files have) and writes the text notation, to\n"
    "standard output without OUT.\n"
    "binary: reads the text notation and writes the binary form data; with\n"
    "--resource, behind a resource header named NAME.\n";

int FormCommand(const Args& a) {
    if (a.positional.empty()) throw UsageError{"missing text or binary"};
    const std::string& mode = a.positional[0];
    if (mode == "text") {
        if (a.positional.size() < 2) throw UsageError{"missing IN"};
        if (a.positional.size() > 3)
            throw UsageError{"unexpected argument \"" + a.positional[3] + "\""};
        if (a.Option("resource")) throw UsageError{"--resource belongs to form binary"};
        const std::vector<uint8_t> in = ReadIn(a.positional[1]);
        std::string text = About(a.positional[1], [&] { return tk::FormDataToText(in); });
        if (a.positional.size() == 3)
            WriteOut(a.positional[2], text.data(), text.size());
        else
            std::fwrite(text.data(), 1, text.size(), stdout);
        return kOk;
    }
    if (mode == "binary") {
        if (a.positional.size() < 3) throw UsageError{"missing IN and OUT"};
        if (a.positional.size() > 3)
            throw UsageError{"unexpected argument \"" + a.positional[3] + "\""};
        auto in = ReadIn(a.positional[1]);
        std::string resource = a.Option("resource").value_or("");
        if (a.Option("resource") && resource.empty()) throw UsageError{"--resource needs a name"};
        std::vector<uint8_t> data;
        About(a.positional[1],
              [&] { data = tk::FormTextToData(std::string(in.begin(), in.end()), resource); });
        WriteOut(a.positional[2], data.data(), data.size());
        return kOk;
    }
    throw UsageError{"form needs text or binary, not \"" + mode + "\""};
}

}  // namespace qvxlib
