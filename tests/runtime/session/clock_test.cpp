// The player's virtual clock: which periodic events fall due when, and in which order.
#include "runtime/session/clock.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kestro;

namespace {

//! "0.25:R1" style: the instant in seconds, R for a refresh, then the blink ticks.
std::string describe(const Instant& instant) {
    std::string text = std::to_string(instant.at) + ":";
    if (instant.refresh) {
        text += "R";
    }
    for (int i = 0; i < 3; ++i) {
        if (instant.blink[i]) {
            text += std::to_string(i + 1);
        }
    }
    return text;
}

std::vector<std::string> walk(VirtualClock& clock, Micros until) {
    std::vector<std::string> instants;
    Instant instant;
    while (clock.next(until, &instant)) {
        instants.push_back(describe(instant));
    }
    return instants;
}

TEST(VirtualClock, DefaultPeriodsOverOneSecond) {
    VirtualClock clock;
    EXPECT_EQ(walk(clock, 1000000),
              std::vector<std::string>({"250000:R1", "500000:R12", "750000:R1", "1000000:R123"}));
    EXPECT_EQ(clock.now(), 1000000);
}

TEST(VirtualClock, OwnRefreshPeriodInterleavesWithTheBlinkTicks) {
    VirtualClock clock(100000);
    EXPECT_EQ(walk(clock, 600000),
              std::vector<std::string>({"100000:R", "200000:R", "250000:1", "300000:R", "400000:R",
                                        "500000:R12", "600000:R"}));
}

TEST(VirtualClock, NothingFallsDueBeforeItsTime) {
    VirtualClock clock;
    Instant instant;
    EXPECT_FALSE(clock.next(249999, &instant));
    EXPECT_EQ(clock.now(), 0);
    clock.moveTo(249999);
    EXPECT_TRUE(clock.next(250000, &instant));
    EXPECT_EQ(describe(instant), "250000:R1");
    // Moving never goes back.
    clock.moveTo(10);
    EXPECT_EQ(clock.now(), 250000);
}

TEST(VirtualClock, ResumingAfterAnOddTimeKeepsTheGrid) {
    VirtualClock clock;
    clock.moveTo(1100000);
    EXPECT_EQ(walk(clock, 2000000), std::vector<std::string>({"1250000:R1", "1500000:R12",
                                                              "1750000:R1", "2000000:R123"}));
}

TEST(VirtualClock, ZeroOrNegativeRefreshTakesTheDefault) {
    EXPECT_EQ(VirtualClock(0).refreshPeriod(), 250000);
    EXPECT_EQ(VirtualClock(-5).refreshPeriod(), 250000);
}

} // namespace
