// Click: the events it accepts and the actions of its slots, in their fixed order.
#include "kestrovalumen/animation/aniclick.h"
#include "runtime/host/gui.h"
#include "runtime/host/logger.h"
#include "runtime/host/rtdb.h"
#include "runtime/host/stgy.h"
#include "tests/kestrovalumen/animation/anitestsupport.h"

#include <optional>
#include <sstream>

using kestro::Gui;
using kestro::HostLog;
using kestro::Rtdb;
using kestro::Strategies;
using kestro::VarType;

namespace {

const char* const kCaptureText = "打印当前屏幕";
const char* const kStopText = "退出运行环境";

class ClickTest : public HostTest {
protected:
    CAniClick& load(const std::vector<int32_t>& flags, const std::vector<int32_t>& params,
                    const std::vector<std::string>& texts = {}, int32_t keyCode = 0,
                    int32_t keyFlags = 0) {
        kestro::ObjectRecord object = anitest::Record(0, 0, 40, 20);
        object.animations = {kestro::animationEntry(
            kestro::ClickRecord{{}, texts, flags, params, keyCode, keyFlags})};
        owner = std::make_unique<CDrawObj>();
        anitest::Load(*owner, object);
        return *static_cast<CAniClick*>(owner->AnimationAt(0));
    }

    //! What the host was asked to do, in the order of the kinds of action.
    static std::string actions() {
        std::ostringstream out;
        for (const auto& run : Strategies::instance().runs()) {
            out << "run " << run.strategy << "(" << run.argument << ") ";
        }
        const Gui& gui = Gui::instance();
        for (int w : gui.openedWindows()) {
            out << "open " << w << " ";
        }
        for (size_t i = 0; i < gui.captures().size(); ++i) {
            out << "capture ";
        }
        for (int code : gui.stops()) {
            out << "stop " << code << " ";
        }
        for (const auto& w : Rtdb::instance().writes()) {
            out << (w.setter == VarType::Int ? "int " : "float ") << w.index << "="
                << (w.setter == VarType::Int ? w.intValue : w.floatValue) << "(" << w.result
                << ") ";
        }
        for (int w : gui.closedWindows()) {
            out << "close " << w << " ";
        }
        for (const auto& log : HostLog::instance().logs()) {
            out << "[" << log.tag << " " << log.text << "] ";
        }
        return out.str();
    }

