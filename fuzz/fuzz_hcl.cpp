// Hi-colour library files: any input either loads or fails with one of the
// system's messages; what loads saves and loads again to the same items.
#include <cstdint>
#include <cstdlib>

#include "qvx/hicolor/hicolor_library.h"
#include "toolkit/streams.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qvx::TQVXHiColorImagelib lib(nullptr);
    lib.SetName("QVXHiColorImagelib1");
    tk::TPointerStream in(data, static_cast<int64_t>(size));
    try {
        lib.LoadFromStream(in);
    } catch (const tk::Exception&) {
        return 0;
    }
    tk::TMemoryStream out;
    lib.SaveToStream(out);
    out.SetPosition(0);
    qvx::TQVXHiColorImagelib again(nullptr);
    again.LoadFromStream(out);
    if (again.Count() != lib.Count()) std::abort();
    for (int i = 0; i < lib.Count(); ++i)
        if (again.Images()->Items(i)->Name() != lib.Images()->Items(i)->Name()) std::abort();
    return 0;
}
