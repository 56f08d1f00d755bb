// Mistakes in a project file: each kind gives its message at the line and column of the
// offending text (columns count characters), worked out by hand from the texts below.
#include "runtime/project/projectio.h"

#include "tests/support/projecttestutil.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace kestro;

namespace {

struct ErrorCase {
    const char* name;
    std::string json;
    int line;
    int column;
    std::string message;
};

const ErrorCase kCases[] = {
    {"values nested deeper than 200 levels", "{\"tags\": " + std::string(200, '[') + "]", 1, 209,
     "values nested more than 200 levels deep"},
    {"four-byte character before the error",
     "{\"windows\": [{\"name\": \"\xF0\x9F\x98\x80\", \"x\": 1}]}", 1, 28,
     "unknown field 'x' in a window"},
    {"missing comma between members", "{\n  \"tags\": []\n  \"windows\": []\n}\n", 3, 3,
     "expected ',' or '}' after an object member"},
    {"byte order mark skipped, columns after it", "\xEF\xBB\xBF{\"tags\": [] \"windows\": []}", 1,
     13, "expected ',' or '}' after an object member"},
    {"trailing comma in an array", "{\n  \"windows\": [1, 2,]\n}\n", 2, 20,
     "expected a value (object, array, string, number, true, false or null)"},
    {"string running to the end of the line", "{\n  \"windows\": \"abc\n}\n", 2, 14,
     "unterminated string: expected '\"' before the end of the line"},
    {"member name without quotes", "{windows: []}", 1, 2,
     "expected a member name in double quotes"},
    {"invalid escape", "{\"a\": \"\\q\"}", 1, 8,
     "invalid escape '\\q' in a string: expected one of \\\" \\\\ \\/ \\b \\f \\n \\r \\t \\uXXXX"},
    {"number out of range", "{\"windows\": [{\"number\": 1e999}]}", 1, 25, "number out of range"},
    {"empty text", "", 1, 1, "expected a value before the end of the text"},
    {"text after the document", "{} x", 1, 4,
     "expected the end of the document after the top-level value"},
    {"the same member twice", "{\n  \"tags\": [],\n  \"tags\": []\n}\n", 3, 3,
     "duplicate member 'tags' in this object"},
    {"unknown class",
     "{\n  \"windows\": [{\"number\": 1, \"objects\": [\n    {\"class\": \"CDrawSquare\", "
     "\"rect\": [0, 0, 1, 1]}\n  ]}]\n}\n",
     3, 15, "unknown class 'CDrawSquare'"},
    {"field of another class",
     "{\n  \"windows\": [{\"number\": 1, \"objects\": [\n    {\"class\": \"CDrawRect\", \"rect\": "
     "[0, 0, 1, 1],\n     \"percent\": 30}\n  ]}]\n}\n",
     4, 6, "unknown field 'percent' in an object of class CDrawRect"},
    {"unknown field at the top", "{\"window\": []}", 1, 2, "unknown field 'window' in the project"},
    {"text where a number belongs",
     "{\n  \"windows\": [{\"number\": 1, \"size\": [\"800\", 600]}]\n}\n", 2, 38,
     "'size[0]' must be a whole number, found a string"},
    {"colour with five digits",
     "{\n  \"windows\": [{\"number\": 1, \"background\": \"#12345\"}]\n}\n", 2, 43,
     "'background' must be a colour \"#RRGGBB\", found \"#12345\""},
    {"unknown tag in an expression",
     "{\n  \"tags\": [{\"name\": \"Level\"}],\n  \"windows\": [{\"number\": 3, \"name\": \"Main\", "
     "\"objects\": [\n    {\"class\": \"CDrawRect\", \"name\": \"Bar\", \"rect\": [0, 0, 9, 9], "
     "\"animations\": [\n      {\"kind\": \"brush\",\n       \"expression\": \"Level > 1 && Levl < "
     "9\"}]}\n  ]}]\n}\n",
     6, 36,
     "window 3 'Main', object 1 'Bar' (CDrawRect), animation 1 (brush): unknown tag 'Levl' "
     "(expression 1:14)"},
    {"expression error after escapes",
     "{\n  \"windows\": [{\"number\": 1, \"objects\": [{\"class\": \"CDrawRect\", \"rect\": [0, 0, "
     "1, 1],\n    \"events\": [{\"code\": 7,\n      \"action\": \"\\\"\\u00e9\\\" + #\"}]}]}]\n}\n",
     4, 31, "window 1, object 1 (CDrawRect), event 1 (code 7): unexpected '#' (expression 1:7)"},
    {"tag used in a program limit that does not exist",
     "{\n  \"windows\": [{\"number\": 1, \"objects\": [{\"class\": \"CDrawRect\", \"rect\": [0, 0, "
     "1, 1],\n    \"animations\": [{\"kind\": \"input\", \"var\": 0,\n      \"upper\": "
     "{\"expression\": \"Max\"}}]}]}]\n}\n",
     4, 32,
     "window 1, object 1 (CDrawRect), animation 1 (input), upper limit: unknown tag 'Max' "
     "(expression 1:1)"},
    {"duplicate window number",
     "{\n  \"windows\": [\n    {\"number\": 4},\n    {\"number\": 4}\n  ]\n}\n", 4, 16,
     "duplicate window number 4 (the first is at line 3, column 16)"},
    {"unknown tag in a strategy",
     "{\n  \"tags\": [{\"name\": \"A\", \"type\": \"int\"}],\n  \"strategies\": [{\"number\": 1, "
     "\"actions\": [\n    {\"action\": \"set\", \"tag\": \"B\", \"value\": 1}]}]\n}\n",
     4, 30, "unknown tag 'B'"},
    {"toggle with a value",
     "{\n  \"tags\": [{\"name\": \"A\"}],\n  \"strategies\": [{\"number\": 1, \"actions\": "
     "[{\"action\": \"toggle\", \"tag\": \"A\", \"value\": 1}]}]\n}\n",
     3, 77, "a toggle takes no value"},
    {"int tag with a fraction",
     "{\n  \"tags\": [{\"name\": \"A\", \"type\": \"int\", \"initial\": 2.5}]\n}\n", 2, 52,
     "the initial value of an int tag must be a whole number between -2147483648 and 2147483647"},
    {"start window not defined", "{\n  \"startWindow\": 9,\n  \"windows\": [{\"number\": 1}]\n}\n",
     2, 18, "the start window 9 is not defined"},
    {"version with two parts", "{\"version\": \"4.0\"}", 1, 13,
     "'version' must be four numbers \"major.minor.build.revision\", such as \"4.0.0.0\""},
    {"nine hexadecimal digits", "{\"windows\": [{\"number\": \"0x100000001\"}]}", 1, 25,
     "'number' must be a whole number or hexadecimal text such as \"0x1F\", found \"0x100000001\""},
    {"hexadecimal beyond a 16-bit field",
     "{\"windows\": [{\"number\": 1, \"objects\": [\n  {\"class\": \"CDrawGuan\", \"rect\": [0, 0, "
     "9, 9], \"pipeWidth\": \"0xFFFFF\"}]}]}",
     2, 61, "'pipeWidth' must be between 0 and 65535, found 1048575"},
    {"window number beyond 16 bits", "{\"windows\": [{\"number\": 70000}]}", 1, 25,
     "window numbers are 0 to 65535"},
    {"bad hex digit in raw bytes",
     "{\n  \"windows\": [{\"number\": 1, \"objects\": [\n    {\"class\": \"CDrawRect\", \"raw\": "
     "\"0a 0g\"}]}]\n}\n",
     3, 40, "'raw' must be hexadecimal bytes, two digits each (such as \"0a ff\")"},
    {"program limit in a version 10 record",
     "{\n  \"tags\": [{\"name\": \"A\"}],\n  \"windows\": [{\"number\": 1, \"objects\": "
     "[{\"class\": \"CDrawRect\", \"rect\": [0, 0, 1, 1],\n    \"animations\": [{\"kind\": "
     "\"input\", \"var\": \"A\", \"version\": 10,\n      \"upper\": {\"expression\": "
     "\"A\"}}]}]}]\n}\n",
     5, 16, "a program limit needs a value input record of version 11"},
    {"unknown animation kind",
     "{\n  \"windows\": [{\"number\": 1, \"objects\": [{\"class\": \"CDrawRect\", \"rect\": [0, 0, "
     "1, 1],\n    \"animations\": [{\"kind\": \"spin\"}]}]}]\n}\n",
     3, 29,
     "unknown animation kind 'spin' (expected visible, blink, pen, brush, textColor, hmove, vmove, "
     "size, click, input or output)"},
    {"object without a rectangle",
     "{\n  \"windows\": [{\"number\": 1, \"objects\": [\n    {\"class\": \"CDrawRect\"}]}]\n}\n", 3,
     5, "window 1, object 1 (CDrawRect): an object needs \"rect\": [left, top, right, bottom]"},
    {"version byte in an old header",
     "{\n  \"version\": \"3.2.5.1840\",\n  \"windows\": [{\"number\": 1, \"objects\": [{\"class\": "
     "\"CDrawRect\", \"rect\": [0, 0, 1, 1],\n    \"animations\": [{\"kind\": \"visible\", "
     "\"version\": 11}]}]}]\n}\n",
     4, 40, "the old animation header of projects before version 3.2.5.1841 has no version byte"},
    {"string tag simulated",
     "{\n  \"tags\": [{\"name\": \"S\", \"type\": \"string\", \"simulation\": {\"kind\": "
     "\"sine\"}}]\n}\n",
     2, 58, "a string tag cannot be simulated"},
    {"steps out of time order",
     "{\n  \"tags\": [{\"name\": \"S\", \"simulation\": [[5, 1], [2, 0]]}]\n}\n", 2, 40,
     "simulation steps must be in time order"},
};

TEST(ScreenErrors, EachMistakeIsNamedWhereItIs) {
    for (const ErrorCase& c : kCases) {
        SCOPED_TRACE(c.name);
        Project project;
        ProjectError error;
        ASSERT_FALSE(compileProjectJson(c.json, "plant.json", &project, &error));
        EXPECT_EQ(error.file, "plant.json");
        EXPECT_EQ(error.line, c.line);
        EXPECT_EQ(error.column, c.column);
        EXPECT_EQ(error.message, c.message);
    }
}

TEST(ScreenErrors, ErrorTextJoinsTheKnownParts) {
    EXPECT_EQ((ProjectError{"a.json", 3, 7, "bad"}).text(), "a.json:3:7: bad");
    EXPECT_EQ((ProjectError{"a.kvs", 0, 0, "bad"}).text(), "a.kvs: bad");
    EXPECT_EQ((ProjectError{"a.json", 3, 0, "bad"}).text(), "a.json:3: bad");
    EXPECT_EQ((ProjectError{"", 0, 0, "bad"}).text(), "bad");
}

TEST(ScreenErrors, ColumnsCountCharactersNotBytes) {
    // "温度" is six bytes and two characters: the class name's quote is at column 76.
    const std::string json = "{\"tags\": [{\"name\": \"温度\"}], \"windows\": [{\"number\": 1, "
                             "\"objects\": [{\"class\": \"X\"}]}]}";
    ProjectError error;
    ASSERT_FALSE(compileProjectJson(json, "f", nullptr, &error));
    EXPECT_EQ(error.message, "unknown class 'X'");
    EXPECT_EQ(error.line, 1);
    EXPECT_EQ(error.column, 76);
}

// Text damaged anywhere either still compiles or is refused with a place inside the text.
TEST(ScreenErrors, DamagedProjectFilesAreRefusedWithAPlace) {
    const std::string original =
        projecttest::readFile(projecttest::sourceDir() + "/examples/tank.json");
    ASSERT_FALSE(original.empty());
    const int lines = static_cast<int>(std::count(original.begin(), original.end(), '\n')) + 2;
    const std::string noise = "{}[],:\"\\ 0-.eE#xu\xc3";
    uint32_t state = 777;
    const auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return state >> 8;
    };
    size_t refused = 0;
    for (int round = 0; round < 400; ++round) {
        std::string text = original;
        for (int edits = 1 + static_cast<int>(next() % 3); edits > 0; --edits) {
            const size_t at = next() % text.size();
            switch (next() % 3) {
            case 0:
                text.erase(at, 1 + next() % 8);
                break;
            case 1:
                text.insert(at, 1, noise[next() % noise.size()]);
                break;
            default:
                text[at] = noise[next() % noise.size()];
                break;
            }
        }
        Project project;
        ProjectError error;
        if (!compileProjectJson(text, "tank.json", &project, &error)) {
            ++refused;
            EXPECT_FALSE(error.message.empty());
            EXPECT_GE(error.line, 1) << error.text();
            EXPECT_LE(error.line, lines) << error.text();
            EXPECT_GE(error.column, 1) << error.text();
        }
    }
    EXPECT_GT(refused, 200u);
}

} // namespace
