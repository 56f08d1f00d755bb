// Simulated tag values.
#include "runtime/session/simulation.h"

#include "kestrovalumen/core/arith.h"
#include "runtime/host/rtdb.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace kestro {

namespace {

constexpr double kPi = 3.14159265358979323846;

// SplitMix64: small, fast and the same on every platform, which a random walk that has to be
// reproduced byte for byte needs more than statistical quality.
uint64_t nextRandom(uint64_t* state) {
    uint64_t z = (*state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

//! Uniform in [-1, 1), from the top 53 bits.
double nextUnit(uint64_t* state) {
    return static_cast<double>(nextRandom(state) >> 11) / 4503599627370496.0 - 1.0;
}

double clampTo(double value, double low, double high) {
    return std::min(std::max(value, std::min(low, high)), std::max(low, high));
}

} // namespace

Micros toMicros(double seconds) {
    return static_cast<Micros>(std::llround(seconds * kMicrosPerSecond));
}

double toSeconds(Micros micros) {
    return static_cast<double>(micros) / kMicrosPerSecond;
}

TagSimulator::TagSimulator(const Simulation& simulation, double initial)
    : m_simulation(simulation), m_initial(initial) {
    m_walkValue = clampTo(initial, simulation.low, simulation.high);
    m_walkState = simulation.seed;
}

bool TagSimulator::valueAt(Micros time, double* value) {
    const Simulation& s = m_simulation;
    const double span = s.high - s.low;
    const Micros period = toMicros(s.period);
    // The phase in whole clock units keeps long runs free of drift.
    const double phase =
        period > 0 ? static_cast<double>(time % period) / static_cast<double>(period) : 0.0;
    switch (s.kind) {
    case Simulation::Kind::None:
        return false;
    case Simulation::Kind::Sine:
        *value = s.low + span * (1.0 + std::sin(2.0 * kPi * phase)) / 2.0;
        return true;
    case Simulation::Kind::Ramp:
        *value = s.low + span * phase;
        return true;
    case Simulation::Kind::Square:
        *value = phase < 0.5 ? s.high : s.low;
        return true;
    case Simulation::Kind::RandomWalk: {
        const int64_t steps = time / kWalkStep;
        if (steps < m_walkSteps) {
            m_walkSteps = 0;
            m_walkValue = clampTo(m_initial, s.low, s.high);
            m_walkState = s.seed;
        }
        const double stride = s.step * toSeconds(kWalkStep);
        for (; m_walkSteps < steps; ++m_walkSteps) {
            m_walkValue = clampTo(m_walkValue + stride * nextUnit(&m_walkState), s.low, s.high);
        }
        *value = m_walkValue;
        return true;
    }
    case Simulation::Kind::Steps: {
        bool found = false;
        for (const auto& [at, stepValue] : s.steps) {
            if (toMicros(at) > time) {
                break;
            }
            *value = stepValue;
            found = true;
        }
        return found;
    }
    }
    return false;
}

void SimulatedTags::add(int index, VarType type, TagSimulator simulator) {
    m_tags.push_back({index, type, std::move(simulator)});
}

void SimulatedTags::remove(int index) {
    m_tags.erase(std::remove_if(m_tags.begin(), m_tags.end(),
                                [index](const Tag& tag) { return tag.index == index; }),
                 m_tags.end());
}

std::pair<size_t, size_t> SimulatedTags::apply(Micros time) {
    Rtdb& rtdb = Rtdb::instance();
    const size_t first = rtdb.writes().total();
    for (Tag& tag : m_tags) {
        double value = 0.0;
        if (!tag.simulator.valueAt(time, &value)) {
            continue;
        }
        if (tag.type == VarType::Int) {
            int current = 0;
            const int32_t next = kv::RoundSaturate32(value);
            if (rtdb.getInt(tag.index, &current) != RtdbOk || current != next) {
                rtdb.setInt(tag.index, next);
            }
        } else {
            double current = 0.0;
            if (rtdb.getFloat(tag.index, &current) != RtdbOk || current != value) {
                rtdb.setFloat(tag.index, value);
            }
        }
    }
    return {first, rtdb.writes().total()};
}

} // namespace kestro
