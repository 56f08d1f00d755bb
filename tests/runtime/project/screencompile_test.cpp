// The screen compiler: records worked out by hand, tags found, mistakes placed (in characters).
#include "runtime/project/projectio.h"

#include "kestrovalumen/core/drawobj.h"
#include "runtime/host/gui.h"
#include "runtime/host/registry.h"
#include "runtime/host/rtdb.h"
#include "runtime/script/compiler.h"
#include "runtime/stream/forms.h"
#include "runtime/stream/shaperecords.h"
#include "tests/support/hostfixture.h"
#include "tests/support/projecttestutil.h"

#include <memory>

extern "C" int __plugin_init(char* buffer);
extern "C" int __plugin_cleanup();

using namespace kestro;
using projecttest::bytes;
using projecttest::compiled;
using projecttest::hex;

namespace {

//! A project with one window holding the given objects (JSON text of the array's items).
std::string windowWith(const std::string& objects, const std::string& more = "") {
    return "{" + more + "\"windows\": [{\"number\": 1, \"objects\": [" + objects + "]}]}";
}

//! The record of the only object of a one-window project.
std::string recordOf(const std::string& objects, const std::string& more = "") {
    const Project project = compiled(windowWith(objects, more));
    if (project.windows.empty() || project.windows[0].objects.empty()) {
        return "";
    }
    return project.windows[0].objects[0].record;
}

// Rows up to the name, for a record with default words, as the layout spells them.
std::string commonHead(const char* rect, const char* outline, const char* fill) {
    return std::string("0a 00 00 00 00 00 00 00 00 ") + rect + " " + outline + " " + fill +
           " 00 00 00 00";
}

const char* const kRect1234 = "01 00 00 00 02 00 00 00 03 00 00 00 04 00 00 00";
// Outline on, style 0, width 1, width y 0, black.
const char* const kDefaultOutline = "01 00 00 00 00 00 01 00 00 00 00 00 00 00 00 00 00 00";
// Fill on, style 0, white (stored 00 ff ff ff little-endian as ff ff ff 00), hatch 0.
const char* const kDefaultFill = "01 00 00 00 00 00 ff ff ff 00 00 00 00 00";
// Empty name, two zero values, no events, no animations.
const char* const kEmptyTail = "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00";

TEST(ScreenCompile, WritesTheWorkedExampleOfTheStreamFormat) {
    const std::string record = recordOf(
        R"({"class": "CDrawRect", "name": "R1", "id": 131073, "rect": [10, 20, 110, 70],
            "outline": "#FF0000", "fill": "#00FF00",
            "animations": [{"kind": "visible", "program": "01 02"}]})");
    EXPECT_EQ(hex(record),
              "0a 00 00 01 00 00 00 02 00 0a 00 00 00 14 00 00 00 6e 00 00 00 46 00 00 00 01 00 "
              "00 00 00 00 01 00 00 00 00 00 00 00 ff 00 00 00 01 00 00 00 00 00 00 ff 00 00 00 "
              "00 00 00 00 00 00 00 02 52 31 00 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 0b "
              "30 00 00 0a 02 00 00 00 01 02 00 00 00 00");
}

