// The event scripts of `kestro run`: every event form, quoting and comments, and the position
// of each kind of mistake.
#include "runtime/session/eventscript.h"

#include <gtest/gtest.h>

using namespace kestro;

namespace {

using Kind = ScriptEvent::Kind;

ScriptEvent parseOne(const std::string& line) {
    std::vector<ScriptEvent> events;
    ScriptError error;
    EXPECT_TRUE(parseEventScript(line, &events, &error))
        << line << " -> " << error.line << ":" << error.column << ": " << error.message;
    EXPECT_EQ(events.size(), 1u) << line;
    return events.empty() ? ScriptEvent() : events.front();
}

TEST(EventScript, EveryEventForm) {
    ScriptEvent e = parseOne("advance 1.5");
    EXPECT_EQ(e.kind, Kind::Advance);
    EXPECT_DOUBLE_EQ(e.seconds, 1.5);
    EXPECT_EQ(parseOne("refresh").kind, Kind::Refresh);
    e = parseOne("blink 3");
    EXPECT_EQ(e.kind, Kind::Blink);
    EXPECT_EQ(e.number, 3);
    e = parseOne("click Pump1");
    EXPECT_EQ(e.kind, Kind::Click);
    EXPECT_EQ(e.name, "Pump1");
    e = parseOne("click-at 120 -4");
    EXPECT_EQ(e.kind, Kind::ClickAt);
    EXPECT_EQ(e.x, 120);
    EXPECT_EQ(e.y, -4);
    e = parseOne("trigger 88888");
    EXPECT_EQ(e.kind, Kind::Trigger);
    EXPECT_EQ(e.number, 88888);
    e = parseOne("sync Input 12.5");
    EXPECT_EQ(e.kind, Kind::Sync);
    EXPECT_EQ(e.name, "Input");
    EXPECT_EQ(e.text, "12.5");
    e = parseOne("set Tank.Level 80");
    EXPECT_EQ(e.kind, Kind::Set);
    EXPECT_EQ(e.name, "Tank.Level");
    EXPECT_EQ(e.text, "80");
    e = parseOne("key 42");
    EXPECT_EQ(e.kind, Kind::Key);
    EXPECT_EQ(e.text, "42");
    EXPECT_EQ(parseOne("key-cancel").kind, Kind::KeyCancel);
    e = parseOne("window 2");
    EXPECT_EQ(e.kind, Kind::Window);
    EXPECT_EQ(e.number, 2);
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
    {"advance soon", 1, 9, "a time in seconds from 0 to 604800 expected"},
    {"advance -1", 1, 9, "a time in seconds from 0 to 604800 expected"},
    {"advance 604801", 1, 9, "a time in seconds from 0 to 604800 expected"},
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
