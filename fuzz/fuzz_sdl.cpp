// Sound library reader: any input either loads or fails with an exception
// that leaves the empty library; what loads saves back as the same bytes,
// and a copy saves the same as the original.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "qvx/assets/sound_library.h"
#include "toolkit/streams.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qvx::TQVXSounds lib;
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
    if (in.Position() != static_cast<int64_t>(n)) std::abort();
    unsigned sum = 0;
    for (int i = 0; i < lib.Count(); ++i) {
        qvx::TSoundRec r;
        lib.GetSound(i, r);
        if (r.Size <= 0 || !r.Data) std::abort();
        for (int32_t k = 0; k < r.Size; ++k) sum += r.Data[k];
    }
    if (lib.Count() > 0) {
        qvx::TQVXSounds copy;
        copy.Assign(lib);
        tk::TMemoryStream again;
        copy.SaveToStream(again);
        if (again.Bytes() != out.Bytes()) std::abort();
    }
    return static_cast<int>(sum & 0);
}
