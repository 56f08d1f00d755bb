// Allocation failure along a realistic load and run. The module allocates without throwing in
// three places: one event handler per event record, one animation per animation entry, one clip
// rectangle per refresh of a size animation in clip mode. An object with three events and every
// animation kind is loaded and run with every event code, once for every n, with the n-th of
// those allocations failing. Each failure must end in the reported false of the loader, or in
// the size animation leaving the owner's clip as it was; the sanitizer build and valgrind check
// that nothing leaks on the way.
#include "kestrovalumen/core/drawobj.h"
#include "kestrovalumen/shapes/rects.h"
#include "runtime/host/gui.h"
#include "runtime/host/logger.h"
#include "runtime/host/rtdb.h"
#include "runtime/host/rtdbhost.h"
#include "runtime/script/compiler.h"
#include "runtime/stream/writer.h"
#include "tests/support/allocations.h"
#include "tests/support/hostfixture.h"
#include "tests/support/reports.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

namespace {

using kestro::HostLog;

constexpr int kEvents = 3;
// Record order of the animation entries; the loader creates them in this order.
constexpr int kAnimations = 11;
const std::array<uint32_t, kAnimations> kAnimationTypes = {
    kestro::kAniVisible,   kestro::kAniBlink, kestro::kAniPen,    kestro::kAniBrush,
    kestro::kAniTextColor, kestro::kAniHMove, kestro::kAniVMove,  kestro::kAniSize,
    kestro::kAniClick,     kestro::kAniInput, kestro::kAniOutput,
};
// Two refreshes, each making one clip rectangle.
constexpr int kClipAllocations = 2;
constexpr int kAllocations = kEvents + kAnimations + kClipAllocations;

std::string program(const std::string& source) {
    const kestro::script::CompileResult compiled = kestro::script::compile(source);
    EXPECT_TRUE(compiled.ok()) << source << ": " << compiled.error.text();
    return std::string(compiled.bytes.begin(), compiled.bytes.end());
}

// Rectangle (100, 100, 300, 200). The size animation clips from the bottom edge (anchor 3) to
// Level percent of the height: Level 40 gives (100, 160, 300, 200), Level 75 (100, 125, 300,
// 200). The movements span no offset, so the rectangle itself stays. A click toggles Count
// (slot 7) and its value input (numeric, on Level) takes the keyboard's "75".
std::string record() {
    using namespace kestro;
    ObjectRecord object;
    object.left = 100;
    object.top = 100;
    object.right = 300;
    object.bottom = 200;
    object.pen = 1;
    object.penWidthX = 1;
    object.brush = 1;
    object.brushColor = 0xC0C0C0;
    object.name = "Tank";
    object.events = {{11111, program("Count + 1")}, {0, program("Level")}, {-1, ""}};

    auto header = [](const std::string& source) {
        AnimationHeader h;
        h.program = source.empty() ? std::string() : program(source);
        return h;
    };
    VisibleRecord visible;
    visible.header = header("Count > -1");
    BlinkRecord blink;
    blink.header = header("Count");
    PenRecord pen;
    pen.header = header("Level");
    pen.values = {50};
    pen.colors = {0xFF0000};
    BrushRecord brush;
    brush.header = header("Level");
    brush.values = {0, 50};
    brush.colors = {0x00FF00, 0x0000FF};
    TextColorRecord textColor;
    textColor.header = header("Level");
    textColor.values = {10};
    textColor.colors = {0x123456};
    HMoveRecord hmove;
    hmove.header = header("Level");
    hmove.maxValue = 100;
    VMoveRecord vmove;
    vmove.header = header("Level");
    vmove.maxValue = 100;
    SizeRecord size;
    size.header = header("Level");
    size.sizeType = 3;
    size.maxValue = 100;
    size.maxPercent = 100;
    size.sizeMode = 1;
    ClickRecord click;
    click.header = header("");
    click.texts = {"", "", "", "", "", "", "", ""};
    click.flags = {0, 0, 0, 0, 0, 0, 0, 2};
    click.params = {0, 0, 0, 0, 0, 0, 0, 1};
    click.keyCode = 0x41;
    click.keyFlags = 0x02;
    InputRecord input;
    input.header = header("");
    input.inputType = 1;
    input.prompt = "Level";
    input.upper.value = 100;
    input.lower.value = 0;
    input.varId = 0;
    OutputRecord output;
    output.header = header("Level");
    output.outputType = 1;
    object.animations = {
        animationEntry(visible), animationEntry(blink),     animationEntry(pen),
        animationEntry(brush),   animationEntry(textColor), animationEntry(hmove),
        animationEntry(vmove),   animationEntry(size),      animationEntry(click),
        animationEntry(input),   animationEntry(output),
    };
    return encodeObject(object);
}

struct ClipState {
    bool held = false; //!< the owner holds a clip rectangle
    Rect32 rect;
    int32_t on = 0;