TEST(ScreenCompile, FriendlyDefaultsAndShorthands) {
    struct Case {
        const char* name;
        std::string object;
        std::string expected;
    };
    const Case cases[] = {
        {"everything left out", R"({"class": "CDrawRect", "rect": [1, 2, 3, 4]})",
         commonHead(kRect1234, kDefaultOutline, kDefaultFill) + " " + kEmptyTail},
        {"outline off, fill as a colour",
         R"({"class": "CDrawRect", "rect": [1, 2, 3, 4], "outline": false, "fill": "#123456"})",
         commonHead(kRect1234, "00 00 00 00 00 00 01 00 00 00 00 00 00 00 00 00 00 00",
                    "01 00 00 00 00 00 12 34 56 00 00 00 00 00") +
             " " + kEmptyTail},
        {"every outline and fill member",
         R"({"class": "CDrawRect", "rect": [1, 2, 3, 4],
             "outline": {"on": 3, "highByte": 1, "style": 5, "width": 2, "widthY": -1,
                         "color": "#0000FF"},
             "fill": {"on": true, "highByte": 2, "style": 2, "color": "#FF000000", "hatch": 4}})",
         commonHead(kRect1234, "03 01 05 00 00 00 02 00 00 00 ff ff ff ff 00 00 ff 00",
                    "01 02 02 00 00 00 00 00 00 ff 04 00 00 00") +
             " " + kEmptyTail},
        {"hexadecimal digits are the bits of a signed field",
         R"({"class": "CDrawRect", "rect": [1, 2, 3, 4],
             "outline": {"width": "0x2", "widthY": "0xFFFFFFFF"}})",
         commonHead(kRect1234, "01 00 00 00 00 00 02 00 00 00 ff ff ff ff 00 00 00 00",
                    kDefaultFill) +
             " " + kEmptyTail},
        // The pentagon's own fields follow the common record: percent 30 (its default), then
        // the direction.
        {"class fields with a default and a given one",
         R"({"class": "CDrawPentagon", "rect": [1, 2, 3, 4], "direction": 2})",
         commonHead(kRect1234, kDefaultOutline, kDefaultFill) + " " + kEmptyTail +
             " 1e 00 00 00 02 00 00 00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(hex(recordOf(c.object)), c.expected);
    }
}

TEST(ScreenCompile, WordsAndTheOperationLogBlock) {
    const std::string record = recordOf(
        R"({"class": "CDrawRect", "rect": [1, 2, 3, 4], "wordA": 16908544, "wordB": 196612,
            "operLog": {"reserved": 9, "on": 0, "text": "log.key"}, "version": 11,
            "attr": 4660, "reserved": 22136, "name": {"hex": "b1 c3"},
            "value1": "0xFFFFFFFF", "value2": 7})");
    // A = 0x01020100 (id low half 0x0102, bit 0x100 for the block); B = 0x00030004.
    EXPECT_EQ(hex(record.substr(0, 29)),
              "0b 00 01 02 01 04 00 03 00 09 00 00 00 00 00 00 00 07 6c 6f 67 2e 6b 65 79 01 00 "
              "00 00");
    // After rectangle, outline and fill: attribute 0x1234, reserved 0x5678, the name's two
    // bytes, the two values.
    EXPECT_EQ(hex(record.substr(25 + 16 + 18 + 14, 15)),
              "34 12 78 56 02 b1 c3 ff ff ff ff 07 00 00 00");
}

TEST(ScreenCompile, EventsAndCountsThatLie) {
    const std::string record = recordOf(
        R"({"class": "CDrawLine", "rect": [0, 0, 0, 0], "outline": false, "fill": false,
            "events": [{"code": 11111, "program": "01 02 03"}],
            "eventCount": 2147483647, "animationCount": -1, "rawTail": "de ad"})");
    const std::string tail = record.substr(record.size() - 21);
    EXPECT_EQ(hex(tail), "ff ff ff 7f 67 2b 00 00 03 00 00 00 01 02 03 ff ff ff ff de ad");
}

TEST(ScreenCompile, RawEscapes) {
    // A whole record replaced.
    EXPECT_EQ(hex(recordOf(R"({"class": "CDrawRect", "raw": "01 02 03"})")), "01 02 03");
    // Class fields replaced: a round rectangle cut off after its first field.
    const std::string cut =
        recordOf(R"({"class": "CDrawRoundRect", "rect": [1, 2, 3, 4], "extraRaw": "15 00 00 00"})");
    EXPECT_EQ(hex(cut), hex(bytes(commonHead(kRect1234, kDefaultOutline, kDefaultFill) + " " +
                                  kEmptyTail + " 15 00 00 00")));
    // An animation record replaced, one extended, and one under another type number.
    const std::string animations = recordOf(
        R"({"class": "CDrawRect", "rect": [1, 2, 3, 4], "animations": [
              {"kind": "brush", "raw": "0a 00 00 00 00 ff ff ff 7f"},
              {"kind": "visible", "rawTail": "ee"},
              {"kind": "visible", "type": 12300}]})");
    EXPECT_EQ(hex(animations.substr(animations.size() - 44)),
              "03 00 00 00 02 30 00 00 0a 00 00 00 00 ff ff ff 7f 0b 30 00 00 0a 00 00 00 00 00 "
              "00 00 00 ee 0c 30 00 00 0a 00 00 00 00 00 00 00 00");
}

