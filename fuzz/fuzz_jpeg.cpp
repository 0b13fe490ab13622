// JPEG pictures: header reading on load, then decoding, through libjpeg.
// Only the system's own exceptions may come out.
#include <cstdint>

#include "toolkit/picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tk::TJPEGImage j;
    try {
        j.SetBytes(tk::TBytes(data, size));
        // Keep each run quick: decode only modest pictures.
        if (int64_t(j.Width()) * j.Height() <= (1 << 22)) j.Decoded();
    } catch (const tk::Exception&) {
    }
    return 0;
}
