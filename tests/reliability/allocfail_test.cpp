// Each non-throwing allocation of a load and run failed in turn: reported or harmless, no leak.
#include "kestrovalumen/core/drawobj.h"
#include "kestrovalumen/shapes/rects.h"
#include "runtime/host/gui.h"
#include "runtime/host/logger.h"
#include "runtime/host/rtdb.h"
#include "runtime/host/rtdbhost.h"
#include "runtime/stream/writer.h"
#include "tests/support/allocations.h"
#include "tests/support/hostfixture.h"
#include "tests/support/projecttestutil.h"
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

// Rectangle (100, 100, 300, 200). The size animation clips from the bottom edge (anchor 3) to
// Level percent of the height: 40 gives (100, 160, 300, 200), 75 (100, 125, 300, 200). The
// movements span no offset. A click toggles Count (slot 7); the input takes the keyboard's "75".
const char* const kProject = R"({
  "tags": [{"name": "Level"}, {"name": "Count", "type": "int"}],
  "windows": [{"number": 1, "objects": [{
    "class": "CDrawRect", "rect": [100, 100, 300, 200], "fill": "#C0C0C0",
    "events": [{"code": 11111, "action": "Count + 1"}, {"code": 0, "action": "Level"},
               {"code": -1, "program": ""}],
    "animations": [
      {"kind": "visible", "expression": "Count > -1"},
      {"kind": "blink", "expression": "Count"},
      {"kind": "pen", "expression": "Level", "values": [50], "colors": ["#FF0000"]},
      {"kind": "brush", "expression": "Level", "values": [0, 50], "colors": ["#00FF00", "#0000FF"]},
      {"kind": "textColor", "expression": "Level", "values": [10], "colors": ["#123456"]},
      {"kind": "hmove", "expression": "Level", "maxOffset": 0},
      {"kind": "vmove", "expression": "Level", "maxOffset": 0},
      {"kind": "size", "expression": "Level", "sizeType": 3, "maxValue": 100, "maxPercent": 100,
       "sizeMode": 1},
      {"kind": "click", "flags": [0, 0, 0, 0, 0, 0, 0, 2], "params": [0, 0, 0, 0, 0, 0, 0, 1],
       "keyCode": 65, "keyFlags": 2},
      {"kind": "input", "var": "Level"},
      {"kind": "output", "expression": "Level", "outputType": 1}]}]}]
})";

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
    const std::string bytes = projecttest::compiled(kProject).windows[0].objects[0].record;
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
        const auto& logs = HostLog::instance().logs();

        if (n == 0 || n > kEvents + kAnimations) {
            // The first refresh makes nothing, the second keeps the clip of the first; clip
            // mode never moves the rectangle, and a failed allocation is not reported.
            ASSERT_TRUE(loaded);
            const std::vector<std::vector<int32_t>> expected[] = {
                {at40, at75}, {none, at75}, {at40, at40}};
            EXPECT_EQ(clips, expected[n == 0 ? 0 : n - kEvents - kAnimations]);
            EXPECT_EQ(object->m_rect, (Rect32{100, 100, 300, 200}));
            EXPECT_TRUE(HostLog::instance().monitor().empty());
            continue;
        }
        // A failed load is reported once, naming the event by its index or the animation by
        // its type (the texts and lines are the loader tests' business).
        EXPECT_FALSE(loaded);
        EXPECT_EQ(kvtest::monitorCodes(), std::vector<int>{n <= kEvents ? 1 : 2});
        ASSERT_EQ(logs.size(), 1u);
        EXPECT_EQ(logs[0].text,
                  std::to_string(n <= kEvents ? n - 1 : kAnimationTypes[n - kEvents - 1]));
        object.reset(); // a failed load may leave empty entries: the object is only destroyed
    }
}

} // namespace
