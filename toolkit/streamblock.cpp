#include "streamblock.h"

namespace tk {

TBytes ReadBlock(TStream& stream, int64_t count) {
    TBytes bytes = TBytes::Uninitialized(static_cast<size_t>(count));
    stream.ReadBuffer(bytes.data(), count);
    return bytes;
}

}  // namespace tk
