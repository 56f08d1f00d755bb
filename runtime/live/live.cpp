#include "runtime/live/live.h"

#include <algorithm>
#include <utility>

namespace kestro::live {

void Inbox::post(LiveEvent event) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_events.push_back(std::move(event));
}

std::vector<LiveEvent> Inbox::take() {
    std::vector<LiveEvent> events;
    std::lock_guard<std::mutex> lock(m_mutex);
    events.swap(m_events);
    return events;
}

size_t Inbox::pending() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_events.size();
}

int Backoff::next() {
    const int wait = m_nextMs;
    m_nextMs = std::min(m_nextMs * 2, kLastMs);
    return wait;
}

} // namespace kestro::live
