// Reading a block of a stream into memory of its own.
#pragma once

#include <cstdint>

#include "bytes.h"
#include "streams.h"

namespace tk {

// `count` bytes of `stream` in a block of their own, read straight into it:
// the new memory is written once, by the read, never cleared first.
// "Stream read error" when the stream ends early. Callers check `count`
// against what the stream holds before asking.
TBytes ReadBlock(TStream& stream, int64_t count);

}  // namespace tk
