// The event scripts of `kestro run`: quoting and comments, and the position of each kind of
// mistake. Every event form is read in the dispatch test.
#include "runtime/session/eventscript.h"

#include <gtest/gtest.h>

using namespace kestro;

namespace {

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