TEST(ScreenCompile, ExpressionsUseTheProjectsTagsNotTheDatabase) {
    // The database knows a different set of variables; the project's own order counts.
    Rtdb::instance().clear();
    Rtdb::instance().define("Speed", VarType::Int);
    const Project project = compiled(windowWith(
        R"({"class": "CDrawRect", "rect": [1, 2, 3, 4],
            "animations": [{"kind": "visible", "expression": "Speed > 3"}]})",
        R"("tags": [{"name": "Level"}, {"name": "Speed", "type": "int"}],)"));
    Rtdb::instance().clear();
    ASSERT_EQ(project.windows.size(), 1u);
    const ObjectDef& object = project.windows[0].objects[0];
    EXPECT_EQ(object.expressions, std::vector<std::string>{"Speed > 3"});
    const script::CompileResult expected = script::compile(
        "Speed > 3", [](const std::string& tag) { return tag == "Speed" ? 1 : -1; });
    ASSERT_TRUE(expected.ok());
    const std::string program(expected.bytes.begin(), expected.bytes.end());
    // Header: version 10, the program's length, the program; then show type 0.
    std::string header = "\x0a";
    appendInt32(header, static_cast<int32_t>(program.size()));
    EXPECT_NE(object.record.find(header + program + std::string(4, '\0')), std::string::npos);
}

TEST(ScreenCompile, ValueInputVersionFollowsItsLimits) {
    const std::string more = R"("tags": [{"name": "A"}],)";
    const Project project = compiled(windowWith(
        R"({"class": "CDrawRect", "rect": [1, 2, 3, 4], "animations": [
              {"kind": "input", "var": "A", "upper": 5, "lower": 1},
              {"kind": "input", "var": "A", "upper": {"expression": "A"}, "lower": 1}]})",
        more));
    const ObjectDef& object = project.windows[0].objects[0];
    // Version 10 layout: type 1, three empty texts, limits 5.0 and 1.0, variable 0, no current
    // value 0, key codes 0.
    EXPECT_NE(object.record.find(bytes("06 30 00 00 0a 00 00 00 00 01 00 00 00 00 00 00 00 00 a0 "
                                       "40 00 00 80 3f 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
                                       "00 00")),
              std::string::npos);
    // Version 11 layout: flags 4 (upper limit is a program).
    EXPECT_NE(object.record.find(bytes("06 30 00 00 0b 00 00 00 00 04 00 00 00 01 00 00 00")),
              std::string::npos);
    ASSERT_EQ(object.limitSources.size(), 1u);
    EXPECT_EQ(object.limitSources[0].animation, 1);
}

TEST(ScreenCompile, OldProjectsWriteTheSourceIntoTheHeader) {
    for (const char* version : {"3.2.5.1840", "3.2.4.2000"}) {
        const std::string record = recordOf(
            R"({"class": "CDrawRect", "rect": [1, 2, 3, 4], "animations": [
                  {"kind": "visible", "program": "09", "expression": "old text"},
                  {"kind": "visible", "program": "", "headerSource": "ab"}]})",
            std::string("\"version\": \"") + version + "\",");
        EXPECT_EQ(
            hex(record.substr(record.size() - 37)),
            "0b 30 00 00 08 6f 6c 64 20 74 65 78 74 01 00 00 00 09 00 00 00 00 0b 30 00 00 02 "
            "61 62 00 00 00 00 00 00 00 00")
            << version;
    }
}

TEST(ScreenCompile, AnimationFieldsLeftOutTakeTheirDefaults) {
    // A size animation: type 0, minimum 0.0 at 0 %, maximum 100.0 at 100 %, mode 0.
    const std::string record = recordOf(
        R"({"class": "CDrawRect", "rect": [1, 2, 3, 4], "animations": [{"kind": "size"}]})");
    EXPECT_EQ(hex(record.substr(record.size() - 24)),
              "00 00 00 00 00 00 00 00 00 00 00 00 00 00 c8 42 64 00 00 00 00 00 00 00");
}

class CompiledRecordsLoad : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        char identifier[19];
        __plugin_init(identifier);
    }
    void TearDown() override {
        __plugin_cleanup();
        HostTest::TearDown();
    }
};

