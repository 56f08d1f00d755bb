// Simulated tag values on the player's virtual clock. Every value is a function of the time (and,
// for the random walk, of the seed), so a session gives the same values however its time is cut
// into steps.
//
//   sine         low + (high - low) * (1 + sin(2 pi t / period)) / 2: the middle at t = 0
//   ramp         low + (high - low) * fraction(t / period): rises, then falls back to low
//   square       high for the first half of every period, low for the second half
//   random walk  starts at the initial value (clamped to low..high); every 0.25 s it moves by
//                step * 0.25 * u, u uniform in [-1, 1) drawn from the seed, clamped to low..high
//   steps        the value of the last step whose time has come; the initial value before the
//                first one
//
// A period of zero or less holds the value at t = 0.
#pragma once

#include "runtime/project/project.h"

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace kestro {

//! Time on the player's clock, in microseconds since the session started.
using Micros = int64_t;
constexpr Micros kMicrosPerSecond = 1000000;

//! Seconds to clock units, rounded to the nearest microsecond.
Micros toMicros(double seconds);
double toSeconds(Micros micros);

class TagSimulator {
public:
    TagSimulator(const Simulation& simulation, double initial);

    //! The value at a time; false when the tag keeps its value (no simulation, or steps before
    //! the first). Times must not go backwards from one call to the next (the random walk only
    //! walks forward); an earlier time restarts the walk from the beginning.
    bool valueAt(Micros time, double* value);

    //! One step of the random walk, in clock units.
    static constexpr Micros kWalkStep = 250000;

private:
    Simulation m_simulation;
    double m_initial;
    // Random walk: the steps taken so far, the value reached and the generator's state.
    int64_t m_walkSteps = 0;
    double m_walkValue = 0.0;
    uint64_t m_walkState = 0;
};

//! The simulated tags of a project, written to the real-time database as the clock moves.
class SimulatedTags {
public:
    //! A number tag of the database (index, type) and what drives it.
    void add(int index, VarType type, TagSimulator simulator);
    //! The tag keeps the values others write (its live source's) from now on.
    void remove(int index);
    bool empty() const { return m_tags.empty(); }

    //! Writes each tag's value at the time, where it differs from what the tag holds. The
    //! positions [first, last) of the database's writes that this added.
    std::pair<size_t, size_t> apply(Micros time);

private:
    struct Tag {
        int index;
        VarType type;
        TagSimulator simulator;
    };
    std::vector<Tag> m_tags;
};

} // namespace kestro