    std::unique_ptr<CDrawObj> owner;
};

TEST_F(ClickTest, SlotsRunInTheirFixedOrder) {
    const int var = Rtdb::instance().define("Bit", VarType::Int);
    std::vector<std::string> journal;
    auto note = [&journal](const std::string& what) {
        journal.push_back(what + " after " + std::to_string(Rtdb::instance().writes().size()));
    };
    Strategies::instance().define(3, "start pump", [&] { note("strategy 3"); });
    Gui& gui = Gui::instance();
    gui.onWindowOpen = [&](int w) { note("open " + std::to_string(w)); };
    gui.onCapture = [&](const kestro::ScreenCapture&) { note("capture"); };
    gui.onStop = [&](int code) { note("stop " + std::to_string(code)); };
    gui.onWindowClose = [&](int w) { note("close " + std::to_string(w)); };

    CAniClick& click =
        load({7, 9, 11, 1, 1, 1, 13, 0x100}, {3, 0x10005, 0x20006, 40, 41, 42, 43, var},
             {"", "", "", "", kCaptureText, "", kStopText});
    EXPECT_EQ(click.Run(11111), 1);
    EXPECT_EQ(journal,
              (std::vector<std::string>{"strategy 3 after 0", "open 5 after 0", "capture after 0",
                                        "stop 0 after 0", "close 6 after 1"}));
    ASSERT_EQ(gui.captures().size(), 1u);
    const kestro::ScreenCapture& capture = gui.captures()[0];
    EXPECT_EQ(capture.file + capture.title, "");
    EXPECT_EQ(capture.mode, 3);
    EXPECT_EQ(capture.x + capture.y + capture.width + capture.height, 0);
    // The open trace shows its own switch; stop and close show slot 0's.
    const auto& logs = HostLog::instance().logs();
    const kvtest::Log lines[] = {
        {"Run", "animation\\aniclick", 121, 4, "Caiclick stgy", "7", "%d"},
        {"Run", "animation\\aniclick", 130, 4, "Caiclick open window", "9", "%d"},
        {"Run", "animation\\aniclick", 149, 4, "Caiclick exit sys", "7", "%d"},
        {"Run", "animation\\aniclick", 190, 4, "Caniclick close window", "7", "%d"},
    };
    ASSERT_EQ(logs.size(), std::size(lines));
    for (size_t i = 0; i < logs.size(); ++i) {
        kvtest::expectLogLine(logs[i], lines[i]);
    }
    EXPECT_TRUE(HostLog::instance().monitor().empty());
}

TEST_F(ClickTest, EachSlotNeedsItsSwitchAndItsParameterOrText) {
    struct Case {
        const char* what;
        std::vector<int32_t> flags, params;
        std::vector<std::string> texts;
        const char* actions;
    };
    // clang-format off
    const Case cases[] = {
        {"strategy 0", {1}, {0}, {}, "run 0(0) [Caiclick stgy 1] "},
        {"strategy of a large number", {1}, {0x10005}, {}, "run 65541(0) [Caiclick stgy 1] "},
        {"strategy -1", {1}, {-1}, {}, ""},
        // Windows are the low 16 bits of the parameter.
        {"windows", {0, 1, 1}, {0, 0x10005, 0x2FFFF}, {},
         "open 5 close 65535 [Caiclick open window 1] [Caniclick close window 0] "},
        {"negative windows", {0, 1, 1}, {0, -1, -2}, {}, ""},
        {"print, another text", {0, 0, 0, 0, 1}, {}, {"", "", "", "", "打印"}, ""},
        {"stop, another text is logged only", {0, 0, 0, 0, 0, 0, 1}, {},
         {"", "", "", "", "", "", "退出运行程序"}, "[Caiclick exit sys 0] "},
        // Missing elements leave their slots off: a missing parameter 0 would write variable 0.
        {"short arrays", {1, 1, 1, 1, 1, 1, 1, 0x100}, {3}, {"", "", "", ""},
         "run 3(0) [Caiclick stgy 1] "},
        {"short flags", {0, 1, 1, 0, 1}, {0, 4, 6, 0, 0, 0, 0, 0}, {"", "", "", "", kCaptureText},
         "open 4 capture close 6 [Caiclick open window 1] [Caniclick close window 0] "},
        {"variable -1 is none", {0, 0, 0, 0, 0, 0, 0, 0x100}, {0, 0, 0, 0, 0, 0, 0, -1}, {}, ""},
        {"variable -2: no such variable (1)", {0, 0, 0, 0, 0, 0, 0, 0x100}, {0, 0, 0, 0, 0, 0, 0, -2}, {},
         "int -2=1(1) float -2=1(1) "},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        kestro::resetHost();
        ASSERT_EQ(Rtdb::instance().define("Zero", VarType::Int), 0);
        EXPECT_EQ(load(c.flags, c.params, c.texts).Run(11111), 1);
        EXPECT_EQ(actions(), c.actions);
    }
}

TEST_F(ClickTest, SlotSevenSetsResetsAndToggles) {
    struct Case {
        VarType type;
        std::optional<double> preset;
        int32_t flag;
        const char* actions; // the variable is index 1; 3: of another type
    };
    // clang-format off
    const Case cases[] = {
        {VarType::Float, {}, 0x100, "int 1=1(3) float 1=1(0) "},
        {VarType::String, {}, 0x100, "int 1=1(3) float 1=1(3) "},
        {VarType::Int, 1, 1, "int 1=0(0) "},
        {VarType::Float, 2.5, 0x301, "int 1=0(3) float 1=0(0) "},
        {VarType::Int, 5, 2, "int 1=0(0) "},
        {VarType::Float, 0.5, 2, "float 1=0(0) "},
        {VarType::Float, 0.0, 0x202, "float 1=1(0) "},
        {VarType::Float, {}, 2, ""}, // no value to toggle
        {VarType::Int, 0, 3, ""},
        {VarType::Int, 0, 0, ""},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << &c - cases);
        kestro::resetHost();
        Rtdb& db = Rtdb::instance();
        db.define("Spare", VarType::Int);
        const int var = db.define("V", c.type);
        if (c.preset) {
            ASSERT_EQ(c.type == VarType::Int ? db.setInt(var, static_cast<int>(*c.preset))
                                             : db.setFloat(var, *c.preset),
                      0);
        }
        db.clearWrites();
        EXPECT_EQ(load({0, 0, 0, 0, 0, 0, 0, c.flag}, {0, 0, 0, 0, 0, 0, 0, var}).Run(11111), 1);
        EXPECT_EQ(actions(), c.actions);
    }
}

} // namespace
