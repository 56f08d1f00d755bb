// The player's virtual clock.
#include "runtime/session/clock.h"

#include <algorithm>

namespace kestro {

VirtualClock::VirtualClock(Micros refreshPeriod)
    : m_refresh(refreshPeriod > 0 ? refreshPeriod : kDefaultRefresh) {}

Micros VirtualClock::nextMultiple(Micros after, Micros period) {
    return (after / period + 1) * period;
}

bool VirtualClock::next(Micros limit, Instant* out) {
    Micros at = nextMultiple(m_now, m_refresh);
    for (Micros period : kBlinkPeriods) {
        at = std::min(at, nextMultiple(m_now, period));
    }
    if (at > limit) {
        return false;
    }
    *out = Instant();
    out->at = at;
    out->refresh = at % m_refresh == 0;
    for (int i = 0; i < 3; ++i) {
        out->blink[i] = at % kBlinkPeriods[i] == 0;
    }
    m_now = at;
    return true;
}

void VirtualClock::moveTo(Micros time) {
    m_now = std::max(m_now, time);
}

} // namespace kestro
