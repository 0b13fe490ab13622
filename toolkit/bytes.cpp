#include "bytes.h"

#include <sys/mman.h>

#include <cstdlib>
#include <new>

namespace tk {

namespace {

constexpr size_t kHugePage = size_t(2) << 20;
// From this size on a block is worth huge pages: the rounding up to whole
// pages costs at most a third more.
constexpr size_t kHugeFrom = 3 * kHugePage;

}  // namespace

uint8_t* TBytes::Allocate(size_t size) {
    if (size == 0) return nullptr;
    void* p = nullptr;
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

void TBytes::Free::operator()(uint8_t* p) const { std::free(p); }

}  // namespace tk
