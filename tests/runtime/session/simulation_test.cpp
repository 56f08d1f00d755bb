// Simulated tag values: each kind at chosen times, worked out from its formula, and the random
// walk's reproducibility and bounds.
#include "runtime/session/simulation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace kestro;

namespace {

Simulation make(Simulation::Kind kind, double period = 4.0, double low = 10.0, double high = 30.0) {
    Simulation s;
    s.kind = kind;
    s.period = period;
    s.low = low;
    s.high = high;
    return s;
}

struct Case {
    const char* name;
    Simulation::Kind kind;
    double seconds;
    double value;
};

// Period 4 s, low 10, high 30.
const Case kCases[] = {
    {"sine starts in the middle", Simulation::Kind::Sine, 0.0, 20.0},
    {"sine at a quarter is high", Simulation::Kind::Sine, 1.0, 30.0},
    {"sine at three quarters is low", Simulation::Kind::Sine, 3.0, 10.0},
    {"sine repeats", Simulation::Kind::Sine, 5.0, 30.0},
    {"ramp starts low", Simulation::Kind::Ramp, 0.0, 10.0},
    {"ramp half way", Simulation::Kind::Ramp, 2.0, 20.0},
    {"ramp falls back", Simulation::Kind::Ramp, 4.0, 10.0},
    {"ramp a quarter in the second period", Simulation::Kind::Ramp, 5.0, 15.0},
    {"square first half high", Simulation::Kind::Square, 1.99, 30.0},
    {"square second half low", Simulation::Kind::Square, 2.0, 10.0},
    {"square next period high", Simulation::Kind::Square, 4.0, 30.0},
};

TEST(TagSimulator, PeriodicKinds) {
    for (const Case& c : kCases) {
        TagSimulator simulator(make(c.kind), 0.0);
        double value = -1.0;
        ASSERT_TRUE(simulator.valueAt(toMicros(c.seconds), &value)) << c.name;
        EXPECT_NEAR(value, c.value, 1e-9) << c.name;
    }
}

TEST(TagSimulator, NoneKeepsTheValue) {
    TagSimulator simulator(make(Simulation::Kind::None), 5.0);
    double value = -1.0;
    EXPECT_FALSE(simulator.valueAt(1000000, &value));
    EXPECT_EQ(value, -1.0);
}

TEST(TagSimulator, StepsHoldFromTheirTime) {
    Simulation s = make(Simulation::Kind::Steps);
    s.steps = {{1.0, 5.0}, {2.5, 7.0}};
    TagSimulator simulator(s, 3.0);
    double value = -1.0;
    EXPECT_FALSE(simulator.valueAt(toMicros(0.5), &value)); // the initial value stays
    struct StepCase {
        double seconds;
        double value;
    };
    for (const StepCase& c :
         {StepCase{1.0, 5.0}, StepCase{2.4, 5.0}, StepCase{2.5, 7.0}, StepCase{100.0, 7.0}}) {
        ASSERT_TRUE(simulator.valueAt(toMicros(c.seconds), &value)) << c.seconds;
        EXPECT_EQ(value, c.value) << c.seconds;
    }
}

std::vector<double> walk(uint32_t seed, double initial, int steps) {
    Simulation s = make(Simulation::Kind::RandomWalk, 4.0, 0.0, 100.0);
    s.step = 8.0; // at most 8 per second, 2 per step of 0.25 s
    s.seed = seed;
    TagSimulator simulator(s, initial);
    std::vector<double> values;
    for (int i = 0; i <= steps; ++i) {
        double value = 0.0;
        EXPECT_TRUE(simulator.valueAt(i * TagSimulator::kWalkStep, &value));
        values.push_back(value);
    }
    return values;
}

TEST(TagSimulator, RandomWalkIsReproducibleAndBounded) {
    const std::vector<double> a = walk(7, 50.0, 400);
    EXPECT_EQ(a, walk(7, 50.0, 400));
    EXPECT_NE(a, walk(8, 50.0, 400));
    EXPECT_EQ(a.front(), 50.0);
    bool moved = false;
    for (size_t i = 1; i < a.size(); ++i) {
        EXPECT_LE(std::fabs(a[i] - a[i - 1]), 2.0) << i;
        EXPECT_GE(a[i], 0.0);
        EXPECT_LE(a[i], 100.0);
        moved = moved || a[i] != a[i - 1];
    }
    EXPECT_TRUE(moved);
    // The walk starts inside the bounds even from an initial value outside them.
    EXPECT_EQ(walk(7, 250.0, 0).front(), 100.0);
}

TEST(TagSimulator, RandomWalkDependsOnlyOnTheTime) {
    Simulation s = make(Simulation::Kind::RandomWalk, 4.0, 0.0, 100.0);
    s.seed = 3;
    TagSimulator direct(s, 50.0);
    TagSimulator stepped(s, 50.0);
    double once = 0.0;
    ASSERT_TRUE(direct.valueAt(toMicros(10.1), &once));
    double value = 0.0;
    for (double t = 0.0; t < 10.1; t += 0.3) {
        stepped.valueAt(toMicros(t), &value);
    }
    ASSERT_TRUE(stepped.valueAt(toMicros(10.1), &value));
    EXPECT_EQ(value, once);
    // Asked for an earlier time, it walks again from the start.
    double early = 0.0;
    ASSERT_TRUE(stepped.valueAt(toMicros(1.0), &early));
    double fresh = 0.0;
    ASSERT_TRUE(TagSimulator(s, 50.0).valueAt(toMicros(1.0), &fresh));
    EXPECT_EQ(early, fresh);
}

TEST(TagSimulator, SecondsAndClockUnits) {
    EXPECT_EQ(toMicros(0.25), 250000);
    EXPECT_EQ(toMicros(1e-7), 0);
    EXPECT_EQ(toMicros(2.0000004), 2000000);
    EXPECT_DOUBLE_EQ(toSeconds(1500000), 1.5);
}

} // namespace
