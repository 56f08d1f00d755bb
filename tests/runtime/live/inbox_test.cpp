// ctest-link: kestrolive
// The inbox between the connections' threads and the session, and the reconnection back-off.
#include "runtime/live/live.h"

#include <gtest/gtest.h>

#include <thread>

using namespace kestro::live;

namespace {

TEST(Backoff, HalfASecondDoublingToThirtyAndBackAfterSuccess) {
    Backoff backoff;
    for (int wait : {500, 1000, 2000, 4000, 8000, 16000, 30000, 30000}) {
        EXPECT_EQ(backoff.next(), wait);
    }
    backoff.reset();
    EXPECT_EQ(backoff.next(), 500);
}

TEST(Inbox, KeepsEachPostersOrderAndEmptiesOnTake) {
    Inbox inbox;
    constexpr int kEach = 2000;
    auto poster = [&](int connection) {
        for (int i = 0; i < kEach; ++i) {
            LiveEvent event;
            event.connection = connection;
            event.number = i;
            inbox.post(event);
        }
    };
    std::thread first(poster, 0), second(poster, 1);
    first.join();
    second.join();
    EXPECT_EQ(inbox.pending(), 2u * kEach);
    double next[2] = {0, 0};
    for (const LiveEvent& event : inbox.take()) {
        EXPECT_EQ(event.number, next[event.connection]++);
    }
    EXPECT_EQ(next[0], kEach);
    EXPECT_EQ(next[1], kEach);
    EXPECT_TRUE(inbox.take().empty());
}

} // namespace
