// The counting allocator: malloc and friends of the whole process resolve to these, which count
// and pass on to glibc's own entry points. Under the address sanitizer, which brings its own
// allocator, nothing is replaced and nothing is counted.
#include "bench/heapcount.h"

#include <cstddef>
#include <malloc.h>

#if defined(__SANITIZE_ADDRESS__)
#define KV_BENCH_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KV_BENCH_ASAN 1
#endif
#endif

namespace {
// Plain thread-locals of the executable: reached without any allocation, also from inside malloc.
// Counting is off outside heapOf, so that the timed loops pay no more than a test and a call.
thread_local int64_t t_allocations = 0;
thread_local int64_t t_bytes = 0;
thread_local int t_counting = 0;
} // namespace

namespace kvbench {

bool heapCounted() {
#ifdef KV_BENCH_ASAN
    return false;
#else
    return true;
#endif
}

HeapCount heapNow() {
    return {t_allocations, t_bytes};
}

void countHeap(bool on) {
    t_counting += on ? 1 : -1;
}

} // namespace kvbench

#ifndef KV_BENCH_ASAN

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* p, size_t size);
void __libc_free(void* p);

void* malloc(size_t size) {
    void* p = __libc_malloc(size);
    if (t_counting != 0 && p != nullptr) {
        ++t_allocations;
        t_bytes += static_cast<int64_t>(malloc_usable_size(p));
    }
    return p;
}

void* calloc(size_t count, size_t size) {
    void* p = __libc_calloc(count, size);
    if (t_counting != 0 && p != nullptr) {
        ++t_allocations;
        t_bytes += static_cast<int64_t>(malloc_usable_size(p));
    }
    return p;
}

void* realloc(void* old, size_t size) {
    if (t_counting == 0) {
        return __libc_realloc(old, size);
    }
    const int64_t before = old != nullptr ? static_cast<int64_t>(malloc_usable_size(old)) : 0;
    void* p = __libc_realloc(old, size);
    if (p != nullptr) {
        ++t_allocations;
        t_bytes += static_cast<int64_t>(malloc_usable_size(p)) - before;
    } else if (size == 0 && old != nullptr) {
        t_bytes -= before; // realloc(p, 0) freed the block
    }
    return p;
}

void free(void* p) {
    if (t_counting != 0 && p != nullptr) {
        t_bytes -= static_cast<int64_t>(malloc_usable_size(p));
    }
    __libc_free(p);
}
}

#endif
