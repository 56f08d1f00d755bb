// The event scripts of `kestro run`: how they are read, what each event does to the session
// through the shared dispatch, and why an event that cannot be done is refused.
#include "runtime/session/eventdispatch.h"

#include "runtime/session/eventscript.h"
#include "tests/support/sessiontest.h"

#include <optional>

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

} // namespace
