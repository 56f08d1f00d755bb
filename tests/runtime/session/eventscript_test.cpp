// The event scripts of `kestro run`: every event form, quoting and comments, and the position
// of each kind of mistake.
#include "runtime/session/eventscript.h"

#include <gtest/gtest.h>

using namespace kestro;

namespace {

using Kind = ScriptEvent::Kind;

//! "kind number x y seconds name|text" of a parsed event.
std::string fieldsOf(const ScriptEvent& e) {
    return std::to_string(static_cast<int>(e.kind)) + " " + std::to_string(e.number) + " " +
           std::to_string(e.x) + " " + std::to_string(e.y) + " " + std::to_string(e.seconds) + " " +
           e.name + "|" + e.text;
}

TEST(EventScript, EveryEventForm) {
    ScriptEvent expected[13];
    const char* const lines[] = {"advance 1.5",     "refresh",           "blink 3",
                                 "click Pump1",     "click-at 120 -4",   "trigger 88888",
                                 "sync Input 12.5", "set Tank.Level 80", "key 42",
                                 "key-cancel",      "window 2"};
    const Kind kinds[] = {Kind::Advance, Kind::Refresh,   Kind::Blink, Kind::Click,
                          Kind::ClickAt, Kind::Trigger,   Kind::Sync,  Kind::Set,
                          Kind::Key,     Kind::KeyCancel, Kind::Window};
    for (size_t i = 0; i < std::size(kinds); ++i) {
        expected[i].kind = kinds[i];
    }
    expected[0].seconds = 1.5;
    expected[2].number = 3;
    expected[3].name = "Pump1";
    expected[4].x = 120;
    expected[4].y = -4;
    expected[5].number = 88888;
    expected[6].name = "Input";
    expected[6].text = "12.5";
    expected[7].name = "Tank.Level";
    expected[7].text = "80";
    expected[8].text = "42";
    expected[10].number = 2;
    for (size_t i = 0; i < std::size(lines); ++i) {
        std::vector<ScriptEvent> events;
        ScriptError error;
        ASSERT_TRUE(parseEventScript(lines[i], &events, &error))
            << lines[i] << ": " << error.message;
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(fieldsOf(events[0]), fieldsOf(expected[i])) << lines[i];
    }
}

TEST(EventScript, QuotingCommentsAndLines) {
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
}

TEST(EventScript, EmptyScripts) {
    for (const char* script :
         {"", "\n\n", "# nothing\n   \n", "\xEF\xBB\xBF", "\xEF\xBB\xBF# a\n"}) {
        std::vector<ScriptEvent> events{ScriptEvent()};
        ScriptError error;
        EXPECT_TRUE(parseEventScript(script, &events, &error));
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
    {"advance 1 2", 1, 11, "expected: advance SECONDS"},
    {"advance soon", 1, 9, "a time in seconds, 0 or more, expected"},
    {"advance -1", 1, 9, "a time in seconds, 0 or more, expected"},
    {"blink 4", 1, 7, "blink tick 1, 2 or 3 expected"},
    {"click-at 1 y", 1, 12, "a y coordinate expected"},
    {"trigger 1.5", 1, 9, "an integer event code expected"},
    {"window two", 1, 8, "a window number expected"},
    {"click \"Pump", 1, 7, "quoted text is not closed"},
    {"key \"a\\qb\"", 1, 7, "unknown escape in quoted text"},
    {"key \"a\"b", 1, 8, "blank expected after quoted text"},
    {"refresh now", 1, 9, "expected: refresh"},
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
