// The module's non-throwing allocations made to fail one at a time, along the load and run of an
// object with three events and every animation kind: an event handler per event record, an
// animation per entry, a clip rectangle per refresh of a size animation in clip mode. Each failure
// ends in the loader's reported false or in the owner's clip left as it was; the sanitizer build
// and valgrind check that nothing leaks on the way.
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

#include <memory>
#include <new>

namespace {

using namespace kestro;

constexpr int kEvents = 3;
// In record order, which is the order the loader creates them in.
const uint32_t kAnimationTypes[] = {kAniVisible,   kAniBlink, kAniPen,   kAniBrush,
                                    kAniTextColor, kAniHMove, kAniVMove, kAniSize,
                                    kAniClick,     kAniInput, kAniOutput};
constexpr int kAnimations = 11;
constexpr int kAllocations = kEvents + kAnimations + 2; // two refreshes, one clip each

AnimationHeader header(const std::string& source) {
    const script::CompileResult compiled = script::compile(source);
    EXPECT_TRUE(compiled.ok()) << source << ": " << compiled.error.text();
    AnimationHeader h;
    h.program.assign(compiled.bytes.begin(), compiled.bytes.end());
    return h;
}

template <typename Table>
Table colours(std::vector<float> values, std::vector<uint32_t> colors) {
    Table table;
    table.header = header("Level");
    table.values = std::move(values);
    table.colors = std::move(colors);
    return table;
}

// Rectangle (100, 100, 300, 200). The size animation clips from the bottom edge (anchor 3) to
// Level percent of the height: 40 gives (100, 160, 300, 200), 75 (100, 125, 300, 200). The
// movements span no offset. A click toggles Count (slot 7); the input takes the keyboard's "75".
std::string record() {
    ObjectRecord object;
    object.left = object.top = 100;
    object.right = 300;
    object.bottom = 200;
    object.pen = object.penWidthX = object.brush = 1;
    object.brushColor = 0xC0C0C0;
    object.name = "Tank";
    object.events = {{11111, header("Count + 1").program}, {0, header("Level").program}, {-1, ""}};
    VisibleRecord visible;
    visible.header = header("Count > -1");
    BlinkRecord blink;
    blink.header = header("Count");
    HMoveRecord hmove;
    hmove.header = header("Level");
    hmove.maxValue = 100;
    VMoveRecord vmove;
    vmove.header = header("Level");
    vmove.maxValue = 100;
    SizeRecord size;
    size.header = header("Level");
    size.sizeType = 3;
    size.maxValue = size.maxPercent = 100;
    size.sizeMode = 1;
    ClickRecord click;
    click.texts.assign(8, "");
    click.flags = {0, 0, 0, 0, 0, 0, 0, 2};
    click.params = {0, 0, 0, 0, 0, 0, 0, 1};
    click.keyCode = 0x41;
    click.keyFlags = 0x02;
    InputRecord input;
    input.inputType = 1;
    input.upper.value = 100;
    input.varId = 0;
    OutputRecord output;
    output.header = header("Level");
    output.outputType = 1;
    object.animations = {animationEntry(visible),
                         animationEntry(blink),
                         animationEntry(colours<PenRecord>({50}, {0xFF0000})),
                         animationEntry(colours<BrushRecord>({0, 50}, {0x00FF00, 0x0000FF})),
                         animationEntry(colours<TextColorRecord>({10}, {0x123456})),
                         animationEntry(hmove),
                         animationEntry(vmove),
                         animationEntry(size),
                         animationEntry(click),
                         animationEntry(input),
                         animationEntry(output)};
    return encodeObject(object);
}

//! The owner's clip rectangle, if any, then its clip flag.
std::vector<int32_t> clipOf(const CDrawObj& object) {
    if (object.m_pClipRect == nullptr) {
        return {object.m_bClip};
    }
    const Rect32& r = *object.m_pClipRect;
    return {r.left, r.top, r.right, r.bottom, object.m_bClip};
}

class AllocationFailure : public HostTest {
protected:
    void TearDown() override {
        kvtest::failNthNothrowAllocation(0);
        HostTest::TearDown();
    }
};

TEST_F(AllocationFailure, EachFailureIsReportedOrLeavesTheClipAsItWas) {
    ASSERT_EQ(Rtdb::instance().define("Level", VarType::Float), 0);
    ASSERT_EQ(Rtdb::instance().define("Count", VarType::Int), 1);
    const std::string bytes = record();
    RtdbScriptHost host;
    const std::vector<int32_t> none = {0}, at40 = {100, 160, 300, 200, 1},
                               at75 = {100, 125, 300, 200, 1};
    for (int n = 0; n <= kAllocations; ++n) {
        SCOPED_TRACE("allocation " + std::to_string(n));
        Rtdb::instance().setFloat(0, 40.0);
        Rtdb::instance().setInt(1, 1);
        Gui::instance().queueKeyboardAnswer({true, "75"});
        Gui::instance().queueSyncText("40");
        HostLog::instance().clear();

        auto object = std::make_unique<CDrawRect>();
        FF::utils::MemoryBuffer buffer(bytes.data(), bytes.size());
        kvtest::failNthNothrowAllocation(n == 0 ? kAllocations + 1 : n);
        const bool loaded = object->deserialize(&buffer);
        std::vector<std::vector<int32_t>> clips; // after each refresh
        if (loaded) {
            object->SetScriptHost(&host);
            object->SetParent(nullptr);
            for (int event : {-1, 0, 1, 2, 3, 5, 11111, 88888, 0x0241, 0}) {
                object->Run(event);
                if (event == 0) {
                    clips.push_back(clipOf(*object));
                }
            }
        }
        // With nothing failed on the way, exactly kAllocations came before this one.
        std::unique_ptr<char> probe(new (std::nothrow) char);
        kvtest::failNthNothrowAllocation(0);
        EXPECT_EQ(probe == nullptr, n == 0);
        const auto& monitor = HostLog::instance().monitor();
        const auto& logs = HostLog::instance().logs();

        if (n == 0 || n > kEvents + kAnimations) {
            // The first refresh makes nothing, the second keeps the clip of the first; clip
            // mode never moves the rectangle, and a failed allocation is not reported.
            ASSERT_TRUE(loaded);
            const std::vector<std::vector<int32_t>> expected[] = {
                {at40, at75}, {none, at75}, {at40, at40}};
            EXPECT_EQ(clips, expected[n == 0 ? 0 : n - kEvents - kAnimations]);
            EXPECT_EQ(object->m_rect, (Rect32{100, 100, 300, 200}));
            EXPECT_TRUE(monitor.empty());
            continue;
        }
        // A failed load is reported once to the monitor and once to the logger.
        EXPECT_FALSE(loaded);
        ASSERT_EQ(monitor.size(), 1u);
        ASSERT_EQ(logs.size(), 1u);
        if (n <= kEvents) {
            kvtest::expectMonitorRecord(monitor[0], 1, "Create m_arrayEvent obj is fail");
            kvtest::expectLogLine(logs[0],
                                  {"deserialize", "drawobj", 985, 1,
                                   "Drawobj Create Event is error", std::to_string(n - 1)});
        } else {
            kvtest::expectMonitorRecord(monitor[0], 2, "Create Animation obj is fail");
            kvtest::expectLogLine(logs[0], {"deserialize", "drawobj", 1020, 1,
                                            "Drawobj Create animation property is error",
                                            std::to_string(kAnimationTypes[n - kEvents - 1])});
        }
        object.reset(); // a failed load may leave empty entries: the object is only destroyed
    }
}

} // namespace
