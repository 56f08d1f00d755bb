// The demo plant, examples/plant.json, as kestro shows it: it compiles and loads cleanly, uses a
// broad share of the shape classes and every animation kind, changes with the virtual clock, and
// answers the operator's clicks and entries.
#include "runtime/project/projectcheck.h"
#include "runtime/project/projectio.h"
#include "runtime/stream/reader.h"
#include "tests/support/sessiontest.h"

#include <QImage>

#include <cstdlib>
#include <memory>
#include <set>
#include <string>

using namespace kestro;
using namespace sessiontest;

namespace {

std::string plantFile() {
    const char* dir = std::getenv("KV_SOURCE_DIR");
    return std::string(dir ? dir : ".") + "/examples/plant.json";
}

class Plant : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        ProjectError error;
        ASSERT_TRUE(loadProjectFile(plantFile(), &m_project, &error)) << error.text();
    }

    // The session's objects go before the host is reset.
    void TearDown() override {
        m_session.reset();
        PluginTest::TearDown();
    }

    //! Loads the plant into a new session and runs its first refresh.
    Session& start() {
        m_session = std::make_unique<Session>(options());
        std::string error;
        EXPECT_TRUE(m_session->load(m_project, &error)) << error;
        for (const LoadProblem& problem : m_session->problems()) {
            ADD_FAILURE() << problem.text();
        }
        m_session->start();
        return *m_session;
    }

    int tag(const std::string& name) const {
        for (size_t i = 0; i < m_project.tags.size(); ++i) {
            if (m_project.tags[i].name == name) {
                return static_cast<int>(i);
            }
        }
        ADD_FAILURE() << "no tag " << name;
        return -1;
    }

    Project m_project;
    std::unique_ptr<Session> m_session;
};

TEST_F(Plant, ShowsManyShapeClassesAndEveryAnimationKind) {
    ASSERT_EQ(m_project.windows.size(), 2u);
    const AnimationHeader::Form form = headerForm(m_project.version);
    std::set<uint32_t> shapeClasses;
    std::set<uint32_t> animationTypes;
    for (const WindowDef& window : m_project.windows) {
        for (const ObjectDef& object : window.objects) {
            ObjectRecord record;
            StreamReader in(object.record);
            ASSERT_TRUE(readObject(in, form, &record)) << window.number << " " << object.name;
            if (object.classNumber >= 0x5000 && object.classNumber <= 0x5037) {
                shapeClasses.insert(object.classNumber);
            }
            for (const AnimationEntry& entry : record.animations) {
                animationTypes.insert(entry.typeId);
            }
        }
    }
    EXPECT_GE(shapeClasses.size(), 15u);
    // Visibility 0x300B, blink 0x3001, fill 0x3002, click 0x3003, movement 0x3004 and 0x3005,
    // input 0x3006, output 0x3007, outline 0x3008, size 0x3009, text colour 0x300A.
    std::set<uint32_t> everyKind;
    for (uint32_t type = 0x3001; type <= 0x300B; ++type) {
        everyKind.insert(type);
    }
    EXPECT_EQ(animationTypes, everyKind);
}

TEST_F(Plant, ChangesWithTheClockAndAnswersTheOperator) {
    Session& session = start();
    const QImage atStart = session.render();
    // T-102 starts at the middle of 20..84 %; a quarter of its 24 s period later it is near
    // the top (82.9 %), above the alarm limit of 75 %.
    EXPECT_FALSE(stateOf(session, "T102AlarmBalloon").visible);
    EXPECT_EQ(stateOf(session, "T102Value").text, "52.0");
    session.advance(5);
    EXPECT_TRUE(stateOf(session, "T102AlarmBalloon").visible);
    EXPECT_EQ(stateOf(session, "T102Value").text, "82.9");
    EXPECT_EQ(session.render().size(), atStart.size());
    EXPECT_NE(session.render(), atStart);

    // Closing the suction valve stops the flow shown at the next refresh.
    const int valve = tag("V101.Open");
    const int pump = tag("P101.Run");
    EXPECT_TRUE(stateOf(session, "SuctionFlowArrow").visible);
    ASSERT_TRUE(session.click("V101"));
    EXPECT_EQ(intTag(valve), 0);
    session.advance(0.25);
    EXPECT_EQ(stateOf(session, "FI101Value").text, "0.0");
    EXPECT_FALSE(stateOf(session, "SuctionFlowArrow").visible);
    ASSERT_TRUE(session.click("V101Left"));
    EXPECT_EQ(intTag(valve), 1);

    // The details window: STOP and START write the pump's tag, CLOSE returns to the overview.
    ASSERT_TRUE(session.click("DetailsButton"));
    EXPECT_EQ(session.currentWindow(), 2);
    ASSERT_TRUE(session.click("StopCaption"));
    EXPECT_EQ(intTag(pump), 0);
    ASSERT_TRUE(session.click("StartButton"));
    EXPECT_EQ(intTag(pump), 1);
    ASSERT_TRUE(session.click("CloseCaption"));
    EXPECT_EQ(session.currentWindow(), 1);

    // The set point takes an entry within its limits.
    session.queueKeyboardAnswer("82.5");
    ASSERT_TRUE(session.click("SetPoint"));
    EXPECT_DOUBLE_EQ(floatTag(tag("T102.SP")), 82.5);
}

} // namespace
