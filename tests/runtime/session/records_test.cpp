// A session's records stay the same size however long it runs: a reader that forgets what it
// reported keeps only the last event's records, and one long event keeps no more than the limit.
#include "tests/support/sessiontest.h"

#include "runtime/host/logger.h"
#include "runtime/host/rtdb.h"

using namespace kestro;
using namespace sessiontest;

namespace {

using SessionRecords = PluginTest;

// A lamp whose condition fails on every refresh: a monitor and a log record each time.
Project failingLamp() {
    ProjectBuilder b;
    b.tag("Zero", VarType::Int, 0);
    ObjectRecord lamp = ProjectBuilder::shape("Lamp", 10, 10, 30, 30, 0xFF0000);
    VisibleRecord visible;
    visible.header = b.header("1 / Zero");
    lamp.animations.push_back(animationEntry(visible));
    b.window(1).objects = {ProjectBuilder::object(lamp)};
    return b.project;
}

TEST_F(SessionRecords, AFixedCountAfterAnyNumberOfEvents) {
    std::vector<size_t> kept;
    for (int events : {10, 200}) {
        Session session(options());
        std::string error;
        ASSERT_TRUE(session.load(failingLamp(), &error)) << error;
        session.start();
        for (int i = 0; i < events; ++i) {
            const CallMark mark = session.mark();
            session.advance(1.0);
            ASSERT_FALSE(session.callsSince(mark).monitor.empty()) << "the lamp must fail";
            session.forgetRecords();
        }
        kept.push_back(session.recordsKept());
    }
    EXPECT_EQ(kept[0], kept[1]);
}

TEST_F(SessionRecords, OneLongEventKeepsTheLatestAndCountsTheRest) {
    Session session(options());
    std::string error;
    ASSERT_TRUE(session.load(failingLamp(), &error)) << error;
    session.setRecordLimit(50);
    session.start();
    const CallMark mark = session.mark();
    session.advance(600.0);
    const HostCalls calls = session.callsSince(mark);
    EXPECT_LE(calls.monitor.size(), 50u);
    EXPECT_LE(calls.logs.size(), 50u);
    EXPECT_GT(calls.dropped, 0u);
    EXPECT_EQ(calls.monitor.size() + calls.logs.size() + calls.dropped,
              HostLog::instance().monitor().total() - mark.monitor +
                  HostLog::instance().logs().total() - mark.logs);
    EXPECT_LE(session.recordsKept(), 12u * 50u);
}

TEST_F(SessionRecords, TheSimulationsWritesAreNeitherCallsNorDropped) {
    ProjectBuilder b;
    b.tag("Level", VarType::Float, 0.0);
    b.project.tags[0].simulation = {Simulation::Kind::Ramp, 10.0, 0.0, 10.0, 1.0, 1, {}};
    b.window(1).objects = {
        ProjectBuilder::object(ProjectBuilder::shape("Tank", 10, 10, 30, 30, 0x0000FF))};
    Session session(options());
    std::string error;
    ASSERT_TRUE(session.load(b.project, &error)) << error;
    session.setRecordLimit(50);
    session.start();
    const CallMark mark = session.mark();
    session.advance(600.0);
    ASSERT_GT(Rtdb::instance().writes().dropped(), 0u) << "the ramp must write past the limit";
    const HostCalls calls = session.callsSince(mark);
    EXPECT_TRUE(calls.writes.empty());
    EXPECT_EQ(calls.dropped, 0u);
}

} // namespace