    bool operator==(const ClipState& o) const {
        return held == o.held && on == o.on && (!held || rect == o.rect);
    }
};

ClipState clipOf(const CDrawObj& object) {
    ClipState state;
    state.held = object.m_pClipRect != nullptr;
    if (state.held) {
        state.rect = *object.m_pClipRect;
    }
    state.on = object.m_bClip;
    return state;
}

ClipState clip(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    ClipState state;
    state.held = true;
    state.rect.left = left;
    state.rect.top = top;
    state.rect.right = right;
    state.rect.bottom = bottom;
    state.on = 1;
    return state;
}

std::ostream& operator<<(std::ostream& out, const ClipState& state) {
    if (!state.held) {
        return out << "no clip (flag " << state.on << ")";
    }
    return out << "clip (" << state.rect.left << ", " << state.rect.top << ", " << state.rect.right
               << ", " << state.rect.bottom << ") flag " << state.on;
}

struct Outcome {
    bool loaded = false;
    std::vector<ClipState> clipAfterRefresh; //!< after each Run(0)
    Rect32 rect;
    std::vector<kestro::MonitorRecord> monitor;
    std::vector<kestro::LogRecord> logs;
    bool probeFailed = false; //!< the allocation right after the scenario failed
};

class AllocationFailure : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        kestro::Rtdb& db = kestro::Rtdb::instance();
        ASSERT_EQ(db.define("Level", kestro::VarType::Float), 0);
        ASSERT_EQ(db.define("Count", kestro::VarType::Int), 1);
        db.setFloat(0, 40.0);
        db.setInt(1, 1);
        bytes = record();
    }

    void TearDown() override {
        kvtest::failNthNothrowAllocation(0);
        HostTest::TearDown();
    }

    //! Loads and runs a fresh object with the n-th non-throwing allocation failing (0: none).
    Outcome scenario(int n) {
        kestro::Rtdb::instance().setFloat(0, 40.0);
        kestro::Rtdb::instance().setInt(1, 1);
        kestro::Gui::instance().queueKeyboardAnswer({true, "75"});
        kestro::Gui::instance().queueSyncText("40");
        HostLog::instance().clear();

        Outcome outcome;
        auto object = std::make_unique<CDrawRect>();
        FF::utils::MemoryBuffer buffer(bytes.data(), bytes.size());
        kvtest::failNthNothrowAllocation(n == 0 ? kAllocations + 1 : n);
        outcome.loaded = object->deserialize(&buffer);
        if (outcome.loaded) {
            object->SetScriptHost(&host);
            object->SetParent(nullptr);
            for (int event : {-1, 0, 1, 2, 3, 5, 11111, 88888, 0x0241, 0}) {
                object->Run(event);
                if (event == 0) {
                    outcome.clipAfterRefresh.push_back(clipOf(*object));
                }
            }
        }
        // With nothing failed on the way, exactly kAllocations came before this one.
        std::unique_ptr<char> probe(new (std::nothrow) char);
        outcome.probeFailed = probe == nullptr;
        kvtest::failNthNothrowAllocation(0);

        outcome.rect = object->m_rect;
        outcome.monitor = HostLog::instance().monitor();
        outcome.logs = HostLog::instance().logs();
        object.reset(); // a failed load may leave empty entries: the object is only destroyed
        return outcome;
    }

    std::string bytes;
    kestro::RtdbScriptHost host;
};

