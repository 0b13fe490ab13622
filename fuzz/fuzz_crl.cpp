// Intro library reader: any bytes load, fail with a message, or are rejected
// for their magic; the slides held always match the count, and what is held
// saves to the bytes that were read (with only the mends: count, name
// lengths) and loads back to the same library.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "qvx/intro/intro_library.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qvx;
    TIntroLibrary lib;
    TLoadResult result = TLoadResult::Loaded;
    bool failed = false;
    try {
        result = lib.LoadFromBytes(std::span<const uint8_t>(data, size));
    } catch (const tk::Exception&) {
        failed = true;
    }
    if (lib.Header().Count != lib.SlideCount()) std::abort();
    const std::vector<uint8_t> saved = lib.SaveToBytes();

    if (result == TLoadResult::InvalidMagic || (failed && size < sizeof(TIntroLibHeader))) {
        // Nothing of the file is held.
        if (lib.SlideCount() != 0 || !lib.FileName().empty()) std::abort();
        TIntroLibrary fresh;
        if (saved != fresh.SaveToBytes()) std::abort();
        return 0;
    }

    // What was read comes back as it was, but for the mends.
    if (saved.size() > size) std::abort();
    std::vector<uint8_t> expected(data, data + saved.size());
    const int32_t count = lib.SlideCount();
    std::memcpy(&expected[4], &count, 4);
    size_t offset = sizeof(TIntroLibHeader);
    for (int i = 0; i < lib.SlideCount(); ++i) {
        if (expected[offset + 20] > 8) expected[offset + 20] = 8;
        offset += sizeof(TIntroSlideRecord) + lib.Slide(i)->Pixels.size();
    }
    if (offset != saved.size() || saved != expected) std::abort();

    TIntroLibrary again;
    if (again.LoadFromBytes(saved) != TLoadResult::Loaded) std::abort();
    if (again.SaveToBytes() != saved) std::abort();
    return 0;
}
