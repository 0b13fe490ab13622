// Buffered reading and writing for the asset library formats. Records are
// small and data blocks large, so small reads come from a buffer and large
// ones go straight into their destination. The reader knows how many bytes
// the stream still holds, so a size can be checked before it is allocated.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/streams.h"

namespace qvx::detail {

class TChunkReader {
public:
    explicit TChunkReader(tk::TStream& stream);
    // Leaves the stream just after the last byte consumed, even when the
    // buffer read further ahead.
    ~TChunkReader();
    TChunkReader(const TChunkReader&) = delete;
    TChunkReader& operator=(const TChunkReader&) = delete;

    // Bytes between the logical position and the end of the stream.
    int64_t Remaining() const { return end_ - pos_; }
    // Exactly count bytes, or "Stream read error" (raised before anything is
    // read when the stream cannot hold them).
    void Read(void* dest, int64_t count);

private:
    static constexpr int64_t kBufSize = 32 * 1024;
    tk::TStream& stream_;
    int64_t pos_;        // logical position in the stream
    int64_t end_;        // stream size
    int64_t streamPos_;  // where the stream actually is
    std::unique_ptr<uint8_t[]> buf_;
    int64_t bufPos_ = 0, bufLen_ = 0;
};

class TChunkWriter {
public:
    explicit TChunkWriter(tk::TStream& stream);
    void Write(const void* src, int64_t count);
    // Writes what is buffered; call once at the end (not done on
    // destruction, so a failed save does not write half a record).
    void Flush();

private:
    static constexpr int64_t kBufSize = 32 * 1024;
    tk::TStream& stream_;
    std::unique_ptr<uint8_t[]> buf_;
    int64_t len_ = 0;
};

// An uninitialised block of `size` bytes, or null when it cannot be had.
std::unique_ptr<uint8_t[]> TryAllocate(int64_t size);

// The data blocks of one library. Small blocks (tiles, short sounds) are cut
// from larger slabs, so a library of many small items costs one allocation
// per slab rather than one per item; large blocks get their own. Everything
// is released together.
class TBlockArena {
public:
    TBlockArena() = default;
    TBlockArena(TBlockArena&&) noexcept = default;
    TBlockArena& operator=(TBlockArena&&) noexcept = default;
    // An uninitialised block of `size` (> 0) bytes, or null when it cannot be had.
    uint8_t* Allocate(int64_t size);
    void Clear();

private:
    static constexpr int64_t kSlabSize = 1 << 20;
#if defined(__SANITIZE_ADDRESS__)
#define QVX_ARENA_SLABS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QVX_ARENA_SLABS 0
#endif
#endif
#ifndef QVX_ARENA_SLABS
#define QVX_ARENA_SLABS 1
#endif
    // Under AddressSanitizer every block is its own allocation, so an
    // overrun of any block is caught.
    static constexpr int64_t kSmall = QVX_ARENA_SLABS ? 16 * 1024 : 0;  // at most 1/64 of a slab unused
    std::vector<std::unique_ptr<uint8_t[]>> blocks_;
    uint8_t* next_ = nullptr;  // free space in the current slab
    int64_t left_ = 0;
};

// Compares a 4-byte signature with `expected`, without regard to ASCII case.
bool SameSignature(const void* signature, const char* expected);

// ((width * 8 + 31) div 32) * 4 in 64 bits, truncating toward zero as the
// 8-bit pixel block layout defines it.
inline int64_t BytesPerLine64(int64_t width) { return (width * 8 + 31) / 32 * 4; }

}  // namespace qvx::detail
