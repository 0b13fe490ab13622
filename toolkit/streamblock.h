// Reading a block of a stream into memory of its own.
#pragma once

#include <cstdint>
#include <vector>

#include "streams.h"

namespace tk {

// `count` bytes of `stream` in a buffer of their own, read through a small
// buffer that stays in the cache: the new memory is written once, never
// cleared first. "Stream read error" when the stream ends early.
std::vector<uint8_t> ReadBlock(TStream& stream, int64_t count);

}  // namespace tk
