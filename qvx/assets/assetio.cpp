#include "assetio.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace qvx::detail {

TChunkReader::TChunkReader(tk::TStream& stream) : stream_(stream) {
    pos_ = stream.Position();
    end_ = stream.Size();
    if (pos_ < 0) pos_ = 0;
    if (end_ < pos_) end_ = pos_;
    streamPos_ = pos_;
}

TChunkReader::~TChunkReader() {
    if (streamPos_ != pos_) {
        try {
            stream_.SetPosition(pos_);
        } catch (...) {
        }
    }
}

void TChunkReader::Read(void* dest, int64_t count) {
    if (count < 0 || count > Remaining()) throw tk::EReadError(tk::msg::SReadError);
    auto* out = static_cast<uint8_t*>(dest);
    int64_t avail = bufLen_ - bufPos_;
    if (count <= avail) {
        std::memcpy(out, buf_.get() + bufPos_, static_cast<size_t>(count));
        bufPos_ += count;
        pos_ += count;
        return;
    }
    if (avail > 0) std::memcpy(out, buf_.get() + bufPos_, static_cast<size_t>(avail));
    bufPos_ = bufLen_ = 0;
    pos_ += avail;
    out += avail;
    int64_t rest = count - avail;
    if (rest >= kBufSize) {
        // Large blocks go straight to their destination.
        stream_.ReadBuffer(out, rest);
        streamPos_ += rest;
        pos_ += rest;
        return;
    }
    if (!buf_) buf_ = std::make_unique<uint8_t[]>(kBufSize);
    int64_t fill = std::min(kBufSize, end_ - streamPos_);
    stream_.ReadBuffer(buf_.get(), fill);
    streamPos_ += fill;
    bufLen_ = fill;
    std::memcpy(out, buf_.get(), static_cast<size_t>(rest));
    bufPos_ = rest;
    pos_ += rest;
}

TChunkWriter::TChunkWriter(tk::TStream& stream) : stream_(stream) {}

void TChunkWriter::Write(const void* src, int64_t count) {
    if (count <= 0) return;
    if (len_ + count <= kBufSize) {
        if (!buf_) buf_ = std::make_unique<uint8_t[]>(kBufSize);
        std::memcpy(buf_.get() + len_, src, static_cast<size_t>(count));
        len_ += count;
        return;
    }
    Flush();
    if (count >= kBufSize) {
        stream_.WriteBuffer(src, count);
        return;
    }
    Write(src, count);
}

void TChunkWriter::Flush() {
    if (len_ > 0) stream_.WriteBuffer(buf_.get(), len_);
    len_ = 0;
}

std::unique_ptr<uint8_t[]> TryAllocate(int64_t size) {
    if (size <= 0 || static_cast<uint64_t>(size) > SIZE_MAX) return nullptr;
    return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[static_cast<size_t>(size)]);
}

uint8_t* TBlockArena::Allocate(int64_t size) {
    if (size <= 0) return nullptr;
    if (size > kSmall) {
        auto block = TryAllocate(size);
        if (!block) return nullptr;
        blocks_.push_back(std::move(block));
        return blocks_.back().get();
    }
    if (size > left_) {
        auto slab = TryAllocate(kSlabSize);
        if (!slab) return nullptr;
        next_ = slab.get();
        left_ = kSlabSize;
        blocks_.push_back(std::move(slab));
    }
    uint8_t* p = next_;
    const int64_t used = (size + 7) & ~int64_t{7};  // keep blocks 8-byte aligned
    next_ += std::min(used, left_);
    left_ -= std::min(used, left_);
    return p;
}

void TBlockArena::Clear() {
    blocks_.clear();
    blocks_.shrink_to_fit();
    next_ = nullptr;
    left_ = 0;
}

bool SameSignature(const void* signature, const char* expected) {
    auto* s = static_cast<const uint8_t*>(signature);
    for (int i = 0; i < 4; ++i) {
        uint8_t a = s[i], b = static_cast<uint8_t>(expected[i]);
        if (a >= 'a' && a <= 'z') a -= 32;
        if (b >= 'a' && b <= 'z') b -= 32;
        if (a != b) return false;
    }
    return true;
}

}  // namespace qvx::detail
