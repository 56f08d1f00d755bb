// Project file, container and dump: every example and odd record round-trips byte for byte.
#include "runtime/project/projectio.h"
#include "runtime/project/shapecatalog.h"
#include "runtime/project/textfields.h"

#include "runtime/stream/shaperecords.h"
#include "runtime/stream/writer.h"
#include "tests/support/projecttestutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <unistd.h>

using namespace kestro;
using projecttest::bytes;
using projecttest::compiled;
using projecttest::hex;

namespace {

//! compile(dump(project)) writes the same container; the dump of that is the same text.
void expectRoundTrip(const Project& project) {
    const std::string kvs = writeKvs(project);
    const std::string dump = dumpProjectJson(project);
    Project again;
    ProjectError error;
    ASSERT_TRUE(compileProjectJson(dump, "dump.json", &again, &error)) << error.text() << "\n"
                                                                       << dump;
    EXPECT_EQ(writeKvs(again), kvs) << dump;
    EXPECT_EQ(dumpProjectJson(again), dump);
    Project read;
    ASSERT_TRUE(readKvs(kvs, "project.kvs", &read, &error)) << error.text();
    EXPECT_EQ(dumpProjectJson(read), dump);
}

std::vector<std::string> exampleFiles() {
    std::vector<std::string> files;
    for (const auto& entry :
         std::filesystem::directory_iterator(projecttest::sourceDir() + "/examples")) {
        if (entry.path().extension() == ".json") {
            files.push_back(entry.path().string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

TEST(RoundTrip, EveryExampleProjectAndTheScreenFormatDocument) {
    uint32_t state = 12345;
    const auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return state >> 8;
    };
    const std::vector<std::string> files = exampleFiles();
    ASSERT_GE(files.size(), 5u);
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        Project project;
        ProjectError error;
        ASSERT_TRUE(loadProjectFile(file, &project, &error)) << error.text();
        expectRoundTrip(project);
        // Deterministic damage to every record: each still dumps to JSON that compiles back
        // to its very bytes.
        for (WindowDef& window : project.windows) {
            for (ObjectDef& def : window.objects) {
                std::string& record = def.record;
                if (record.empty()) {
                    continue;
                }
                const size_t at = next() % record.size();
                switch (next() % 4) {
                case 0:
                    record[at] ^= static_cast<char>(1 + next() % 255);
                    break;
                case 1:
                    record.resize(at);
                    break;
                case 2:
                    record.insert(at, 1, static_cast<char>(next()));
                    break;
                default:
                    record[at] = '\xff';
                    break;
                }
            }
        }
        expectRoundTrip(project);
    }
    const std::string doc =
        projecttest::readFile(projecttest::sourceDir() + "/docs/screen-format.md");
    const size_t start = doc.find("```json\n") + 8;
    ASSERT_NE(start, std::string::npos + 8);
    const Project project = compiled(doc.substr(start, doc.find("```\n", start) - start));
    EXPECT_GE(project.windows.at(0).objects.size(), 3u);
    expectRoundTrip(project);

    // Raw bytes that decode are dumped as fields; a name that is no UTF-8 text as its bytes;
    // a round rectangle cut short keeps its bytes.
    const std::string dump = dumpProjectJson(
        compiled(projecttest::readFile(projecttest::sourceDir() + "/examples/raw-escapes.json")));
    for (const char* part :
         {"\"name\": \"R1\"", "\"id\": 131073", "\"name\": {\"hex\": \"b1 c3 d6 c3\"}",
          "\"extraRaw\": \"15 00 00 00\""}) {
        EXPECT_NE(dump.find(part), std::string::npos) << part;
    }
}

Project projectWithRecords(const std::vector<ObjectDef>& objects) {
    Project project;
    project.version = ProjectVersion{4, 0, 0, 0, "4.0.0.0"};
    project.tags.push_back(TagDef{"T", VarType::Int, 0.0, "", {}, {}, {}});
    WindowDef window;
    window.number = 1;
    window.objects = objects;
    project.windows.push_back(window);
    project.startWindow = 1;
    return project;
}

ObjectDef object(uint32_t classNumber, std::string record) {
    ObjectDef def;
    def.classNumber = classNumber;
    def.record = std::move(record);
    return def;
}

TEST(RoundTrip, UnusualRecordsAndSources) {
    ObjectRecord base;
    base.left = 1;
    base.right = 50;
    base.bottom = 9;
    base.name = "n";
    ObjectRecord withZero = base;
    withZero.name = std::string("a\0b", 3); // a zero byte inside a text

    std::vector<ObjectDef> objects;
    objects.push_back(object(0x5004, encodeObject(withZero)));
    // A host string with a longer length prefix than needed: same text, other bytes.
    {
        std::string record = encodeObject(base);
        const size_t name = record.find(bytes("01 6e"));
        record.replace(name, 2, bytes("ff 01 00 6e"));
        objects.push_back(object(0x5004, record));
    }
    // A colour table whose limit is no number JSON can carry.
    {
        BrushRecord brush;
        brush.values = {std::numeric_limits<float>::quiet_NaN(), -0.0f, 1e-45f, 3.4e38f};
        brush.colors = {0xFF000000u};
        ObjectRecord r = base;
        r.animations = {animationEntry(brush)};
        objects.push_back(object(0x5004, encodeObject(r)));
    }
    // A value input of version 11 with flag bits the plug-in ignores.
    {
        InputRecord input;
        input.header.version = 11;
        ObjectRecord r = base;
        r.animations = {animationEntry(input)};
        std::string record = encodeObject(r);
        const size_t flags = record.find(bytes("06 30 00 00 0b 00 00 00 00")) + 9;
        record[flags] = 0x40;
        objects.push_back(object(0x5006, record));
    }
    // Hand-made objects: sources missing, sources that no expression gives, sources that are
    // no UTF-8 text, a limit source for an animation that has no limits.
    {
        VisibleRecord visible;
        visible.header.program = "\x01";
        ObjectRecord r = base;
        r.animations = {animationEntry(visible), animationEntry(visible)};
        r.events = {{11111, ""}};
        ObjectDef noSources = object(0x5004, encodeObject(r));
        objects.push_back(noSources);
        ObjectDef odd = noSources;
        odd.expressions = {"T + ", "\xff\xfe"};
        odd.eventSources = {"T"};
        odd.limitSources = {LimitSource{1, false, "T"}};
        objects.push_back(odd);
    }
    // Records cut anywhere, and an unknown class.
    {
        ObjectRecord r = base;
        r.operLogBlock = OperLogBlock{};
        r.events = {{5, "\x02\x03"}};
        OutputRecord output;
        output.onText = "on";
        r.animations = {animationEntry(output), animationEntry(VisibleRecord{})};
        r.extra = encodeFields(BalloonFields{1, 2, 3});
        const std::string full = encodeObject(r);
        for (size_t length = 0; length <= full.size(); length += 3) {
            objects.push_back(object(0x500E, full.substr(0, length)));
        }
        objects.push_back(object(0x5008, full));
        objects.push_back(object(0x500E, full + "\x7f"));
    }
    Project project = projectWithRecords(objects);
    project.windows.push_back(WindowDef{});
    project.windows.back().number = 2;
    project.startWindow = 2; // not the first window: the dump must say so
    expectRoundTrip(project);
    const std::string dump = dumpProjectJson(project);
    // The zero byte travels as an escape; the two-byte name prefix as raw bytes.
    EXPECT_NE(dump.find("\"name\": \"a\\u0000b\""), std::string::npos);
    EXPECT_NE(dump.find("\"raw\": \"0a 00 00 00 00 00 00 00 00 01 00 00 00"), std::string::npos);
}

const char* const kHeader = "4b 56 53 46 01 00 00 00";

//! One tag, one strategy, one window with one object whose record is two bytes.
Project smallProject() {
    Project p;
    p.version = ProjectVersion{4, 0, 0, 0, "4"};
    p.tags.push_back(TagDef{"T", VarType::Int, 2.0, "", {}, {}, {}});
    StrategyDef strategy;
    strategy.number = 5;
    strategy.actions.push_back(StrategyAction{StrategyAction::Kind::Toggle, "T", 0.0, ""});
    p.strategies.push_back(strategy);
    WindowDef window;
    window.number = 1;
    window.name = "W";
    window.width = 2;
    window.height = 3;
    window.background = 0x000000;
    ObjectDef object;
    object.classNumber = 0x5004;
    object.record = bytes("01 02");
    object.expressions = {"T"};
    object.limitSources = {LimitSource{0, true, ""}};
    window.objects.push_back(object);
    p.windows.push_back(window);
    p.startWindow = 1;
    return p;
}
TEST(Kvs, SmallProjectLayout) {
    const std::string kvs = writeKvs(smallProject());
    const std::string expected =
        std::string(kHeader) +
        // PROJ: 4, 0, 0, 0, "4", "", start 1, one window
        " 50 52 4f 4a 21 00 00 00 04 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"
        " 01 00 00 00 34 00 00 00 00 01 00 00 00 01 00 00 00"
        " 4c 41 4e 47 04 00 00 00 00 00 00 00"
        // TAGS: "T", int, 2.0, "", no simulation: period 10, low 0, high 100, step 1, seed 1
        " 54 41 47 53 3f 00 00 00 01 00 00 00 01 00 00 00 54 00"
        " 00 00 00 00 00 00 00 40 00 00 00 00 00"
        " 00 00 00 00 00 00 24 40 00 00 00 00 00 00 00 00"
        " 00 00 00 00 00 00 59 40 00 00 00 00 00 00 f0 3f 01 00 00 00 00 00 00 00"
        // STGY: number 5, "", one toggle of "T"
        " 53 54 47 59 22 00 00 00 01 00 00 00 05 00 00 00 00 00 00 00 01 00 00 00"
        " 01 01 00 00 00 54 00 00 00 00 00 00 00 00 00 00 00 00"
        // WNDW: 1, "W", 2 x 3, black, one object: 0x5004, "01 02", sources "T", none, one
        // limit source (animation 0, upper, "")
        " 57 4e 44 57 3d 00 00 00 01 00 00 00 01 00 00 00 57 02 00 00 00 03 00 00 00"
        " 00 00 00 00 01 00 00 00 04 50 00 00 02 00 00 00 01 02"
        " 01 00 00 00 01 00 00 00 54 00 00 00 00 01 00 00 00 00 00 00 00 01 00 00 00 00";
    EXPECT_EQ(hex(kvs), hex(bytes(expected)));
    Project read;
    ProjectError error;
    ASSERT_TRUE(readKvs(kvs, "small.kvs", &read, &error)) << error.text();
    // Records are framed, not interpreted: a record that no loader reads still loads here.
    EXPECT_EQ(read.windows.at(0).objects.at(0).className, "CDrawRect");
    EXPECT_EQ(writeKvs(read), kvs);
}

struct DamageCase {
    const char* name;
    std::function<void(std::string&)> damage;
    std::string message;
};

void putU32(std::string& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + static_cast<size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

TEST(Kvs, EachDamageIsNamed) {
    const std::string kvs = writeKvs(smallProject());
    const size_t tags = kvs.find("TAGS");
    const size_t window = kvs.find("WNDW");
    const DamageCase cases[] = {
        {"not a container", [](std::string& b) { b[0] = '{'; },
         "offset 0: not a .kvs container (the first bytes are not \"KVSF\")"},
        {"sections swapped", [&](std::string& b) { b.replace(tags, 4, "LANG"); },
         "offset " + std::to_string(tags) + ": expected the section 'TAGS' (tags)"},
        {"tag count beyond the bytes", [&](std::string& b) { putU32(b, tags + 8, 1000); },
         "offset " + std::to_string(tags + 8) +
             ": tags: the count 1000 of tags exceeds what the 59 bytes left can hold"},
        {"section longer than the file", [&](std::string& b) { putU32(b, window + 4, 4096); },
         "offset " + std::to_string(window + 4) +
             ": the length 4096 of the section 'WNDW' exceeds the 61 bytes left"},
        {"record longer than its window",
         [&](std::string& b) { putU32(b, window + 8 + 29, 0x7FFFFFFF); },
         "offset " + std::to_string(window + 8 + 29) +
             ": window 1: object 1: the length 2147483647 of the record exceeds the 28 bytes "
             "left"},
        {"unknown tag type", [&](std::string& b) { b[tags + 17] = 3; },
         "offset " + std::to_string(tags + 18) + ": tags: tag 1: unknown tag type 3"},
        {"initial value minus zero",
         [&](std::string& b) { b.replace(tags + 18, 8, bytes("00 00 00 00 00 00 00 80")); },
         "offset " + std::to_string(tags + 25) +
             ": the container is not in the form this host writes"},
        {"strategy on an unknown tag", [&](std::string& b) { b[kvs.find("STGY") + 29] = 'U'; },
         "strategy 5: unknown tag 'U'"},
    };
    for (const DamageCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string damaged = kvs;
        c.damage(damaged);
        Project read;
        ProjectError error;
        ASSERT_FALSE(readKvs(damaged, "d.kvs", &read, &error));
        EXPECT_EQ(error.file, "d.kvs");
        EXPECT_EQ(error.line, 0);
        EXPECT_EQ(error.message, c.message);
    }
}

TEST(Kvs, LoadTellsProjectFilesAndContainersApart) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("kvs_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string json = R"({"windows": [{"number": 3, "name": "Only"}]})";
    Project fromJson;
    ASSERT_TRUE(compileProjectJson(json, "x", &fromJson, nullptr));
    const std::string kvs = writeKvs(fromJson);
    std::ofstream(dir / "p.json", std::ios::binary) << json;
    std::ofstream(dir / "p.kvs", std::ios::binary) << kvs;
    std::ofstream(dir / "named.kvs", std::ios::binary) << json; // content decides
    std::ofstream(dir / "bad.kvs", std::ios::binary) << kvs.substr(0, 20);
    for (const char* name : {"p.json", "p.kvs", "named.kvs"}) {
        Project loaded;
        ProjectError error;
        ASSERT_TRUE(loadProjectFile((dir / name).string(), &loaded, &error)) << error.text();
        EXPECT_EQ(writeKvs(loaded), kvs) << name;
    }
    ProjectError error;
    Project loaded;
    EXPECT_FALSE(loadProjectFile((dir / "bad.kvs").string(), &loaded, &error));
    EXPECT_EQ(error.file, (dir / "bad.kvs").string());
    EXPECT_FALSE(loadProjectFile((dir / "missing.json").string(), &loaded, &error));
    EXPECT_EQ(error.message, "cannot open the file");
    std::filesystem::remove_all(dir);
}

// What a class's fields are when the project file leaves them out.
TEST(ShapeCatalog, DefaultsGiveTheseBytes) {
    const struct {
        const char* name;
        const char* bytes;
    } cases[] = {
        {"CDrawRoundRect", "14 00 00 00 14 00 00 00"},
        {"CDrawGuan", "04 00 00 00"},
        {"CDrawPentagon", "1e 00 00 00 00 00 00 00"},
        {"CDrawCube", "46 00 00 00 01 00 00 00 01 00 00 00"},
        {"CDrawPipe3", "00 00 0a 00 00 00 0a 00 00 00"},
        {"CDrawBalloon", "00 00 00 00 00 00 00 00 64 00 00 00"},
        {"CDrawCircle3D", "64 00 00 00 00 00 00 00"},
        {"CDrawText", "00 0c 00 00 00 84 00 00 00 00 00 00 00 00 00 00 00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ShapeClass* shape = findShapeClass(c.name);
        ASSERT_NE(shape, nullptr);
        EXPECT_EQ(hex(shape->layout->encode({})), c.bytes);
    }
}

ShapeValue number(int64_t n) {
    ShapeValue value;
    value.number = n;
    return value;
}

TEST(ShapeCatalog, DecodingGivesEveryFieldBack) {
    for (const ShapeClass& shape : shapeClasses()) {
        SCOPED_TRACE(shape.name);
        ShapeValues values;
        int64_t next = 3;
        for (const ShapeField& field : shape.layout->fields()) {
            ShapeValue value = number(next++);
            if (field.kind == ShapeFieldKind::Points) {
                value.number = 0;
                value.points = {{-1, 1}, {7, 8}, {9, 10}};
            } else if (field.kind == ShapeFieldKind::Text) {
                value.number = 0;
                value.text = "text";
            } else if (field.kind == ShapeFieldKind::OptionalUInt16) {
                value.present = false; // decoding gives the list's own length back
                value.number = 0;
            }
            values[field.name] = value;
        }
        const std::string data = shape.layout->encode(values);
        StreamReader in(data);
        ShapeValues back;
        ASSERT_TRUE(shape.layout->decode(in, &back));
        EXPECT_TRUE(in.atEnd());
        EXPECT_EQ(back, values);
    }
}

} // namespace
