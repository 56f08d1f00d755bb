// Click actions: which events a click animation accepts, and the actions of its slots (run a
// strategy, open a window, print the screen, stop, set a variable, close a window), in order.
#include "kestrovalumen/animation/aniclick.h"
#include "runtime/host/gui.h"
#include "runtime/host/logger.h"
#include "runtime/host/rtdb.h"
#include "runtime/host/stgy.h"
#include "tests/kestrovalumen/animation/anitestsupport.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

using kestro::Gui;
using kestro::HostLog;
using kestro::Rtdb;
using kestro::RtdbWrite;
using kestro::Strategies;
using kestro::VarType;

namespace {

// Slot indices of the three arrays.
constexpr size_t kStrategy = 0, kOpen = 1, kClose = 2, kCapture = 4, kStop = 6, kVariable = 7;

const char* const kCaptureText = "打印当前屏幕";
const char* const kStopText = "退出运行环境";

//! Flags, parameters and texts of the eight slots, all off.
struct Slots {
    std::vector<int32_t> flags = std::vector<int32_t>(8, 0);
    std::vector<int32_t> params = std::vector<int32_t>(8, 0);
    std::vector<std::string> texts = std::vector<std::string>(8);
};

class ClickTest : public HostTest {
protected:
    //! A new owner loaded with one click animation; returns the animation.
    CAniClick& Load(const Slots& slots, int32_t keyCode = 0, int32_t keyFlags = 0) {
        kestro::ClickRecord click;
        click.texts = slots.texts;
        click.flags = slots.flags;
        click.params = slots.params;
        click.keyCode = keyCode;
        click.keyFlags = keyFlags;
        return Load(click);
    }

    CAniClick& Load(const kestro::ClickRecord& click) {
        m_owner = std::make_unique<CDrawObj>();
        kestro::ObjectRecord object = anitest::Record(0, 0, 40, 20);
        object.animations = {kestro::animationEntry(click)};
        anitest::Load(*m_owner, object);
        CAniClick* animation = anitest::Animation<CAniClick>(*m_owner);
        EXPECT_NE(animation, nullptr);
        return *animation;
    }

    CDrawObj& Owner() { return *m_owner; }

    //! True when no host action at all was taken.
    static bool NothingDone() {
        const Gui& gui = Gui::instance();
        return Strategies::instance().runs().empty() && gui.openedWindows().empty() &&
               gui.closedWindows().empty() && gui.captures().empty() && gui.stops().empty() &&
               Rtdb::instance().writes().empty() && HostLog::instance().logs().empty();
    }

private:
    std::unique_ptr<CDrawObj> m_owner;
};

// ---- accepted events ----

struct EventCase {
    int32_t first, second; // the record's two codes
    int event;
    int result;
};

TEST_F(ClickTest, EventsThatAct) {
    const EventCase cases[] = {
        // Key 0x41 with the second code 0x02: trigger code 0x0241 (577).
        {0x41, 0x02, 577, 1},
        {0x41, 0x02, 11111, 1},
        {0x41, 0x02, 65, 0},
        {0x41, 0x02, 0x10241, 0},
        {0x41, 0x02, 88888, 0},
        {0x41, 0x02, 5, 0},
        // Only the low bytes of both codes count.
        {0x141, 0x302, 577, 1},
        {65, 0, 65, 1},
        {65, 0, 66, 0},
        // Without a trigger code only the click acts.
        {0, 0, 4, 0},
        {0, 0, 5, 0},
        {0, 0, 88888, 0},
        {0, 0, 11111, 1},
        // Events of 3 and less never act, even when they equal the trigger code.
        {3, 0, 3, 0},
        {0x41, 0x02, 0, 0},
        {0x41, 0x02, 1, 0},
        {0x41, 0x02, 2, 0},
        {0x41, 0x02, 3, 0},
        {0x41, 0x02, -1, 0},
    };
    for (const EventCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.first << "/" << c.second << " event " << c.event);
        kestro::resetHost();
        Slots slots;
        slots.flags[kOpen] = 1;
        slots.params[kOpen] = 8;
        CAniClick& click = Load(slots, c.first, c.second);
        EXPECT_EQ(click.Run(c.event), c.result);
        EXPECT_EQ(Gui::instance().openedWindows(),
                  c.result ? std::vector<int>{8} : std::vector<int>{});
    }
}

