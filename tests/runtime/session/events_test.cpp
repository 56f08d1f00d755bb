// Event scripts, the session's wiring of each animation kind, hit tests, window stack, clock.
#include "tests/support/sessiontest.h"

#include "kestrovalumen/host/rtti.h"
#include "runtime/session/clock.h"
#include "runtime/session/eventdispatch.h"
#include "runtime/session/eventscript.h"
#include "runtime/session/report.h"
#include "runtime/session/simulation.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <sstream>

using namespace kestro;
using namespace sessiontest;

namespace {

using EventDispatch = PluginTest;

//! Window 1: a lamp shown while Show is not 0, a button that opens window 2, an entry of Level
//! from 0 to 100; window 2: a button that closes it again.
Project twoWindows() {
    ProjectBuilder b;
    b.tag("Show", VarType::Int, 1);
    b.tag("Level", VarType::Float, 0.0);
    ObjectRecord lamp = ProjectBuilder::shape("Lamp", 0, 0, 40, 40, 0xFF0000);
    VisibleRecord visible;
    visible.header = b.header("Show");
    lamp.animations.push_back(animationEntry(visible));
    ObjectRecord open = ProjectBuilder::shape("Open", 50, 0, 100, 50, 0x00FF00);
    open.animations.push_back(animationEntry(ProjectBuilder::click(1, 1, 2)));
    ObjectRecord entry = ProjectBuilder::shape("Entry", 0, 42, 40, 50, 0x808080);
    entry.animations.push_back(animationEntry(b.numberInput("Level", 0.0f, 100.0f)));
    b.window(1, 100, 50).objects = {ProjectBuilder::object(lamp), ProjectBuilder::object(open),
                                    ProjectBuilder::object(entry)};
    ObjectRecord back = ProjectBuilder::shape("Back", 0, 0, 50, 50, 0x0000FF);
    back.animations.push_back(animationEntry(ProjectBuilder::click(2, 1, 2)));
    b.window(2, 100, 50).objects = {ProjectBuilder::object(back)};
    return b.project;
}

struct Step {
    const char* event;
    const char* error;      //!< "" when the event is done
    int window;             //!< current afterwards
    std::optional<int> hit; //!< click-at only
    std::optional<bool> lampVisible;
    const char* rejected = ""; //!< "name: reason" of each action refused, one a line
};

TEST_F(EventDispatch, EachEventReachesTheSessionOrSaysWhyNot) {
    // clang-format off
    const Step steps[] = {
        {"set Show 0",        "", 1, {}, true},   // written, not yet refreshed
        {"refresh",           "", 1, {}, false},
        {"set Show 1",        "", 1, {}, false},
        {"advance 0.25",      "", 1, {}, true},   // the refresh fell due
        {"click Open",        "", 2, {}, {}},
        {"click Open",        "no object \"Open\" in window 2", 2, {}, {}},
        {"click-at 10 10",    "", 1, 0, {}},      // Back, index 0 of window 2
        {"click-at 99 49",    "", 2, 1, {}},      // inclusive corner of Open
        {"click-at 101 10",   "", 2, -1, {}, ": nothing that takes clicks at (101, 10) in window 2"},
        {"window 1",          "", 1, {}, true},
        {"window 9",          "no window 9 in the project", 1, {}, {}},
        {"set Show many",     "tag \"Show\" takes a whole number in the 32-bit range, not \"many\"",
                              1, {}, {}},
        {"set Level 1e999",   "tag \"Level\" takes a number, not \"1e999\"", 1, {}, {}},
        {"set Show 3000000000", "tag \"Show\" takes a whole number in the 32-bit range, not "
                              "\"3000000000\"", 1, {}, {}},
        {"set Nope 1",        "unknown tag \"Nope\"", 1, {}, {}},
        // The lamp takes no clicks: a click on it reaches nothing.
        {"click-at 20 20",    "", 1, -1, {}, ": nothing that takes clicks at (20, 20) in window 1"},
        {"key abc",           "", 1, {}, {}},
        {"click Entry",       "", 1, {}, {}, "Entry: \"abc\" is not a number"},
        {"key 150",           "", 1, {}, {}},
        {"click Entry",       "", 1, {}, {}, "Entry: \"150\" is out of the range 0 to 100"},
        {"key-cancel",        "", 1, {}, {}},
        {"click Entry",       "", 1, {}, {}, "Entry: keyboard cancelled"},
        {"key 0",             "", 1, {}, {}},
        {"click Entry",       "", 1, {}, {}}, // unchanged, not refused
        {"key 12.5",          "", 1, {}, {}},
        {"click-at 39 49",    "", 1, 2, {}},  // the entry's inclusive corner
        {"trigger 88888",     "", 1, {}, true},
        {"blink 2",           "", 1, {}, true},
    };
    // clang-format on
    std::string script;
    for (const Step& step : steps) {
        script += std::string(step.event) + "\n";
    }
    std::vector<ScriptEvent> events;
    ScriptError scriptError;
    ASSERT_TRUE(parseEventScript(script, &events, &scriptError)) << scriptError.message;
    ASSERT_EQ(events.size(), std::size(steps));

    Session session(options());
    std::string error;
    ASSERT_TRUE(session.load(twoWindows(), &error)) << error;
    session.start();
    for (size_t i = 0; i < events.size(); ++i) {
        const Step& step = steps[i];
        const EventOutcome outcome = dispatchEvent(session, events[i]);
        EXPECT_EQ(outcome.done, *step.error == '\0') << step.event;
        EXPECT_EQ(outcome.error, step.error) << step.event;
        EXPECT_EQ(session.currentWindow(), step.window) << step.event;
        EXPECT_EQ(outcome.hit, step.hit.value_or(-1)) << step.event;
        std::string rejected;
        for (const RejectedAction& action : outcome.rejected) {
            rejected += (rejected.empty() ? "" : "\n") + action.name + ": " + action.reason;
        }
        EXPECT_EQ(rejected, step.rejected) << step.event;
        if (step.lampVisible) {
            EXPECT_EQ(session.objectStates(1)[0].visible, *step.lampVisible) << step.event;
        }
    }
    EXPECT_DOUBLE_EQ(session.time(), 0.25);
    // The refused writes and entries wrote nothing; the last entry was taken.
    EXPECT_EQ(intTag(0), 1);
    EXPECT_EQ(floatTag(1), 12.5);
}

TEST(EventScript, QuotingCommentsAndEmptyLines) {
    const std::string script = "# a session\n"
                               "\n"
                               "  click \"Pump A\"   # the left pump\n"
                               "key \"\"\n"
                               "set Label \"say \\\"hi\\\"\\n\\\\\"\r\n"
                               "sync \"In put\" \"#1\"";
    std::vector<ScriptEvent> events;
    ScriptError error;
    ASSERT_TRUE(parseEventScript(script, &events, &error)) << error.message;
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].line, 3);
    EXPECT_EQ(events[0].name, "Pump A");
    EXPECT_EQ(events[0].source, "click \"Pump A\"");
    EXPECT_EQ(events[1].line, 4);
    EXPECT_EQ(events[1].text, "");
    EXPECT_EQ(events[2].text, "say \"hi\"\n\\");
    EXPECT_EQ(events[3].name, "In put");
    EXPECT_EQ(events[3].text, "#1");
    for (const char* empty : {"\n\n", "# nothing\n   \n", "\xEF\xBB\xBF# a\n"}) {
        EXPECT_TRUE(parseEventScript(empty, &events, &error));
        EXPECT_TRUE(events.empty());
    }
}

