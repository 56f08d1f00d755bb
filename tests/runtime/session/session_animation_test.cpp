// How a session wires the real plug-in's animations to its tags, clock, clicks, triggers and
// synchronised values (one row a situation, the object "O" observed afterwards; the animations'
// own rules are the animation suites' business), which object a click hits, and the window stack.
#include "tests/support/sessiontest.h"

#include "kestrovalumen/host/rtti.h"
#include "runtime/project/textfields.h"
#include "runtime/session/eventdispatch.h"
#include "runtime/session/eventscript.h"
#include "runtime/session/report.h"

#include <algorithm>
#include <map>
#include <sstream>

using namespace kestro;
using namespace sessiontest;

namespace {

using SessionAnimation = PluginTest;

struct Wiring {
    const char* name;
    void (*animate)(ProjectBuilder&, ObjectRecord&); //!< tags first, then O's animations
    const char* events;                              //!< an event script
    const char* expected;                            //!< "key=value ..." of what observe() reports
    uint32_t classNumber = kRect;
};

std::string joined(const std::vector<int>& numbers) {
    std::string text;
    for (int n : numbers) {
        text += (text.empty() ? "" : ",") + std::to_string(n);
    }
    return text;
}

std::map<std::string, std::string> observe(Session& session, const Project& project,
                                           const CallMark& since) {
    ObjectState o;
    for (const ObjectState& state : session.objectStates(1)) {
        o = state.name == "O" ? state : o;
    }
    const HostCalls calls = session.callsSince(since);
    std::map<std::string, std::string> seen = {
        {"show", std::to_string(o.showState)},
        {"changes", std::to_string(o.changes)},
        {"text", o.text},
        {"window", std::to_string(session.currentWindow())},
        {"opened", joined(calls.opened)},
        {"strategies", std::to_string(calls.strategies.size())},
        {"writes", std::to_string(calls.writes.size())},
        {"keyboards", std::to_string(calls.keyboards.size())},
        {"log", calls.logs.empty() ? "" : calls.logs.back().tag},
    };
    for (auto& [key, value] : seen) {
        std::replace(value.begin(), value.end(), ' ', '_'); // one word a value
    }
    for (size_t i = 0; i < project.tags.size(); ++i) {
        Rtdb::instance().getString(static_cast<int>(i), &seen[project.tags[i].name]);
    }
    return seen;
}

void add(ObjectRecord& o, const AnimationEntry& entry) {
    o.animations.push_back(entry);
}

template <class Record>
Record on(ProjectBuilder& b, const char* source) {
    Record r;
    r.header = b.header(source);
    return r;
}

template <int Type>
void blink(ProjectBuilder& b, ObjectRecord& o) {
    b.tag("Alarm", VarType::Int, 1);
    BlinkRecord r = on<BlinkRecord>(b, "Alarm");
    r.blinkType = Type;
    r.blinkBrushColor = 0x0000FF;
    add(o, animationEntry(r));
}

template <int Kind>
void output(ProjectBuilder& b, ObjectRecord& o) {
    b.tag("Level", VarType::Float, 3.14159);
    b.tag("On", VarType::Int, 0);
    OutputRecord r = on<OutputRecord>(b, Kind ? "Level" : "On");
    r.outputType = Kind;
    r.decimals = 2;
    r.onText = "Running";
    add(o, animationEntry(r));
    o.extra = encodeFields(TextFields{}); // the text class's own fields
}

void input(ProjectBuilder& b, ObjectRecord& o) {
    InputRecord r = on<InputRecord>(b, "0");
    r.prompt = "Pump";
    r.varId = b.tag("Mode", VarType::Int, 0);
    add(o, animationEntry(r));
}

void keyed(ProjectBuilder&, ObjectRecord& o) {
    ClickRecord click = ProjectBuilder::click(1, 1, 2);
    click.keyCode = 65; // with key flags 0 the trigger code is 65
    add(o, animationEntry(click));
}

template <int Build, int Revision>
void oldHeader(ProjectBuilder& b, ObjectRecord& o) {
    b.project.version = {3, 2, Build, Revision, ""};
    b.tag("Show", VarType::Int, 0);
    VisibleRecord r = on<VisibleRecord>(b, "Show");
    r.header.form = AnimationHeader::Form::Old;
    r.header.source = "Show";
    add(o, animationEntry(r));
}

const Wiring kWirings[] = {
    {"old header before 3.2.5.1841", oldHeader<5, 1840>, "refresh", "show=10"},
    // Ticks: 0.25 s tick 1; 0.5 s ticks 1, 2; 0.75 s tick 1; 1.0 s ticks 1, 2, 3.
    {"show-hide blink, every tick flips", blink<0>, "advance 1", "show=1 changes=7"},
    {"blink ticks one by one", blink<0>, "blink 3", "show=1"},
    {"simulated tag moves without writes",
     [](ProjectBuilder& b, ObjectRecord&) {
         b.tag("Flow", VarType::Float, 0.0);
         b.project.tags[0].simulation = {Simulation::Kind::Ramp, 10.0, 0.0, 10.0, 1.0, 1, {}};
     },
     "advance 5", "Flow=5 writes=0"},
    {"click runs a strategy",
     [](ProjectBuilder& b, ObjectRecord& o) {
         b.tag("Count", VarType::Float, 1.5);
         StrategyDef bump;
         bump.number = 1;
         bump.name = "Bump";
         bump.actions = {{StrategyAction::Kind::Add, "Count", 2.5, {}}};
         b.project.strategies.push_back(bump);
         add(o, animationEntry(ProjectBuilder::click(0, 1, 1)));
     },
     "click O", "Count=4 strategies=1 log=Caiclick_stgy"},
    {"trigger codes other than the key's", keyed, "trigger 66\ntrigger 3", "window=1 opened="},
    {"the key's trigger code", keyed, "trigger 65", "window=2 opened=2"},
    {"a synchronised value", input, "sync O 1", "Mode=1 keyboards=0"},
    // Decimals are cut, not rounded.
    {"number output follows", output<1>, "set Level -2.678\nrefresh", "text=-2.67", kDrawTextClass},
};

TEST_F(SessionAnimation, EachKindIsWiredToTheSession) {
    for (const Wiring& row : kWirings) {
        SCOPED_TRACE(row.name);
        kestro::resetHost();
        ProjectBuilder b;
        ObjectRecord o = ProjectBuilder::shape("O", 0, 0, 100, 50, 0xFF0000);
        row.animate(b, o);
        b.window(1).objects = {ProjectBuilder::object(o, row.classNumber)};
        b.window(2);

        Session session(options());
        std::string error;
        ASSERT_TRUE(session.load(b.project, &error)) << error;
        ASSERT_TRUE(session.problems().empty()) << session.problems().front().text();
        const CallMark mark = session.mark();
        session.start();
        std::vector<ScriptEvent> events;
        ScriptError scriptError;
        ASSERT_TRUE(parseEventScript(row.events, &events, &scriptError)) << scriptError.message;
        for (const ScriptEvent& event : events) {
            const EventOutcome outcome = dispatchEvent(session, event);
            EXPECT_TRUE(outcome.done) << event.source << ": " << outcome.error;
        }
        const auto seen = observe(session, b.project, mark);
        std::istringstream expected(row.expected);
        std::string item;
        while (expected >> item) {
            const size_t equals = item.find('=');
            const std::string value = item.substr(equals + 1);
            const auto found = seen.find(item.substr(0, equals));
            ASSERT_NE(found, seen.end()) << item;
            EXPECT_EQ(found->second, value) << item.substr(0, equals);
        }
    }
}

TEST_F(SessionAnimation, HitTestFindsTheTopmostVisibleObjectThatTakesClicks) {
    ProjectBuilder b;
    b.tag("Off", VarType::Int, 0);
    const AnimationEntry quiet = animationEntry(ProjectBuilder::click(0, 0, -1));
    ObjectRecord low = ProjectBuilder::shape("Low", 10, 10, 60, 40, 0);
    low.animations = {quiet};
    ObjectRecord high = ProjectBuilder::shape("High", 40, 20, 90, 50, 0);
    high.pen = 1;
    high.penWidthX = 3; // bound rectangle widened by (3 + 1) / 2 = 2
    high.animations = {quiet};
    ObjectRecord hidden = ProjectBuilder::shape("Hidden", 100, 10, 150, 40, 0);
    hidden.animations = {animationEntry(on<VisibleRecord>(b, "Off")), quiet};
    // Drawn over High and over empty ground, and taking no clicks itself.
    ObjectRecord caption = ProjectBuilder::shape("Caption", 45, 25, 130, 45, 0);
    b.window(1).objects = {ProjectBuilder::object(low), ProjectBuilder::object(high),
                           ProjectBuilder::object(hidden), ProjectBuilder::object(caption)};
    Session session(options());
    std::string error;
    ASSERT_TRUE(session.load(b.project, &error)) << error;
    session.start();
    // Low covers 10..59 x 10..39, High 38..91 x 18..51 (inclusive).
    const int cases[][3] = {{20, 15, 0}, {50, 30, 1},  {38, 18, 1}, {37, 17, 0},
                            {91, 51, 1}, {92, 30, -1}, {9, 10, -1}, {110, 30, -1}};
    for (const auto& c : cases) {
        EXPECT_EQ(session.hitTest(c[0], c[1]), c[2]) << c[0] << "," << c[1];
    }
    EXPECT_EQ(session.clickAt(50, 30), 1);
    EXPECT_EQ(session.clickAt(5, 5), -1);
}

TEST(WindowStack, OpeningRaisesAndClosingKeepsTheLastWindow) {
    const struct {
        bool open; //!< false: close
        int number;
        bool becameCurrent;
        std::vector<int> stack;
    } steps[] = {
        {true, 1, true, {1}},       {true, 1, false, {1}},      {true, 2, true, {1, 2}},
        {true, 3, true, {1, 2, 3}}, {true, 1, true, {2, 3, 1}}, {false, 3, false, {2, 1}},
        {false, 7, false, {2, 1}},  {false, 1, true, {2}},      {false, 2, false, {2}},
    };
    WindowStack stack;
    EXPECT_EQ(stack.current(), -1);
    for (const auto& step : steps) {
        EXPECT_EQ(step.open ? stack.open(step.number) : stack.close(step.number),
                  step.becameCurrent)
            << step.open << " " << step.number;
        EXPECT_EQ(stack.numbers(), step.stack);
        EXPECT_EQ(stack.current(), step.stack.back());
    }
}

} // namespace