TEST_F(ClickTest, AnInvisibleOwnerIgnoresClicks) {
    Slots slots;
    slots.flags[kStrategy] = 1;
    slots.flags[kOpen] = 1;
    CAniClick& click = Load(slots, 0x41, 0x02);
    Owner().SetVisible(false);
    EXPECT_EQ(click.Run(11111), 0);
    EXPECT_EQ(click.Run(577), 0);
    EXPECT_FALSE(Owner().Run(11111));
    EXPECT_TRUE(NothingDone());
    // Hidden by the blink phase only, it is still visible and acts.
    Owner().SetVisible(true);
    Owner().SetShown(false);
    EXPECT_EQ(click.Run(11111), 1);
    EXPECT_EQ(Strategies::instance().runs().size(), 1u);
}

TEST_F(ClickTest, AnAcceptedEventWithNothingOnStillReportsOne) {
    CAniClick& click = Load(Slots());
    EXPECT_EQ(click.Run(11111), 1);
    EXPECT_TRUE(Owner().Run(11111));
    // Nor do empty arrays: no texts, switches or parameters.
    EXPECT_EQ(Load(kestro::ClickRecord()).Run(11111), 1);
    EXPECT_TRUE(NothingDone());
}

// ---- all slots, in order ----

TEST_F(ClickTest, SlotsRunInTheirFixedOrder) {
    const int var = Rtdb::instance().define("Bit", VarType::Int);
    std::vector<std::string> journal;
    auto note = [&journal](const std::string& what) {
        journal.push_back(what + " after " + std::to_string(Rtdb::instance().writes().size()) +
                          " writes");
    };
    Strategies::instance().define(3, "start pump", [&] { note("strategy 3"); });
    Gui& gui = Gui::instance();
    gui.onWindowOpen = [&](int w) { note("open " + std::to_string(w)); };
    gui.onCapture = [&](const kestro::ScreenCapture&) { note("capture"); };
    gui.onStop = [&](int code) { note("stop " + std::to_string(code)); };
    gui.onWindowClose = [&](int w) { note("close " + std::to_string(w)); };

    Slots slots;
    slots.flags = {7, 9, 11, 1, 1, 1, 13, 0x100};
    slots.params = {3, 0x10005, 0x20006, 40, 41, 42, 43, var};
    slots.texts[kCapture] = kCaptureText;
    slots.texts[kStop] = kStopText;
    CAniClick& click = Load(slots);
    EXPECT_EQ(click.Run(11111), 1);

    const std::vector<std::string> expected = {
        "strategy 3 after 0 writes", "open 5 after 0 writes",  "capture after 0 writes",
        "stop 0 after 0 writes",     "close 6 after 1 writes",
    };
    EXPECT_EQ(journal, expected);
    ASSERT_EQ(Strategies::instance().runs().size(), 1u);
    EXPECT_EQ(Strategies::instance().runs()[0].argument, 0);
    ASSERT_EQ(gui.captures().size(), 1u);
    const kestro::ScreenCapture& capture = gui.captures()[0];
    EXPECT_EQ(capture.file, "");
    EXPECT_EQ(capture.title, "");
    EXPECT_EQ(capture.mode, 3);
    EXPECT_EQ(capture.x, 0);
    EXPECT_EQ(capture.y, 0);
    EXPECT_EQ(capture.width, 0);
    EXPECT_EQ(capture.height, 0);
    ASSERT_EQ(Rtdb::instance().writes().size(), 1u);
    EXPECT_EQ(Rtdb::instance().writes()[0].index, var);
    EXPECT_EQ(Rtdb::instance().writes()[0].intValue, 1);

    // One trace per logged slot: the open window shows its own switch, the others slot 0's.
    struct Line {
        const char* tag;
        const char* text;
    };
    const Line lines[] = {
        {"Caiclick stgy", "7"},
        {"Caiclick open window", "9"},
        {"Caiclick exit sys", "7"},
        {"Caniclick close window", "7"},
    };
    const auto& logs = HostLog::instance().logs();
    ASSERT_EQ(logs.size(), std::size(lines));
    const int lineNumbers[] = {121, 130, 149, 190};
    for (size_t i = 0; i < logs.size(); ++i) {
        SCOPED_TRACE(lines[i].tag);
        kvtest::expectLogLine(logs[i], {"Run", "animation\\aniclick", lineNumbers[i], 4,
                                        lines[i].tag, lines[i].text, "%d"});
    }
    EXPECT_TRUE(HostLog::instance().monitor().empty());
}

