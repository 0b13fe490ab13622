#include "bytes.h"

#include <sys/mman.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <new>
#include <unordered_map>

namespace tk {

namespace {

constexpr size_t kHugePage = size_t(2) << 20;
// From this size on a block is worth huge pages: the rounding up to whole
// pages costs at most a third more.
constexpr size_t kHugeFrom = 3 * kHugePage;

// Shared chunks: blocks are carved one after another from the current
// chunk; each chunk counts its live blocks.
constexpr size_t kChunk = size_t(8) << 20;
constexpr size_t kChunkFrom = size_t(64) << 10;
constexpr size_t kChunkAlign = 64;

struct Chunks {
    std::mutex mutex;
    std::atomic<bool> on{false}, everOn{false};
    uintptr_t current = 0;  // the chunk blocks are carved from
    size_t used = 0;        // bytes of it handed out
    std::unordered_map<uintptr_t, size_t> live;  // chunk -> blocks in use

    uint8_t* Carve(size_t size) {
        const size_t need = (size + kChunkAlign - 1) & ~(kChunkAlign - 1);
        std::lock_guard lock(mutex);
        if (!current || used + need > kChunk) {
            void* c = std::aligned_alloc(kChunk, kChunk);
            if (!c) return nullptr;
            ::madvise(c, kChunk, MADV_HUGEPAGE);
            Retire();
            current = reinterpret_cast<uintptr_t>(c);
            used = 0;
            live[current] = 0;
        }
        uint8_t* p = reinterpret_cast<uint8_t*>(current + used);
        used += need;
        ++live[current];
        return p;
    }
    // Gives back the current chunk once none of its blocks is in use.
    void Retire() {
        if (current && live[current] == 0) {
            live.erase(current);
            std::free(reinterpret_cast<void*>(current));
        }
        current = 0;
    }
    // False when `p` is no chunk's.
    bool Release(uint8_t* p) {
        if (!everOn.load(std::memory_order_relaxed)) return false;
        const uintptr_t base = reinterpret_cast<uintptr_t>(p) & ~(kChunk - 1);
        std::lock_guard lock(mutex);
        auto it = live.find(base);
        if (it == live.end()) return false;
        if (--it->second == 0) {
            if (base == current) {
                used = 0;  // carved again from the start, while still in cache
            } else {
                live.erase(it);
                std::free(reinterpret_cast<void*>(base));
            }
        }
        return true;
    }
};

Chunks& SharedChunks() {
    static Chunks* chunks = new Chunks;  // outlives every block, also at exit
    return *chunks;
}

}  // namespace

void TBytes::SetSharedChunks(bool on) {
    Chunks& c = SharedChunks();
    if (on) c.everOn = true;
    c.on = on;
    if (!on) {
        std::lock_guard lock(c.mutex);
        c.Retire();
    }
}

uint8_t* TBytes::Allocate(size_t size) {
    if (size == 0) return nullptr;
    void* p = nullptr;
    if (size >= kChunkFrom && size < kHugeFrom && SharedChunks().on.load(std::memory_order_relaxed)) {
        if (uint8_t* q = SharedChunks().Carve(size)) return q;
    }
    if (size >= kHugeFrom && size <= SIZE_MAX - kHugePage) {
        const size_t whole = (size + kHugePage - 1) & ~(kHugePage - 1);
        p = std::aligned_alloc(kHugePage, whole);
        // Only advice: where the system gives no huge pages the block works
        // the same on small ones.
        if (p) ::madvise(p, whole, MADV_HUGEPAGE);
    } else {
        p = std::malloc(size);
    }
    if (!p) throw std::bad_alloc();
    return static_cast<uint8_t*>(p);
}

void TBytes::Free::operator()(uint8_t* p) const {
    if (!SharedChunks().Release(p)) std::free(p);
}

}  // namespace tk
