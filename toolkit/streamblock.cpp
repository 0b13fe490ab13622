#include "streamblock.h"

#include <algorithm>

namespace tk {

std::vector<uint8_t> ReadBlock(TStream& stream, int64_t count) {
    std::vector<uint8_t> bytes;
    bytes.reserve(static_cast<size_t>(count));
    uint8_t chunk[64 * 1024];
    while (count > 0) {
        const int64_t n = std::min<int64_t>(count, sizeof chunk);
        stream.ReadBuffer(chunk, n);
        bytes.insert(bytes.end(), chunk, chunk + n);
        count -= n;
    }
    return bytes;
}

}  // namespace tk
