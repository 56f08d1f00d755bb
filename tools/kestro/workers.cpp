#include "tools/kestro/workers.h"

#include <QThread>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#if defined(__GLIBC__)
#include <pthread.h>
#endif

namespace kestro::cli {

namespace {

//! Enough for the pool's span functions, an eighth of the usual reservation.
constexpr size_t kWorkerStack = 1024 * 1024;

//! The most threads Qt's painting pool runs at once: half the cores above four, up to eight.
int poolThreads() {
    const int ideal = std::max(QThread::idealThreadCount(), 1);
    return ideal > 4 ? std::clamp(ideal / 2, 4, 8) : ideal;
}

} // namespace

bool workerThreadsStart(std::string* error) {
#if defined(__GLIBC__)
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) == 0) {
        size_t current = 0;
        if (pthread_getattr_default_np(&attr) == 0 &&
            pthread_attr_getstacksize(&attr, &current) == 0 && current > kWorkerStack) {
            pthread_attr_setstacksize(&attr, kWorkerStack);
            pthread_setattr_default_np(&attr);
        }
        pthread_attr_destroy(&attr);
    }
#endif
    // All of them at once, as the pool would hold them.
    std::mutex mutex;
    std::condition_variable released;
    bool release = false;
    std::vector<std::thread> threads;
    std::string reason;
    for (int i = 0; i < poolThreads(); ++i) {
        try {
            threads.emplace_back([&] {
                std::unique_lock<std::mutex> lock(mutex);
                released.wait(lock, [&] { return release; });
            });
        } catch (const std::system_error& e) {
            reason = e.what();
            break;
        }
    }
    {
        const std::lock_guard<std::mutex> lock(mutex);
        release = true;
    }
    released.notify_all();
    for (std::thread& thread : threads) {
        thread.join();
    }
    if (!reason.empty()) {
        *error = "cannot start the threads that painting uses (" + reason +
                 "): raise the memory or process limit";
        return false;
    }
    return true;
}

} // namespace kestro::cli