// ---- strategies and windows ----

struct ParamCase {
    int32_t param;
    std::optional<int> target; // strategy or window; none when the slot does nothing
};

TEST_F(ClickTest, StrategyNeedsANonNegativeNumber) {
    const ParamCase cases[] = {{0, 0}, {12, 12}, {0x10005, 0x10005}, {-1, {}}, {INT32_MIN, {}}};
    for (const ParamCase& c : cases) {
        SCOPED_TRACE(c.param);
        kestro::resetHost();
        Slots slots;
        slots.flags[kStrategy] = 1;
        slots.params[kStrategy] = c.param;
        EXPECT_EQ(Load(slots).Run(11111), 1);
        const auto& runs = Strategies::instance().runs();
        if (c.target) {
            ASSERT_EQ(runs.size(), 1u);
            EXPECT_EQ(runs[0].strategy, *c.target);
            EXPECT_EQ(runs[0].argument, 0);
        } else {
            EXPECT_TRUE(runs.empty());
            EXPECT_TRUE(HostLog::instance().logs().empty());
        }
    }
}

TEST_F(ClickTest, WindowsAreTheLow16BitsOfTheParameter) {
    const ParamCase cases[] = {
        {0x10005, 5}, {5, 5}, {0, 0}, {0x2FFFF, 65535}, {-1, {}}, {-2, {}}, {INT32_MIN, {}},
    };
    for (size_t slot : {kOpen, kClose}) {
        for (const ParamCase& c : cases) {
            SCOPED_TRACE(testing::Message() << "slot " << slot << " parameter " << c.param);
            kestro::resetHost();
            Slots slots;
            slots.flags[slot] = 1;
            slots.params[slot] = c.param;
            EXPECT_EQ(Load(slots).Run(11111), 1);
            const std::vector<int> expected =
                c.target ? std::vector<int>{*c.target} : std::vector<int>{};
            const Gui& gui = Gui::instance();
            EXPECT_EQ(slot == kOpen ? gui.openedWindows() : gui.closedWindows(), expected);
            EXPECT_TRUE((slot == kOpen ? gui.closedWindows() : gui.openedWindows()).empty());
            EXPECT_EQ(HostLog::instance().logs().size(), c.target ? 1u : 0u);
        }
    }
}

// ---- print and stop ----

struct TextCase {
    const char* what;
    int32_t flag;
    std::string text;
    bool acts;
    bool logs; // stop slot only
};

TEST_F(ClickTest, PrintNeedsItsSwitchAndItsText) {
    const TextCase cases[] = {
        {"switched on, the print text", 1, kCaptureText, true, false},
        {"any nonzero switch", 0x100, kCaptureText, true, false},
        {"another text", 1, "打印", false, false},
        {"the stop text", 1, kStopText, false, false},
        {"no text", 1, "", false, false},
        {"switched off", 0, kCaptureText, false, false},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.what);
        kestro::resetHost();
        Slots slots;
        slots.flags[kCapture] = c.flag;
        slots.texts[kCapture] = c.text;
        EXPECT_EQ(Load(slots).Run(11111), 1);
        EXPECT_EQ(Gui::instance().captures().size(), c.acts ? 1u : 0u);
        EXPECT_TRUE(HostLog::instance().logs().empty());
    }
}

