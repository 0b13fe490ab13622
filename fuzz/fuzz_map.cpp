// Map library reader: any input either reads or fails with an exception
// that leaves the empty library; what reads writes back as the input with
// "ML01" and zero reserved bytes, and a copy writes the same but for the
// bytes after each name.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "qvx/assets/map_library.h"
#include "toolkit/streams.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qvx::TQVXMaps lib;
    tk::TPointerStream in(data, static_cast<int64_t>(size));
    try {
        lib.LoadFromStream(in);
    } catch (const tk::Exception&) {
        if (lib.HighIndex() != -1 || lib.HasTable()) std::abort();
        return 0;
    }
    tk::TMemoryStream out;
    lib.SaveToStream(out);
    const std::vector<uint8_t>& saved = out.Bytes();
    if (saved.size() < 8 || std::memcmp(saved.data(), "ML01", 4) != 0) std::abort();
    if (lib.HighIndex() < 0) {
        if (saved.size() != 8 || lib.HasTable()) std::abort();
        return 0;
    }
    // Expected: the input with the signature and reserved bytes rewritten.
    if (saved.size() > size) std::abort();
    std::vector<uint8_t> expect(data, data + saved.size());
    std::memcpy(expect.data(), "ML01", 4);
    size_t pos = 8;
    for (int i = 0; i < lib.Count(); ++i) {
        qvx::TMapRec m;
        lib.GetMap(i, m);
        if ((m.Size == 0) != (m.Data == nullptr)) std::abort();
        std::memset(expect.data() + pos + 28, 0, 4);
        pos += 32 + static_cast<size_t>(m.Size);
    }
    if (pos != saved.size() || expect != saved) std::abort();
    if (in.Position() != static_cast<int64_t>(pos)) std::abort();

    qvx::TQVXMaps copy;
    copy.Assign(lib);
    tk::TMemoryStream again;
    copy.SaveToStream(again);
    if (again.Size() != out.Size()) std::abort();
    pos = 8;
    for (int i = 0; i < lib.Count(); ++i) {
        qvx::TMapRec a, b;
        lib.GetMap(i, a);
        copy.GetMap(i, b);
        const int len = a.Name[0] > 15 ? 15 : a.Name[0];
        if (b.Name[0] != len || std::memcmp(a.Name + 1, b.Name + 1, static_cast<size_t>(len)) != 0) std::abort();
        if (std::memcmp(again.Memory() + pos + 16, saved.data() + pos + 16, 16 + static_cast<size_t>(a.Size)) != 0)
            std::abort();
        pos += 32 + static_cast<size_t>(a.Size);
    }
    return 0;
}
