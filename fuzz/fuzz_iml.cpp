// Palette image library reader: any input either loads or fails with an
// exception that leaves the empty library; what loads saves back as the
// same bytes, and a copy saves the same as the original.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "qvx/assets/image_library.h"
#include "toolkit/streams.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qvx::TQVXImages lib;
    tk::TPointerStream in(data, static_cast<int64_t>(size));
    try {
        lib.LoadFromStream(in);
    } catch (const tk::Exception&) {
        if (lib.Count() != 0 || lib.HasTable()) std::abort();
        return 0;
    }
    tk::TMemoryStream out;
    lib.SaveToStream(out);
    const size_t n = static_cast<size_t>(out.Size());
    if (n > size || std::memcmp(out.Memory(), data, n) != 0) std::abort();
    if (in.Position() != static_cast<int64_t>(n)) std::abort();  // nothing read past the last block
    // Every pixel byte is readable.
    unsigned sum = 0;
    for (int i = 0; i < lib.Count(); ++i) {
        qvx::TImgHdr h;
        lib.GetImageHeader(i, h);
        for (int64_t k = 0; k < qvx::ImageBlockSize(h); ++k) sum += h.Bits[k];
    }
    if (lib.Count() > 0) {
        qvx::TQVXImages copy;
        copy.Assign(lib);
        tk::TMemoryStream again;
        copy.SaveToStream(again);
        if (again.Bytes() != out.Bytes()) std::abort();
    }
    return static_cast<int>(sum & 0);
}