struct Mistake {
    const char* script;
    int line;
    int column;
    const char* message;
};

const Mistake kMistakes[] = {
    {"jump 3", 1, 1, "unknown event \"jump\""},
    {"refresh\n  advance", 2, 10, "expected: advance SECONDS"},
    {"advance soon", 1, 9, "a time in seconds from 0 to 604800 expected"},
    {"blink 4", 1, 7, "blink tick 1, 2 or 3 expected"},
    {"click-at 1 y", 1, 12, "a y coordinate expected"},
    {"trigger 1.5", 1, 9, "an integer event code expected"},
    {"window two", 1, 8, "a window number expected"},
    {"click \"Pump", 1, 7, "quoted text is not closed"},
    {"key \"a\\qb\"", 1, 7, "unknown escape in quoted text"},
    {"key \"a\"b", 1, 8, "blank expected after quoted text"},
    {"\xEF\xBB\xBF"
     "blink 4",
     1, 7, "blink tick 1, 2 or 3 expected"},
};

TEST(EventScript, MistakesArePlaced) {
    for (const Mistake& m : kMistakes) {
        std::vector<ScriptEvent> events;
        ScriptError error;
        EXPECT_FALSE(parseEventScript(m.script, &events, &error)) << m.script;
        EXPECT_EQ(error.line, m.line) << m.script;
        EXPECT_EQ(error.column, m.column) << m.script;
        EXPECT_EQ(error.message, m.message) << m.script;
    }
}

using SessionAnimation = PluginTest;

struct Wiring {
    const char* name;
    void (*animate)(ProjectBuilder&, ObjectRecord&); //!< tags first, then O's animations
    const char* events;                              //!< an event script
    const char* expected;                            //!< "key=value ..." of what observe() reports
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

void blink(ProjectBuilder& b, ObjectRecord& o) {
    b.tag("Alarm", VarType::Int, 1);
    add(o, animationEntry(on<BlinkRecord>(b, "Alarm"))); // show-hide
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
    {"show-hide blink, every tick flips", blink, "advance 1", "show=1 changes=7"},
    {"blink ticks one by one", blink, "blink 3", "show=1"},
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
};

TEST_F(SessionAnimation, EachKindIsWiredToTheSession) {
    for (const Wiring& row : kWirings) {
        SCOPED_TRACE(row.name);
        kestro::resetHost();
        ProjectBuilder b;
        ObjectRecord o = ProjectBuilder::shape("O", 0, 0, 100, 50, 0xFF0000);
        row.animate(b, o);
        b.window(1).objects = {ProjectBuilder::object(o)};
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
