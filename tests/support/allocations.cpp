// The replaced operator new of every test program: it counts or fails only when a test asks.
#include "tests/support/allocations.h"

#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define KV_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KV_ASAN 1
#endif
#endif

namespace {
thread_local long* t_count = nullptr;
int g_failNothrowAfter = 0; // 0: off; n: the n-th non-throwing allocation from now fails
int g_nothrowSeen = 0;
} // namespace

namespace kvtest {

bool allocationsCounted() {
#ifdef KV_ASAN
    return false;
#else
    return true;
#endif
}

AllocationCount::AllocationCount() : m_previous(t_count) {
    t_count = &m_count;
}

AllocationCount::~AllocationCount() {
    t_count = m_previous;
}

void failNthNothrowAllocation(int n) {
    g_failNothrowAfter = n;
    g_nothrowSeen = 0;
}

} // namespace kvtest

#ifndef KV_ASAN
// The sanitizer keeps its own allocator. The library's array forms call these.
void* operator new(std::size_t size) {
    if (t_count != nullptr) {
        ++*t_count;
    }
    if (void* p = std::malloc(size ? size : 1)) {
        return p;
    }
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
#endif

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (g_failNothrowAfter > 0 && ++g_nothrowSeen == g_failNothrowAfter) {
        g_failNothrowAfter = 0;
        return nullptr;
    }
    try {
        return ::operator new(size);
    } catch (...) {
        return nullptr;
    }
}
