// The player's virtual clock and simulated tag values.
#include "runtime/session/clock.h"
#include "runtime/session/simulation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace kestro;

namespace {

//! "250000:R1": the instant in microseconds, R for a refresh, then the blink ticks.
std::vector<std::string> walk(VirtualClock& clock, Micros until) {
    std::vector<std::string> instants;
    Instant instant;
    while (clock.next(until, &instant)) {
        std::string text = std::to_string(instant.at) + ":" + (instant.refresh ? "R" : "");
        for (int i = 0; i < 3; ++i) {
            text += instant.blink[i] ? std::to_string(i + 1) : "";
        }
        instants.push_back(text);
    }
    return instants;
}

TEST(VirtualClock, WhichEventsFallDueWhen) {
    const struct {
        Micros refresh, from, until;
        std::vector<std::string> instants;
    } cases[] = {
        {0, 0, 1000000, {"250000:R1", "500000:R12", "750000:R1", "1000000:R123"}},
        {-5, 0, 249999, {}}, // nothing before its time; no own period: the default
        {100000,
         0,
         600000,
         {"100000:R", "200000:R", "250000:1", "300000:R", "400000:R", "500000:R12", "600000:R"}},
        {0, 1100000, 1500000, {"1250000:R1", "1500000:R12"}}, // the grid stays
    };
    for (const auto& c : cases) {
        VirtualClock clock(c.refresh);
        clock.moveTo(c.from);
        EXPECT_EQ(walk(clock, c.until), c.instants) << c.refresh << " " << c.from;
    }
    VirtualClock clock;
    clock.moveTo(250000);
    clock.moveTo(10); // never back
    EXPECT_EQ(clock.now(), 250000);
}

TEST(TagSimulator, EachKindAtChosenTimes) {
    const auto make = [](Simulation::Kind kind) {
        Simulation s;
        s.kind = kind;
        s.period = 4.0;
        s.low = 10.0;
        s.high = 30.0;
        s.steps = {{1.0, 5.0}, {2.5, 7.0}};
        return s;
    };
    using K = Simulation::Kind;
    const struct {
        K kind;
        double seconds;
        bool set;
        double value;
    } cases[] = {
        {K::Sine, 1.0, true, 30.0}, {K::Sine, 3.0, true, 10.0},    {K::Ramp, 2.0, true, 20.0},
        {K::Ramp, 5.0, true, 15.0}, {K::Square, 1.99, true, 30.0}, {K::Square, 2.0, true, 10.0},
        {K::Steps, 0.5, false, -1}, {K::Steps, 2.4, true, 5.0},    {K::Steps, 2.5, true, 7.0},
        {K::None, 1.0, false, -1},
    };
    for (const auto& c : cases) {
        TagSimulator simulator(make(c.kind), 3.0);
        double value = -1.0;
        EXPECT_EQ(simulator.valueAt(toMicros(c.seconds), &value), c.set) << c.seconds;
        EXPECT_NEAR(value, c.value, 1e-9) << static_cast<int>(c.kind) << " at " << c.seconds;
    }
    EXPECT_EQ(toMicros(1e-7), 0);
    EXPECT_EQ(toMicros(2.0000004), 2000000);
}

std::vector<double> randomWalk(uint32_t seed, double initial, int steps) {
    Simulation s;
    s.kind = Simulation::Kind::RandomWalk;
    s.high = 100.0;
    s.step = 8.0; // at most 2 per step of 0.25 s
    s.seed = seed;
    TagSimulator simulator(s, initial);
    std::vector<double> values;
    for (int i = 0; i <= steps; ++i) {
        double value = 0.0;
        EXPECT_TRUE(simulator.valueAt(i * TagSimulator::kWalkStep, &value));
        values.push_back(value);
    }
    if (steps > 0) { // asked for an earlier time, it walks again from the start
        double again = 0.0;
        EXPECT_TRUE(simulator.valueAt(TagSimulator::kWalkStep, &again));
        EXPECT_EQ(again, values[1]);
    }
    return values;
}

TEST(TagSimulator, RandomWalkIsReproducibleAndBounded) {
    const std::vector<double> a = randomWalk(7, 50.0, 400);
    EXPECT_EQ(a, randomWalk(7, 50.0, 400));
    EXPECT_NE(a, randomWalk(8, 50.0, 400));
    EXPECT_EQ(a.front(), 50.0);
    bool moved = false;
    for (size_t i = 1; i < a.size(); ++i) {
        EXPECT_LE(std::fabs(a[i] - a[i - 1]), 2.0) << i;
        EXPECT_GE(a[i], 0.0);
        EXPECT_LE(a[i], 100.0);
        moved = moved || a[i] != a[i - 1];
    }
    EXPECT_TRUE(moved);
    EXPECT_EQ(randomWalk(7, 250.0, 0).front(), 100.0); // starts inside the bounds
}

} // namespace