TEST_F(CompiledRecordsLoad, EveryClassAndAnimationKindOfTheExamples) {
    for (const char* file :
         {"all-classes.json", "animations.json", "old-header.json", "tank.json"}) {
        const Project project =
            compiled(projecttest::readFile(projecttest::sourceDir() + "/examples/" + file), file);
        Gui::instance().setProjectVersion(project.version);
        size_t loaded = 0;
        for (const WindowDef& window : project.windows) {
            for (const ObjectDef& object : window.objects) {
                if (object.classNumber == 0x6001) {
                    continue; // the host's text class is not the plug-in's
                }
                SCOPED_TRACE(std::string(file) + ": " + object.className + " " + object.name);
                std::unique_ptr<rtti::object_c> created(
                    ClassRegistry::instance().create(object.classNumber));
                auto* drawing = dynamic_cast<CDrawObj*>(created.get());
                ASSERT_NE(drawing, nullptr);
                FF::utils::MemoryBuffer buffer(object.record.data(), object.record.size());
                EXPECT_TRUE(drawing->deserialize(&buffer));
                EXPECT_EQ(buffer.position(), object.record.size());
                EXPECT_EQ(drawing->AnimationCount(), static_cast<int>(object.expressions.size()));
                ++loaded;
            }
        }
        EXPECT_GT(loaded, 0u) << file;
    }
}

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
    {"unknown class",
     "{\n  \"windows\": [{\"number\": 1, \"objects\": [\n    {\"class\": \"CDrawSquare\", "
     "\"rect\": [0, 0, 1, 1]}\n  ]}]\n}\n",
     3, 15, "unknown class 'CDrawSquare'"},
    {"text where a number belongs",
     "{\n  \"windows\": [{\"number\": 1, \"size\": [\"800\", 600]}]\n}\n", 2, 38,
     "'size[0]' must be a whole number, found a string"},
    {"unknown tag in an expression",
     "{\n  \"tags\": [{\"name\": \"Level\"}],\n  \"windows\": [{\"number\": 3, \"name\": \"Main\", "
     "\"objects\": [\n    {\"class\": \"CDrawRect\", \"name\": \"Bar\", \"rect\": [0, 0, 9, 9], "
     "\"animations\": [\n      {\"kind\": \"brush\",\n       \"expression\": \"Level > 1 && Levl < "
     "9\"}]}\n  ]}]\n}\n",
     6, 36,
     "window 3 'Main', object 1 'Bar' (CDrawRect), animation 1 (brush): unknown tag 'Levl' "
     "(expression 1:14)"},
    {"duplicate window number",
     "{\n  \"windows\": [\n    {\"number\": 4},\n    {\"number\": 4}\n  ]\n}\n", 4, 16,
     "duplicate window number 4 (the first is at line 3, column 16)"},
    {"unknown tag in a strategy",
     "{\n  \"tags\": [{\"name\": \"A\", \"type\": \"int\"}],\n  \"strategies\": [{\"number\": 1, "
     "\"actions\": [\n    {\"action\": \"set\", \"tag\": \"B\", \"value\": 1}]}]\n}\n",
     4, 30, "unknown tag 'B'"},
    {"start window not defined", "{\n  \"startWindow\": 9,\n  \"windows\": [{\"number\": 1}]\n}\n",
     2, 18, "the start window 9 is not defined"},
    {"program limit in a version 10 record",
     "{\n  \"tags\": [{\"name\": \"A\"}],\n  \"windows\": [{\"number\": 1, \"objects\": "
     "[{\"class\": \"CDrawRect\", \"rect\": [0, 0, 1, 1],\n    \"animations\": [{\"kind\": "
     "\"input\", \"var\": \"A\", \"version\": 10,\n      \"upper\": {\"expression\": "
     "\"A\"}}]}]}]\n}\n",
     5, 16, "a program limit needs a value input record of version 11"},
    {"version byte in an old header",
     "{\n  \"version\": \"3.2.5.1840\",\n  \"windows\": [{\"number\": 1, \"objects\": [{\"class\": "
     "\"CDrawRect\", \"rect\": [0, 0, 1, 1],\n    \"animations\": [{\"kind\": \"visible\", "
     "\"version\": 11}]}]}]\n}\n",
     4, 40, "the old animation header of projects before version 3.2.5.1841 has no version byte"},
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

} // namespace
