// Form data text and binary: any input either converts or fails with one of
// the system's messages. Text that parses gives binary whose text parses to
// the same binary; binary that converts gives text that is stable.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "toolkit/formtext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const bool binary =
        size > 0 && (data[0] == 0xFF || (size >= 4 && std::string(data, data + 4) == "TPF0"));
    if (binary) {
        std::string text;
        try {
            text = tk::FormDataToText(std::vector<uint8_t>(data, data + size));
        } catch (const tk::Exception&) {
            return 0;
        }
        if (tk::FormDataToText(tk::FormTextToData(text)) != text) std::abort();
        return 0;
    }
    std::vector<uint8_t> bytes;
    try {
        bytes = tk::FormTextToData(std::string(data, data + size));
    } catch (const tk::Exception&) {
        return 0;
    }
    if (tk::FormTextToData(tk::FormDataToText(bytes)) != bytes) std::abort();
    return 0;
}
