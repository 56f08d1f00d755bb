// Visibility, movement and size: the owner's show state and rectangle follow the value.
#include "kestrovalumen/animation/anihmove.h"
#include "kestrovalumen/animation/anisize.h"
#include "kestrovalumen/animation/anivisible.h"
#include "kestrovalumen/animation/anivmove.h"
#include "tests/kestrovalumen/animation/anitestsupport.h"
#include "tests/support/allocations.h"

#include <cmath>
#include <limits>

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

//! Move rows are written for the horizontal move; the vertical one sees the axes swapped.
Rect32 onAxis(const Rect32& r, bool vertical) {
    return vertical ? Rect32{r.top, r.left, r.bottom, r.right} : r;
}

class SizedOwner : public CDrawObj {
public:
    void SetRect(const int rect[4]) override {
        ++setRectCalls;
        CDrawObj::SetRect(rect);
    }
    int setRectCalls = 0;
};

struct Step {
    double value;
    int result;
    Rect32 rect;
};

class GeometryTest : public anitest::AnimationTest {
protected:
    CAniObj* load(const Rect32& r, const kestro::AnimationEntry& animation) {
        owner = std::make_unique<SizedOwner>();
        return attach<CAniObj>(*owner, anitest::Record(r.left, r.top, r.right, r.bottom),
                               {animation});
    }

    int runAt(CAniObj* animation, double value) {
        if (std::isfinite(value)) {
            set(level, value);
        } else { // the database keeps numbers only
            kvtest::queueScriptResult(kvtest::ScriptResult::value(value));
        }
        return animation->Run(KV_EVENT_REFRESH);
    }

    std::unique_ptr<SizedOwner> owner;
};

TEST_F(GeometryTest, VisibilitySetsTheUnitsDigitFromTheTruncatedValue) {
    struct Case {
        int32_t showType, stateBefore;
        double value;
        int32_t stateAfter;
        int result;
    };
    // Show type 0: visible while the value truncates to nonzero; any other: while it is 0.
    const Case cases[] = {
        {0, 11, 0.7, 10, 1},  {0, 11, -0.7, 10, 1}, {0, 11, 1.0, 11, 0}, {0, 11, -2.5, 11, 0},
        {0, 10, -1.0, 11, 1}, {0, 10, 0.99, 10, 0}, {1, 11, 0.0, 11, 0}, {1, 11, 5.0, 10, 1},
        {1, 11, -0.7, 11, 0}, {1, 10, 0.0, 11, 1},  {1, 10, 5.0, 10, 0}, {7, 11, -3.0, 10, 1},
        {-1, 10, 0.0, 11, 1}, {0, 1, 0.0, 0, 1},    {0, 0, 1.0, 1, 1},   {1, 1, 5.0, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.showType << " " << c.stateBefore << " " << c.value);
        CAniObj* visible =
            load({10, 10, 60, 40}, anitest::Entry(kestro::VisibleRecord{{}, c.showType}, "Level"));
        owner->m_nShowState = c.stateBefore;
        EXPECT_EQ(runAt(visible, c.value), c.result);
        EXPECT_EQ(owner->m_nShowState, c.stateAfter);
    }
}

// The one test that fails when a Run allocates (the benchmark counts allocations too).
TEST_F(GeometryTest, ARefreshAllocatesNothing) {
    if (!kvtest::allocationsCounted()) {
        GTEST_SKIP() << "allocation counting needs the plain allocator";
    }
    CAniObj* move =
        load({0, 0, 20, 10}, anitest::Entry(kestro::HMoveRecord{{{}, 0, 100, 0, 10}}, "Level"));
    for (double value : {0.0, 1.0, 1.0}) {
        set(level, value);
        EXPECT_EQ(kvtest::allocationsOf([&] { move->Run(KV_EVENT_REFRESH); }), 0) << value;
    }
    EXPECT_EQ(owner->m_rect, (Rect32{10, 0, 30, 10}));
}

TEST_F(GeometryTest, TheCentreFollowsTheValue) {
    struct Case {
        const char* what;
        Rect32 base;
        kestro::MoveRecord move; // offsets minOffset..maxOffset over the values minValue..maxValue
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
        // A target whose truncation is the current centre leaves the owner alone; one just
        // outside reports a move that the truncated shift may still leave in place.
        {"the band around a positive centre", {0, 0, 20, 10}, {{}, 0, 100, 0, 10},
         {{0.075, 0, {0, 0, 20, 10}}, {-0.05, 1, {0, 0, 20, 10}}}},
        {"the band around a negative centre", {-20, 0, 0, 10}, {{}, 0, 100, 0, 10},
         {{-0.05, 0, {-20, 0, 0, 10}}, {0.05, 1, {-20, 0, 0, 10}}}},
        {"the band around centre 0", {-10, 0, 10, 10}, {{}, 0, 100, 0, 10},
         {{0.09, 0, {-10, 0, 10, 10}}, {-0.09, 0, {-10, 0, 10, 10}}, {0.1, 1, {-9, 0, 11, 10}}}},
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
            CAniObj* move = load(onAxis(c.base, vertical),
                                 vertical ? anitest::Entry(kestro::VMoveRecord{c.move}, "Level")
                                          : anitest::Entry(kestro::HMoveRecord{c.move}, "Level"));
            for (const Step& step : c.steps) {
                SCOPED_TRACE(step.value);
                EXPECT_EQ(runAt(move, step.value), step.result);
                EXPECT_EQ(owner->m_rect, onAxis(step.rect, vertical));
            }
        }
    }
}

