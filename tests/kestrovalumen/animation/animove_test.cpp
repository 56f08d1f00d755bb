// Movement: the centre follows the base centre plus an offset interpolated from the value.
#include "kestrovalumen/animation/anihmove.h"
#include "kestrovalumen/animation/anivmove.h"
#include "tests/kestrovalumen/animation/anitestsupport.h"

#include <cmath>
#include <limits>

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

//! Rows are written for the horizontal move; the vertical one sees the axes swapped.
Rect32 onAxis(const Rect32& r, bool vertical) {
    return vertical ? Rect32{r.top, r.left, r.bottom, r.right} : r;
}

class MoveTest : public anitest::AnimationTest {
protected:
    //! Offsets minOffset..maxOffset over the values minValue..maxValue.
    CAniObj* load(bool vertical, const Rect32& r, const kestro::MoveRecord& move) {
        const Rect32 at = onAxis(r, vertical);
        owner = std::make_unique<CDrawObj>();
        return attach<CAniObj>(*owner, anitest::Record(at.left, at.top, at.right, at.bottom),
                               {vertical ? anitest::Entry(kestro::VMoveRecord{move}, "Level")
                                         : anitest::Entry(kestro::HMoveRecord{move}, "Level")});
    }

    std::unique_ptr<CDrawObj> owner;
};

struct Step {
    double value;
    int result;
    Rect32 rect;
};

TEST_F(MoveTest, TheCentreFollowsTheValue) {
    struct Case {
        const char* what;
        Rect32 base;
        kestro::MoveRecord move;
        std::vector<Step> steps;
    };
    const double inf = std::numeric_limits<double>::infinity();
    // clang-format off
    const Case cases[] = {
        // Base centre 10, half width 10; the shift to the target centre truncates toward zero.
        {"offsets 0..100 over 0..10", {0, 0, 20, 10}, {{}, 0, 100, 0, 10},
         {{5, 1, {50, 0, 70, 10}}, {5, 0, {50, 0, 70, 10}}, {0, 1, {0, 0, 20, 10}},
          {20, 1, {200, 0, 220, 10}}, {-3, 1, {-30, 0, -10, 10}},
          {0.25, 1, {2, 0, 22, 10}},    // centre 12.5 from -20: shift 32.5 gives 32
          {0.3125, 1, {3, 0, 23, 10}},  // 13.125 from 12
          {-1.25, 1, {-12, 0, 8, 10}},  // -2.5 from 13: shift -15.5 gives -15
          {-1.125, 1, {-12, 0, 8, 10}}, // -1.25 is not the current -2, but shift 0.75 gives 0
          {std::nan(""), 0, {-12, 0, 8, 10}}}},
        {"odd width", {0, 0, 21, 10}, {{}, 0, 100, 0, 10}, {{1, 1, {10, 0, 31, 10}}}},
        {"reversed range", {0, 0, 20, 10}, {{}, 0, 100, 10, 0}, {{8, 1, {20, 0, 40, 10}}}},
        {"negative offsets", {0, 0, 20, 10}, {{}, -40, 0, 0, 10}, {{0, 1, {-40, 0, -20, 10}}}},
        {"equal values: a span of one", {0, 0, 20, 10}, {{}, 0, 100, 5, 5}, {{5.5, 1, {50, 0, 70, 10}}}},
        // The edge sum is beyond 32 bits. Against the top the target still differs from the
        // centre, so a move is reported though the guard keeps the rectangle where it is.
        {"against the top", {2147483600, 0, 2147483640, 10}, {{}, 0, 100, 0, 10},
         {{0, 0, {2147483600, 0, 2147483640, 10}}, {1, 1, {2147483607, 0, kMax, 10}},
          {2, 1, {2147483607, 0, kMax, 10}}}},
        {"against the bottom", {-2147483640, 0, -2147483600, 10}, {{}, 0, 100, 0, 10},
         {{-1, 1, {kMin, 0, -2147483608, 10}}}},
        {"wider than 32 bits", {-2000000000, 0, 2000000000, 10}, {{}, 0, 100, 0, 10},
         {{1, 1, {-1999999990, 0, 2000000010, 10}}}},
        {"infinities", {0, 0, 20, 10}, {{}, 0, 100, 0, 10},
         {{inf, 1, {2147483627, 0, kMax, 10}}, {-inf, 1, {kMin, 0, -2147483628, 10}}}},
    };
    // clang-format on
    for (bool vertical : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << c.what << (vertical ? " (vertical)" : ""));
            CAniObj* move = load(vertical, c.base, c.move);
            for (const Step& step : c.steps) {
                SCOPED_TRACE(step.value);
                if (std::isfinite(step.value)) {
                    set(level, step.value);
                } else { // the database keeps numbers only
                    kvtest::queueScriptResult(kvtest::ScriptResult::value(step.value));
                }
                EXPECT_EQ(move->Run(KV_EVENT_REFRESH), step.result);
                EXPECT_EQ(owner->m_rect, onAxis(step.rect, vertical));
            }
        }
    }
}

} // namespace
