#include "heap_meter.h"

#include <malloc.h>

#include <atomic>
#include <cerrno>
#include <cstdint>

// The C library's own allocator, under the names it exports for this purpose.
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t n, std::size_t size);
void* __libc_realloc(void* p, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* p);
}

namespace {

std::atomic<std::size_t> inUse{0};
std::atomic<std::size_t> peak{0};

void Added(void* p) noexcept {
    if (p == nullptr) return;
    const std::size_t now = inUse.fetch_add(malloc_usable_size(p), std::memory_order_relaxed) + malloc_usable_size(p);
    std::size_t seen = peak.load(std::memory_order_relaxed);
    while (now > seen && !peak.compare_exchange_weak(seen, now, std::memory_order_relaxed)) {
    }
}

void Removed(void* p) noexcept {
    if (p != nullptr) inUse.fetch_sub(malloc_usable_size(p), std::memory_order_relaxed);
}

}  // namespace

extern "C" {

void* malloc(std::size_t size) {
    void* p = __libc_malloc(size);
    Added(p);
    return p;
}

void* calloc(std::size_t n, std::size_t size) {
    void* p = __libc_calloc(n, size);
    Added(p);
    return p;
}

void* realloc(void* old, std::size_t size) {
    const std::size_t before = old != nullptr ? malloc_usable_size(old) : 0;
    void* p = __libc_realloc(old, size);
    if (p == nullptr) {
        // Size 0 frees the old block; otherwise the old block stays as it was.
        if (size == 0 && old != nullptr) inUse.fetch_sub(before, std::memory_order_relaxed);
        return nullptr;
    }
    inUse.fetch_sub(before, std::memory_order_relaxed);
    Added(p);
    return p;
}

void free(void* p) {
    Removed(p);
    __libc_free(p);
}

void* memalign(std::size_t alignment, std::size_t size) {
    void* p = __libc_memalign(alignment, size);
    Added(p);
    return p;
}

void* aligned_alloc(std::size_t alignment, std::size_t size) { return memalign(alignment, size); }

int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
    if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) return EINVAL;
    void* p = memalign(alignment, size);
    if (p == nullptr && size != 0) return ENOMEM;
    *out = p;
    return 0;
}

void* valloc(std::size_t size) { return memalign(4096, size); }

}  // extern "C"

namespace kvt::bench {

std::size_t HeapInUse() noexcept { return inUse.load(std::memory_order_relaxed); }
std::size_t HeapPeak() noexcept { return peak.load(std::memory_order_relaxed); }
void ResetHeapPeak() noexcept { peak.store(HeapInUse(), std::memory_order_relaxed); }

}  // namespace kvt::bench
