// Project file and dump: every example, whole and with damaged records, compiles, dumps, and
// compiles back to the same container bytes; so do unusual and hand-made records, which come out
// as raw bytes where their fields cannot say the same thing.
#include "runtime/project/projectio.h"

#include "runtime/stream/shaperecords.h"
#include "runtime/stream/writer.h"
#include "tests/support/projecttestutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <limits>

using namespace kestro;
using projecttest::bytes;
using projecttest::compiled;

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
    project.tags.push_back(TagDef{"T", VarType::Int, 0.0, "", {}});
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

} // namespace