TEST_F(ClickTest, StopNeedsItsSwitchAndItsText) {
    const TextCase cases[] = {
        {"switched on, the stop text", 1, kStopText, true, true},
        {"the other stop text is logged but stops nothing", 1, "退出运行程序", false, true},
        {"any text is logged", 1, "quit", false, true},
        {"no text: no trace either", 1, "", false, false},
        {"switched off", 0, kStopText, false, false},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.what);
        kestro::resetHost();
        Slots slots;
        slots.flags[kStrategy] = 0; // the trace shows slot 0's switch
        slots.flags[kStop] = c.flag;
        slots.texts[kStop] = c.text;
        EXPECT_EQ(Load(slots).Run(11111), 1);
        EXPECT_EQ(Gui::instance().stops(), c.acts ? std::vector<int>{0} : std::vector<int>{});
        const auto& logs = HostLog::instance().logs();
        ASSERT_EQ(logs.size(), c.logs ? 1u : 0u);
        if (c.logs) {
            EXPECT_EQ(logs[0].tag, "Caiclick exit sys");
            EXPECT_EQ(logs[0].text, "0");
        }
    }
}

// ---- set a variable ----

struct WriteExpect {
    VarType setter;
    double value;
    int result;
};

struct VariableCase {
    const char* what;
    VarType type;
    std::optional<double> preset;
    int32_t flag;
    std::vector<WriteExpect> writes;
};

TEST_F(ClickTest, SlotSevenSetsResetsAndToggles) {
    const int kOk = kestro::RtdbOk, kWrong = kestro::RtdbWrongType;
    // clang-format off
    const VariableCase cases[] = {
        {"set an integer", VarType::Int, {}, 0x100, {{VarType::Int, 1, kOk}}},
        {"set a float: the integer write is refused", VarType::Float, {}, 0x100,
         {{VarType::Int, 1, kWrong}, {VarType::Float, 1.0, kOk}}},
        {"set a string: both writes refused", VarType::String, {}, 0x100,
         {{VarType::Int, 1, kWrong}, {VarType::Float, 1.0, kWrong}}},
        {"reset an integer", VarType::Int, 1, 1, {{VarType::Int, 0, kOk}}},
        {"reset a float", VarType::Float, 2.5, 0x301,
         {{VarType::Int, 0, kWrong}, {VarType::Float, 0.0, kOk}}},
        {"toggle integer 5", VarType::Int, 5, 2, {{VarType::Int, 0, kOk}}},
        {"toggle integer 0", VarType::Int, 0, 2, {{VarType::Int, 1, kOk}}},
        {"toggle float 0.5", VarType::Float, 0.5, 2, {{VarType::Float, 0.0, kOk}}},
        {"toggle float 0", VarType::Float, 0.0, 0x202, {{VarType::Float, 1.0, kOk}}},
        {"toggle a variable without a value", VarType::Float, {}, 2, {}},
        {"other operations do nothing", VarType::Int, 0, 3, {}},
        {"0xFF does nothing", VarType::Int, 0, 0x1FF, {}},
        {"switched off", VarType::Int, 0, 0, {}},
    };
    // clang-format on
    for (const VariableCase& c : cases) {
        SCOPED_TRACE(c.what);
        kestro::resetHost();
        Rtdb& db = Rtdb::instance();
        db.define("Spare", VarType::Int); // the variable is not index 0
        const int var = db.define("V", c.type);
        if (c.preset) {
            ASSERT_EQ(c.type == VarType::Int ? db.setInt(var, static_cast<int>(*c.preset))
                                             : db.setFloat(var, *c.preset),
                      0);
        }
        db.clearWrites();
        Slots slots;
        slots.flags[kVariable] = c.flag;
        slots.params[kVariable] = var;
        EXPECT_EQ(Load(slots).Run(11111), 1);
        const std::vector<RtdbWrite>& writes = db.writes();
        ASSERT_EQ(writes.size(), c.writes.size());
        for (size_t i = 0; i < writes.size(); ++i) {
            EXPECT_EQ(writes[i].index, var);
            EXPECT_EQ(writes[i].setter, c.writes[i].setter) << i;
            if (c.writes[i].setter == VarType::Int) {
                EXPECT_EQ(writes[i].intValue, static_cast<int>(c.writes[i].value)) << i;
            } else {
                EXPECT_EQ(writes[i].floatValue, c.writes[i].value) << i;
            }
            EXPECT_EQ(writes[i].result, c.writes[i].result) << i;
        }
        EXPECT_TRUE(HostLog::instance().logs().empty());
    }
}

