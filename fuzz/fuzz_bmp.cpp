// BMP reader: any input either loads or raises the system's own exception.
// A bitmap that loads must write back and read again to the same pixels.
#include <cstdint>
#include <cstdlib>

#include "toolkit/picture.h"
#include "toolkit/streams.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tk::TPointerStream s(data, static_cast<int64_t>(size));
    tk::TBitmap b;
    try {
        b.LoadFromStream(s);
    } catch (const tk::Exception&) {
        return 0;
    }
    tk::TMemoryStream m;
    b.SaveToStream(m);
    m.SetPosition(0);
    tk::TBitmap again;
    again.LoadFromStream(m);  // our own output must always read back
    if (again.Image() != b.Image() || again.BitsPerPixel() != b.BitsPerPixel()) std::abort();
    return 0;
}