TEST_F(GeometryTest, ResizeFollowsTheValue) {
    struct Case {
        const char* what;
        Rect32 base;
        kestro::SizeRecord setup; // anchor, min value and percent, max value and percent, mode
        std::vector<Step> steps;
    };
    // clang-format off
    const Case cases[] = {
        // Base 100 x 50 at 50 %: w 50, h 25 around the centre (50, 25), half sizes 25 and 12.
        {"centre", {0, 0, 100, 50}, {{}, 0, 0, 0, 100, 100, 0}, {{50, 1, {25, 13, 75, 37}}}},
        {"horizontal centre", {0, 0, 100, 50}, {{}, 1, 0, 0, 100, 100, 0}, {{50, 1, {25, 0, 75, 50}}}},
        {"vertical centre", {0, 0, 100, 50}, {{}, 2, 0, 0, 100, 100, 0}, {{50, 1, {0, 13, 100, 37}}}},
        {"bottom edge", {0, 0, 100, 50}, {{}, 3, 0, 0, 100, 100, 0}, {{50, 1, {0, 25, 100, 50}}}},
        {"top edge", {0, 0, 100, 50}, {{}, 4, 0, 0, 100, 100, 0}, {{50, 1, {0, 0, 100, 25}}}},
        {"right edge", {0, 0, 100, 50}, {{}, 5, 0, 0, 100, 100, 0}, {{50, 1, {50, 0, 100, 50}}}},
        {"no anchor", {0, 0, 100, 50}, {{}, 7, 0, 0, 100, 100, 0}, {{50, 0, {0, 0, 100, 50}}}},
        // Width 102 at 50 %: w 51, half 25, so 50 wide around the centre 51.
        {"odd size", {0, 0, 102, 50}, {{}, 1, 0, 0, 100, 100, 0}, {{50, 1, {26, 0, 76, 50}}}},
        // The edge sum passes 32 bits; the centre 2147483597 does not.
        {"top of the range", {2147483547, 0, 2147483647, 50}, {{}, 1, 0, 0, 100, 100, 0},
         {{50, 1, {2147483572, 0, 2147483622, 50}}}},
        {"left edge, clamped and truncated", {0, 0, 100, 50}, {{}, 6, 0, 0, 100, 100, 0},
         {{50, 1, {0, 0, 50, 50}}, {50, 0, {0, 0, 50, 50}}, {150, 1, {0, 0, 100, 50}},
          {-20, 1, {0, 0, 0, 50}}, {33.9, 1, {0, 0, 33, 50}}, {33.2, 0, {0, 0, 33, 50}}}},
        // Value 1 of 0..3: 33 %, w 33, h 16.5 rounds to 17; value 2: 66 %, w 66, h 33.
        {"sizes round", {0, 0, 100, 50}, {{}, 0, 0, 0, 3, 100, 0},
         {{1, 1, {34, 17, 66, 33}}, {2, 1, {17, 9, 83, 41}}}},
        // 7 * (61 / 7) is 60.99999999999999, where 7 * 61 / 7 would give 61.
        {"per unit first", {0, 0, 100, 50}, {{}, 6, 0, 0, 7, 61, 0}, {{7, 1, {0, 0, 60, 50}}}},
        // -50..100 %: -50 and -20 give 0 %; 50 gives 25 %, w 25, h 12.5 rounds to 13.
        {"negative percentage", {0, 0, 100, 50}, {{}, 0, 0, -50, 100, 100, 0},
         {{0, 1, {50, 25, 50, 25}}, {20, 0, {50, 25, 50, 25}}, {50, 1, {38, 19, 62, 31}}}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CAniObj* size = load(c.base, anitest::Entry(c.setup, "Level"));
        int calls = 0;
        for (const Step& step : c.steps) {
            SCOPED_TRACE(step.value);
            EXPECT_EQ(runAt(size, step.value), step.result);
            EXPECT_EQ(owner->m_rect, step.rect);
            EXPECT_EQ(owner->setRectCalls, calls += step.result);
        }
        EXPECT_EQ(owner->m_pClipRect, nullptr);
    }
}

} // namespace
