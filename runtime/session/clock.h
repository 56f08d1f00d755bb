// The player's virtual clock: time moves only when the session is told to advance, and the
// periodic events fall due at whole multiples of their periods, counted from the start.
//
//   refresh        Run(0) on every object of the current window, every refresh period
//                  (0.25 s unless the session is told otherwise)
//   blink tick 1   Run(1), every 0.25 s (the fast blink rate)
//   blink tick 2   Run(2), every 0.5 s (the middle rate)
//   blink tick 3   Run(3), every 1.0 s (the slow rate)
//
// Nothing falls due at time 0. When several events fall due at the same instant they come in
// the order refresh, blink tick 1, 2, 3.
#pragma once

#include "runtime/session/simulation.h"

namespace kestro {

//! What falls due at one instant.
struct Instant {
    Micros at = 0;
    bool refresh = false;
    bool blink[3] = {false, false, false}; //!< blink ticks 1, 2, 3
};

class VirtualClock {
public:
    static constexpr Micros kBlinkPeriods[3] = {250000, 500000, 1000000};
    static constexpr Micros kDefaultRefresh = 250000;

    //! A period of zero or less takes the default.
    explicit VirtualClock(Micros refreshPeriod = kDefaultRefresh);

    Micros now() const { return m_now; }
    Micros refreshPeriod() const { return m_refresh; }

    //! The next instant after now, up to and including limit, at which something falls due;
    //! moves the clock there. False (clock unchanged) when nothing falls due by then.
    bool next(Micros limit, Instant* out);
    //! Moves the clock forward to a time without running anything; never backwards.
    void moveTo(Micros time);

private:
    static Micros nextMultiple(Micros after, Micros period);

    Micros m_now = 0;
    Micros m_refresh;
};

} // namespace kestro
