// The .kvs container: its bytes for a small project worked out from the layout, every cut-off
// and every damaged byte refused cleanly or read back to the same bytes, each kind of damage
// named, and project files told apart from containers by content.
#include "runtime/project/projectio.h"

#include "tests/support/projecttestutil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <unistd.h>

using namespace kestro;
using projecttest::bytes;
using projecttest::hex;

namespace {

const char* const kHeader = "4b 56 53 46 01 00 00 00";

//! One tag, one strategy, one window with one object whose record is two bytes.
Project smallProject() {
    Project p;
    p.version = ProjectVersion{4, 0, 0, 0, "4"};
    p.tags.push_back(TagDef{"T", VarType::Int, 2.0, "", {}});
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

// A cut-off container is refused; a damaged byte either breaks the container, which is
// refused, or gives a project whose container is exactly the damaged bytes.
TEST(Kvs, EveryCutOffAndDamagedByteIsRefusedOrReadExactly) {
    const std::string kvs = writeKvs(smallProject());
    size_t refused = 0;
    for (size_t at = 0; at < kvs.size(); ++at) {
        Project read;
        ProjectError error;
        EXPECT_FALSE(readKvs(kvs.substr(0, at), "cut.kvs", &read, &error)) << at;
        EXPECT_EQ(error.file, "cut.kvs");
        EXPECT_EQ(error.message.rfind("offset ", 0), 0u) << error.message;
        for (unsigned char value : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
            std::string damaged = kvs;
            damaged[at] = static_cast<char>(value);
            if (readKvs(damaged, "damaged.kvs", &read, &error)) {
                EXPECT_EQ(writeKvs(read), damaged) << at;
            } else {
                ++refused;
            }
        }
    }
    EXPECT_GT(refused, kvs.size());
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
        {"format version 2", [](std::string& b) { b[4] = 2; },
         "offset 6: unknown container format version 2"},
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
        {"initial value not a number",
         [&](std::string& b) { b.replace(tags + 18, 8, bytes("00 00 00 00 00 00 f8 7f")); },
         "offset " + std::to_string(tags + 18) +
             ": tags: tag 1: the initial value is not a finite number"},
        {"initial value minus zero",
         [&](std::string& b) { b.replace(tags + 18, 8, bytes("00 00 00 00 00 00 00 80")); },
         "offset " + std::to_string(tags + 25) +
             ": the container is not in the form this host writes"},
        {"bytes after the last window", [](std::string& b) { b += "x"; },
         "offset " + std::to_string(kvs.size()) + ": 1 bytes after the last window"},
        {"strategy on an unknown tag", [&](std::string& b) { b[kvs.find("STGY") + 29] = 'U'; },
         "strategy 5: unknown tag 'U'"},
        {"start window missing", [&](std::string& b) { putU32(b, 41, 2); },
         "the start window 2 is not defined"},
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
    // Text keys out of order: the same texts, in an order the writer never produces.
    Project p;
    p.languages.push_back(LanguageDef{"en", {{"a", "1"}, {"b", "2"}}});
    std::string swapped = writeKvs(p);
    std::swap(swapped[swapped.find(bytes("01 00 00 00 61")) + 4],
              swapped[swapped.find(bytes("01 00 00 00 62")) + 4]);
    ProjectError error;
    EXPECT_FALSE(readKvs(swapped, "k.kvs", &p, &error));
    EXPECT_NE(error.message.find("not in the form this host writes"), std::string::npos);
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

} // namespace