TEST_F(AllocationFailure, NothingFailsWithoutTheSwitch) {
    const Outcome outcome = scenario(0);
    ASSERT_TRUE(outcome.loaded);
    EXPECT_TRUE(outcome.probeFailed) << "the scenario made another number of non-throwing "
                                        "allocations than "
                                     << kAllocations;
    ASSERT_EQ(outcome.clipAfterRefresh.size(), 2u);
    EXPECT_EQ(outcome.clipAfterRefresh[0], clip(100, 160, 300, 200));
    EXPECT_EQ(outcome.clipAfterRefresh[1], clip(100, 125, 300, 200));
    EXPECT_TRUE(outcome.monitor.empty());
}

// A failed load is reported once to the monitor and once to the logger, and the scenario made
// no allocation after it.
void expectFailedLoad(const Outcome& outcome, int code, const std::string& message,
                      const kvtest::Log& log) {
    EXPECT_FALSE(outcome.loaded);
    EXPECT_FALSE(outcome.probeFailed);
    ASSERT_EQ(outcome.monitor.size(), 1u);
    kvtest::expectMonitorRecord(outcome.monitor[0], code, message);
    ASSERT_EQ(outcome.logs.size(), 1u);
    kvtest::expectLogLine(outcome.logs[0], log);
}

TEST_F(AllocationFailure, EventHandlerFailsTheLoadWithItsReport) {
    for (int i = 0; i < kEvents; ++i) {
        SCOPED_TRACE("event " + std::to_string(i));
        expectFailedLoad(
            scenario(i + 1), 1, "Create m_arrayEvent obj is fail",
            {"deserialize", "drawobj", 985, 1, "Drawobj Create Event is error", std::to_string(i)});
    }
}

TEST_F(AllocationFailure, AnimationFailsTheLoadWithItsReport) {
    for (int i = 0; i < kAnimations; ++i) {
        SCOPED_TRACE("animation " + std::to_string(i));
        expectFailedLoad(scenario(kEvents + i + 1), 2, "Create Animation obj is fail",
                         {"deserialize", "drawobj", 1020, 1,
                          "Drawobj Create animation property is error",
                          std::to_string(kAnimationTypes[static_cast<size_t>(i)])});
    }
}

TEST_F(AllocationFailure, ClipRectangleLeavesTheOwnerAsItWas) {
    struct Case {
        const char* name;
        int n;
        ClipState first, second; // after the first and the second refresh
    };
    const int first = kEvents + kAnimations + 1;
    const Case cases[] = {
        // The first refresh makes nothing; the second clips to Level 75 as usual.
        {"first refresh", first, ClipState{}, clip(100, 125, 300, 200)},
        // The second refresh keeps the clip of the first.
        {"second refresh", first + 1, clip(100, 160, 300, 200), clip(100, 160, 300, 200)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome outcome = scenario(c.n);
        ASSERT_TRUE(outcome.loaded);
        EXPECT_FALSE(outcome.probeFailed);
        ASSERT_EQ(outcome.clipAfterRefresh.size(), 2u);
        EXPECT_EQ(outcome.clipAfterRefresh[0], c.first);
        EXPECT_EQ(outcome.clipAfterRefresh[1], c.second);
        // Clip mode never moves the rectangle, and a failed allocation is not reported.
        EXPECT_EQ(outcome.rect.left, 100);
        EXPECT_EQ(outcome.rect.top, 100);
        EXPECT_EQ(outcome.rect.right, 300);
        EXPECT_EQ(outcome.rect.bottom, 200);
        EXPECT_TRUE(outcome.monitor.empty());
    }
}

} // namespace
