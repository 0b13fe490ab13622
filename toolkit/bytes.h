// A fixed block of bytes, as pictures and slides keep their data. Unlike a
// std::vector its memory is not cleared when it is made at a size: a reader
// fills it straight from the file, so each byte is written once, by the
// read itself. Large blocks ask the system for huge pages, which a block
// of many megabytes fills and is walked through far faster with.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <utility>
#include <vector>

namespace tk {

class TBytes {
public:
    using value_type = uint8_t;
    using const_iterator = const uint8_t*;
    using iterator = uint8_t*;

    TBytes() = default;
    // `size` bytes left as they come; the caller writes every one of them.
    // Raises std::bad_alloc when there is no memory for it.
    static TBytes Uninitialized(size_t size) {
        TBytes b;
        b.p_.reset(Allocate(size));
        b.n_ = size;
        return b;
    }
    TBytes(const uint8_t* data, size_t size) : TBytes(Uninitialized(size)) {
        if (size) std::memcpy(p_.get(), data, size);
    }
    explicit TBytes(std::span<const uint8_t> s) : TBytes(s.data(), s.size()) {}
    explicit TBytes(const std::vector<uint8_t>& v) : TBytes(v.data(), v.size()) {}
    TBytes(const TBytes& other) : TBytes(other.data(), other.size()) {}
    TBytes(TBytes&& other) noexcept : p_(std::move(other.p_)), n_(std::exchange(other.n_, 0)) {}
    TBytes& operator=(const TBytes& other) {
        if (this != &other) *this = TBytes(other);
        return *this;
    }
    TBytes& operator=(TBytes&& other) noexcept {
        p_ = std::move(other.p_);
        n_ = std::exchange(other.n_, 0);
        return *this;
    }

    uint8_t* data() { return p_.get(); }
    const uint8_t* data() const { return p_.get(); }
    size_t size() const { return n_; }
    bool empty() const { return n_ == 0; }
    uint8_t* begin() { return p_.get(); }
    uint8_t* end() { return p_.get() + n_; }
    const uint8_t* begin() const { return p_.get(); }
    const uint8_t* end() const { return p_.get() + n_; }
    uint8_t& operator[](size_t i) { return p_[i]; }
    uint8_t operator[](size_t i) const { return p_[i]; }

    // For short-lived programs that read whole libraries (qvxlib): blocks
    // from 64 KiB up to the huge-page size are carved from shared 8 MiB
    // chunks on huge pages, and a chunk is given back when its last block
    // goes. Off by default: in an editor a deleted picture's memory would
    // stay held while others in its chunk live.
    static void SetSharedChunks(bool on);

    // Keeps the first `size` bytes (no more than it holds).
    void Truncate(size_t size) { n_ = std::min(n_, size); }

    operator std::span<const uint8_t>() const { return {p_.get(), n_}; }
    std::vector<uint8_t> ToVector() const { return {begin(), end()}; }

    friend bool operator==(const TBytes& a, std::span<const uint8_t> b) {
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
    }
    friend bool operator==(const TBytes& a, const TBytes& b) { return a == std::span<const uint8_t>(b); }
    friend bool operator==(const TBytes& a, const std::vector<uint8_t>& b) {
        return a == std::span<const uint8_t>(b);
    }

private:
    static uint8_t* Allocate(size_t size);  // null for 0
    struct Free {
        void operator()(uint8_t* p) const;
    };
    std::unique_ptr<uint8_t[], Free> p_;
    size_t n_ = 0;
};

}  // namespace tk
