// A cap on the heap of the test program while a guard lives, so that an allocation that the
// input bytes cannot justify fails the test (std::bad_alloc) instead of passing slowly on a big
// machine. Active only in the plain build: the sanitizers reserve their shadow memory as data,
// and valgrind keeps its own accounts.
#pragma once

#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#if defined(__SANITIZE_ADDRESS__)
#define KV_GUARD_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KV_GUARD_SANITIZED 1
#endif
#endif

namespace kvtest {

class MemoryGuard {
public:
    //! Allows headroom bytes of data beyond what the process holds now.
    explicit MemoryGuard(unsigned long long headroom = 1ull << 30) {
#ifndef KV_GUARD_SANITIZED
        if (underValgrind() || getrlimit(RLIMIT_DATA, &m_saved) != 0) {
            return;
        }
        const unsigned long long data = dataBytes();
        if (data == 0) {
            return;
        }
        rlimit capped = m_saved;
        capped.rlim_cur = data + headroom;
        if (m_saved.rlim_max != RLIM_INFINITY && capped.rlim_cur > m_saved.rlim_max) {
            return;
        }
        m_active = setrlimit(RLIMIT_DATA, &capped) == 0;
#else
        (void)headroom;
#endif
    }
    ~MemoryGuard() {
        if (m_active) {
            setrlimit(RLIMIT_DATA, &m_saved);
        }
    }
    MemoryGuard(const MemoryGuard&) = delete;
    MemoryGuard& operator=(const MemoryGuard&) = delete;

    bool active() const {
        return m_active;
    }

private:
    // VmData of /proc/self/status, the count the limit applies to.
    static unsigned long long dataBytes() {
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line)) {
            unsigned long long kib = 0;
            if (std::sscanf(line.c_str(), "VmData: %llu kB", &kib) == 1) {
                return kib * 1024;
            }
        }
        return 0;
    }
    // Valgrind maps its preload libraries into the program it runs.
    static bool underValgrind() {
        std::ifstream maps("/proc/self/maps");
        std::string line;
        while (std::getline(maps, line)) {
            if (line.find("vgpreload") != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    rlimit m_saved{};
    bool m_active = false;
};

} // namespace kvtest