TEST_F(ClickTest, SlotSevenIgnoresOnlyVariableMinusOne) {
    for (int32_t param : {-1, -2}) {
        SCOPED_TRACE(param);
        kestro::resetHost();
        Slots slots;
        slots.flags[kVariable] = 0x100;
        slots.params[kVariable] = param;
        EXPECT_EQ(Load(slots).Run(11111), 1);
        const auto& writes = Rtdb::instance().writes();
        if (param == -1) {
            EXPECT_TRUE(writes.empty());
        } else {
            // No such variable: both writes are tried and refused.
            ASSERT_EQ(writes.size(), 2u);
            EXPECT_EQ(writes[0].index, -2);
            EXPECT_EQ(writes[0].setter, VarType::Int);
            EXPECT_EQ(writes[1].setter, VarType::Float);
            EXPECT_EQ(writes[1].result, kestro::RtdbUnknownVariable);
        }
    }
}

TEST_F(ClickTest, EveryClickActsAgain) {
    const int var = Rtdb::instance().define("Bit", VarType::Int);
    ASSERT_EQ(Rtdb::instance().setInt(var, 0), 0);
    Slots slots;
    slots.flags[kVariable] = 2;
    slots.params[kVariable] = var;
    CAniClick& click = Load(slots);
    for (int expected : {1, 0, 1}) {
        EXPECT_EQ(click.Run(11111), 1);
        EXPECT_EQ(Rtdb::instance().variable(var)->intValue, expected);
    }
}

// ---- records with fewer elements than slots ----

TEST_F(ClickTest, ShortArraysLeaveTheMissingSlotsOff) {
    // Variable 0 exists, so a missing parameter taken as 0 would show as a write to it.
    ASSERT_EQ(Rtdb::instance().define("Bit", VarType::Int), 0);
    Slots slots;
    slots.flags = {1, 1, 1, 1, 1, 1, 1, 0x100};
    slots.params = {3};
    slots.texts = {"", "", "", ""};
    CAniClick& click = Load(slots);
    EXPECT_EQ(click.Run(11111), 1);
    // Only the strategy has its parameter: windows and the variable have none; print and stop
    // have no text.
    ASSERT_EQ(Strategies::instance().runs().size(), 1u);
    EXPECT_EQ(Strategies::instance().runs()[0].strategy, 3);
    const Gui& gui = Gui::instance();
    EXPECT_TRUE(gui.openedWindows().empty());
    EXPECT_TRUE(gui.closedWindows().empty());
    EXPECT_TRUE(gui.captures().empty());
    EXPECT_TRUE(gui.stops().empty());
    EXPECT_TRUE(Rtdb::instance().writes().empty());
    ASSERT_EQ(HostLog::instance().logs().size(), 1u);
    EXPECT_EQ(HostLog::instance().logs()[0].tag, "Caiclick stgy");
}

TEST_F(ClickTest, ShortArraysStillRunTheSlotsTheyReach) {
    const int var = Rtdb::instance().define("Bit", VarType::Int);
    Slots slots;
    slots.flags = {0, 1, 1, 0, 1};                // up to the print slot
    slots.params = {0, 4, 6, 0, 0, 0, 0, var};    // all eight
    slots.texts = {"", "", "", "", kCaptureText}; // no stop text
    CAniClick& click = Load(slots);
    EXPECT_EQ(click.Run(11111), 1);
    const Gui& gui = Gui::instance();
    EXPECT_EQ(gui.openedWindows(), std::vector<int>{4});
    EXPECT_EQ(gui.closedWindows(), std::vector<int>{6});
    EXPECT_EQ(gui.captures().size(), 1u);
    EXPECT_TRUE(gui.stops().empty());
    EXPECT_TRUE(Rtdb::instance().writes().empty()); // slot 7's switch is missing
    EXPECT_TRUE(Strategies::instance().runs().empty());
}

} // namespace
