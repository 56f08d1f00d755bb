// Horizontal and vertical movement: the owner's centre follows the base centre plus an offset
// interpolated from the value, without clamping, kept inside the 32-bit range.
#include "kestrovalumen/animation/anihmove.h"
#include "kestrovalumen/animation/anivmove.h"
#include "tests/kestrovalumen/animation/anitestsupport.h"

#include <cmath>
#include <limits>

namespace {

using kestro::HostLog;
using kvtest::ScriptResult;

template <class Record>
kestro::AnimationEntry Move(int32_t minOffset, int32_t maxOffset, float minValue, float maxValue) {
    Record record;
    record.header.program = anitest::Program("Level");
    record.minOffset = minOffset;
    record.maxOffset = maxOffset;
    record.minValue = minValue;
    record.maxValue = maxValue;
    return kestro::animationEntry(record);
}

const auto H = Move<kestro::HMoveRecord>;
const auto V = Move<kestro::VMoveRecord>;

class MoveTest : public anitest::AnimationTest {
protected:
    void SetUp() override {
        AnimationTest::SetUp();
        level = define("Level", kestro::VarType::Float);
    }

    //! Loads target with the rectangle and the given animations.
    void loadInto(CDrawObj& target, const Rect32& r,
                  const std::vector<kestro::AnimationEntry>& animations) {
        attach<CAniObj>(target, anitest::Record(r.left, r.top, r.right, r.bottom), animations);
    }

    template <class T>
    T& move(const CDrawObj& of) {
        T* animation = anitest::Animation<T>(of);
        EXPECT_NE(animation, nullptr);
        return *animation;
    }
    CAniHMove& h() { return move<CAniHMove>(owner); }
    CAniVMove& v() { return move<CAniVMove>(owner); }

    int runAt(CAniObj& animation, double value) {
        // The database keeps finite numbers only; other values come straight from the engine.
        if (std::isfinite(value)) {
            set(level, value);
        } else {
            kvtest::queueScriptResult(ScriptResult::value(value));
        }
        return animation.Run(KV_EVENT_REFRESH);
    }

    struct Step {
        const char* what;
        double value;
        int result;
        Rect32 rect;
    };

    template <size_t N>
    void runSteps(CAniObj& animation, const Step (&steps)[N]) {
        for (const Step& step : steps) {
            SCOPED_TRACE(step.what);
            EXPECT_EQ(runAt(animation, step.value), step.result);
            EXPECT_EQ(owner.m_rect, step.rect);
        }
    }

    CDrawObj owner;
    int level = -1;
};

// ---- horizontal ----

TEST_F(MoveTest, HorizontalFollowsTheValueAndExtrapolates) {
    // Offsets 0..100 over values 0..10, owner (0, 0, 20, 10): base centre 10, half width 10.
    loadInto(owner, {0, 0, 20, 10}, {H(0, 100, 0.0f, 10.0f)});
    EXPECT_EQ(h().m_nBaseCenter, 10);
    runSteps(h(),
             {
                 {"half way: centre 60", 5, 1, {50, 0, 70, 10}},
                 {"the same value again changes nothing", 5, 0, {50, 0, 70, 10}},
                 {"the minimum puts it back", 0, 1, {0, 0, 20, 10}},
                 {"beyond the maximum extrapolates", 20, 1, {200, 0, 220, 10}},
                 {"below the minimum extrapolates", -3, 1, {-30, 0, -10, 10}},
                 // Centre 12.5 from -20: the shift 32.5 truncates to 32.
                 {"a half pixel truncates", 0.25, 1, {2, 0, 22, 10}},
                 {"centre 13.75 from 12 moves one pixel", 0.375, 1, {3, 0, 23, 10}},
                 {"centre 13.125 truncates to the current 13", 0.3125, 0, {3, 0, 23, 10}},
                 // Centre -2.5 from 13: the shift -15.5 truncates toward zero, to -15.
                 {"negative targets truncate toward zero", -1.25, 1, {-12, 0, 8, 10}},
                 // Centre -1.25 truncates to -1, not the current -2, yet the shift 0.75
                 // truncates to 0.
                 {"a target within a pixel reports a move without one", -1.125, 1, {-12, 0, 8, 10}},
             });

    // (0, 0, 21, 10): centre 10, half width 10; the width stays 21.
    CDrawObj odd;
    loadInto(odd, {0, 0, 21, 10}, {H(0, 100, 0.0f, 10.0f)});
    EXPECT_EQ(runAt(move<CAniHMove>(odd), 1), 1);
    EXPECT_EQ(odd.m_rect, (Rect32{10, 0, 31, 10}));
}

TEST_F(MoveTest, ReversedRangeMovesTheOtherWay) {
    // Values 10..0 map to offsets 0..100: a rising value moves left (horizontal) or up.
    loadInto(owner, {0, 0, 20, 10}, {H(0, 100, 10.0f, 0.0f), V(0, 100, 10.0f, 0.0f)});
    EXPECT_EQ(h().m_dMaxValue, 0.0);
    set(level, 8);
    EXPECT_EQ(owner.Run(KV_EVENT_REFRESH), true);
    EXPECT_EQ(owner.m_rect, (Rect32{20, 20, 40, 30}));
    set(level, 9);
    EXPECT_EQ(h().Run(KV_EVENT_REFRESH), 1);
    EXPECT_EQ(v().Run(KV_EVENT_REFRESH), 1);
    EXPECT_EQ(owner.m_rect, (Rect32{10, 10, 30, 20}));
}

TEST_F(MoveTest, EqualValuesInTheRecordGiveASpanOfOne) {
    // min = max = 5: the horizontal move takes max = min + 1, the vertical one max + 1; both 6.
    loadInto(owner, {0, 0, 20, 10}, {H(0, 100, 5.0f, 5.0f), V(0, 40, 5.0f, 5.0f)});
    EXPECT_EQ(h().m_dMaxValue, 6.0);
    EXPECT_EQ(v().m_dMaxValue, 6.0);
    set(level, 5.5);
    EXPECT_EQ(h().Run(KV_EVENT_REFRESH), 1);
    EXPECT_EQ(v().Run(KV_EVENT_REFRESH), 1);
    EXPECT_EQ(owner.m_rect, (Rect32{50, 20, 70, 30}));
    set(level, 6);
    EXPECT_EQ(owner.Run(KV_EVENT_REFRESH), true);
    EXPECT_EQ(owner.m_rect, (Rect32{100, 40, 120, 50}));
}

TEST_F(MoveTest, AnEmptyRangeAtRunTimeUsesTheMinimumOffset) {
    loadInto(owner, {0, 0, 20, 10}, {H(7, 100, 2.0f, 4.0f), V(-3, 100, 2.0f, 4.0f)});
    // Exactly equal, and equal within the tolerance 1e-6: no division by the tiny span.
    for (double max : {2.0, 2.0 + 5e-7}) {
        SCOPED_TRACE(max);
        owner.m_rect = {0, 0, 20, 10};
        h().m_dMaxValue = max;
        v().m_dMaxValue = max;
        for (double value : {1000.0, -3.0}) {
            set(level, value);
            owner.Run(KV_EVENT_REFRESH);
            EXPECT_EQ(owner.m_rect, (Rect32{7, -3, 27, 7})) << value;
        }
    }
}

// ---- vertical ----

TEST_F(MoveTest, VerticalPositiveOffsetsMoveDownNegativeOnesUp) {
    loadInto(owner, {0, 0, 10, 20}, {V(0, 100, 0.0f, 10.0f)});
    EXPECT_EQ(v().m_nBaseCenter, 10);
    runSteps(v(), {
                      {"half way: centre 60", 5, 1, {0, 50, 10, 70}},
                      {"the same value again changes nothing", 5, 0, {0, 50, 10, 70}},
                      {"the minimum puts it back", 0, 1, {0, 0, 10, 20}},
                      {"beyond the maximum extrapolates", 20, 1, {0, 200, 10, 220}},
                      {"below the minimum extrapolates", -3, 1, {0, -30, 10, -10}},
                      // Centre -2.5 from -20: the shift 17.5 truncates to 17.
                      {"a half pixel truncates", -1.25, 1, {0, -13, 10, 7}},
                  });

    CDrawObj up;
    loadInto(up, {0, 0, 10, 20}, {V(-40, 0, 0.0f, 10.0f)});
    EXPECT_EQ(runAt(move<CAniVMove>(up), 0), 1);
    EXPECT_EQ(up.m_rect, (Rect32{0, -40, 10, -20}));
    EXPECT_EQ(runAt(move<CAniVMove>(up), 10), 1);
    EXPECT_EQ(up.m_rect, (Rect32{0, 0, 10, 20}));
}

TEST_F(MoveTest, HorizontalMultipliesFirstVerticalDividesFirst) {
    // Offsets 0..61 over 0..7 at the value 7: 7 * 61 / 7 is exactly 61, while 61 / 7 * 7 is
    // 60.99999999999999 and truncates to 60. Both owners are centred on 0.
    loadInto(owner, {-5, -5, 5, 5}, {H(0, 61, 0.0f, 7.0f), V(0, 61, 0.0f, 7.0f)});
    set(level, 7);
    EXPECT_EQ(owner.Run(KV_EVENT_REFRESH), true);
    EXPECT_EQ(owner.m_rect, (Rect32{56, 55, 66, 65}));
}

// ---- the ends of the 32-bit range ----

struct RangeCase {
    const char* what;
    int32_t low, high; // the edge pair of the moving axis at attach
    int32_t baseCenter;
    double value; // offsets 0..100 over values 0..10: offset = 10 * value
    int result;
    int32_t newLow, newHigh;
};

TEST_F(MoveTest, CentresAndMovesNearTheEndsOfTheRange) {
    const int32_t kMax = std::numeric_limits<int32_t>::max();
    const int32_t kMin = std::numeric_limits<int32_t>::min();
    const double inf = std::numeric_limits<double>::infinity();
    const RangeCase cases[] = {
        // The sum of the edges is beyond 32 bits; the centre is not.
        {"at the base", 2147483600, 2147483640, 2147483620, 0, 0, 2147483600, 2147483640},
        // Target 2147483630 + half 20 passes the top: the target becomes kMax - 20.
        {"pushed against the top", 2147483600, 2147483640, 2147483620, 1, 1, 2147483607, kMax},
        // Target -2147483630 - half 20 passes the bottom: it becomes 20 - 2^31.
        {"pushed against the bottom", -2147483640, -2147483600, -2147483620, -1, 1, kMin,
         -2147483608},
        // Width 4e9 does not fit in 32 bits; the half width 2e9 is still right.
        {"wider than 32 bits", -2000000000, 2000000000, 0, 1, 1, -1999999990, 2000000010},
        {"infinity goes to the top", 0, 20, 10, inf, 1, 2147483627, kMax},
        {"minus infinity goes to the bottom", 0, 20, 10, -inf, 1, kMin, -2147483628},
    };
    for (const RangeCase& c : cases) {
        SCOPED_TRACE(c.what);
        CDrawObj horizontal;
        loadInto(horizontal, {c.low, 0, c.high, 10}, {H(0, 100, 0, 10)});
        CAniHMove& hm = move<CAniHMove>(horizontal);
        EXPECT_EQ(hm.m_nBaseCenter, c.baseCenter);
        EXPECT_EQ(runAt(hm, c.value), c.result);
        EXPECT_EQ(horizontal.m_rect, (Rect32{c.newLow, 0, c.newHigh, 10}));

        CDrawObj vertical;
        loadInto(vertical, {0, c.low, 10, c.high}, {V(0, 100, 0, 10)});
        CAniVMove& vm = move<CAniVMove>(vertical);
        EXPECT_EQ(vm.m_nBaseCenter, c.baseCenter);
        EXPECT_EQ(runAt(vm, c.value), c.result);
        EXPECT_EQ(vertical.m_rect, (Rect32{0, c.newLow, 10, c.newHigh}));
    }
}

TEST_F(MoveTest, TheRangeGuardComesAfterTheCentreTest) {
    // At the top already (centre 2147483627): the target 2147483640 differs from the centre,
    // so the run reports a move, although the guard brings the target back to where it is.
    loadInto(owner, {2147483600, 0, 2147483640, 10}, {H(0, 100, 0.0f, 10.0f)});
    ASSERT_EQ(runAt(h(), 1), 1);
    EXPECT_EQ(runAt(h(), 2), 1);
    EXPECT_EQ(owner.m_rect, (Rect32{2147483607, 0, 2147483647, 10}));
}

TEST_F(MoveTest, ANonNumberLeavesTheOwnerAlone) {
    loadInto(owner, {0, 0, 20, 10}, {H(0, 100, 0.0f, 10.0f), V(0, 100, 0.0f, 10.0f)});
    kvtest::queueScriptResult(ScriptResult::value(std::nan("")));
    kvtest::queueScriptResult(ScriptResult::value(std::nan("")));
    EXPECT_FALSE(owner.Run(KV_EVENT_REFRESH));
    EXPECT_EQ(owner.m_rect, (Rect32{0, 0, 20, 10}));
}

// ---- attaching and state ----

TEST_F(MoveTest, InitObjCapturesTheCentreAndMarksTheOwner) {
    EXPECT_EQ(owner.m_bAnimated, 0);
    loadInto(owner, {0, 3, 20, 18}, {H(0, 100, 0.0f, 10.0f), V(0, 100, 0.0f, 10.0f)});
    EXPECT_EQ(owner.m_bAnimated, 1);
    EXPECT_EQ(h().m_pDrawObj, &owner);
    EXPECT_EQ(v().m_pDrawObj, &owner);
    EXPECT_EQ(h().m_nBaseCenter, 10);
    EXPECT_EQ(v().m_nBaseCenter, 10); // (3 + 18) / 2 truncates

    // A new InitObj takes the rectangle as it is now.
    owner.m_rect = {50, -7, 70, 0};
    h().InitObj(&owner);
    v().InitObj(&owner);
    EXPECT_EQ(h().m_nBaseCenter, 60);
    EXPECT_EQ(v().m_nBaseCenter, -3); // -7 / 2 truncates toward zero
    set(level, 0);
    EXPECT_FALSE(owner.Run(KV_EVENT_REFRESH));
    set(level, 1);
    EXPECT_TRUE(owner.Run(KV_EVENT_REFRESH));
    EXPECT_EQ(owner.m_rect, (Rect32{60, 3, 80, 10}));
}

TEST_F(MoveTest, AMovedOwnerIsBroughtBackToTheTarget) {
    loadInto(owner, {0, 0, 20, 10}, {H(0, 100, 0.0f, 10.0f)});
    ASSERT_EQ(runAt(h(), 5), 1);
    owner.m_rect = {100, 0, 140, 10}; // moved and widened by someone else
    EXPECT_EQ(runAt(h(), 5), 1);
    EXPECT_EQ(owner.m_rect, (Rect32{40, 0, 80, 10}));
}

TEST_F(MoveTest, ARefreshAllocatesNothing) {
    if (!kvtest::allocationsCounted()) {
        GTEST_SKIP() << "allocation counting needs the plain allocator";
    }
    loadInto(owner, {0, 0, 20, 10}, {H(0, 100, 0.0f, 10.0f), V(0, 100, 0.0f, 10.0f)});
    for (double value : {5.0, 5.0, -3.0}) {
        set(level, value);
        EXPECT_EQ(kvtest::allocationsOf([&] {
                      h().Run(KV_EVENT_REFRESH);
                      v().Run(KV_EVENT_REFRESH);
                  }),
                  0)
            << value;
    }
    EXPECT_EQ(owner.m_rect, (Rect32{-30, -30, -10, -20})); // vertical base centre 5
}

TEST_F(MoveTest, ExpressionFailureReportsAndKeepsTheOwner) {
    loadInto(owner, {0, 0, 20, 10}, {H(0, 100, 0.0f, 10.0f), V(0, 100, 0.0f, 10.0f)});
    struct Case {
        CAniObj* animation;
        int code;
        const char* message;
        kvtest::Log log;
    };
    // clang-format off
    const Case cases[] = {
        {&h(), 19, "CAniHMove expressFloat run error",
         {"Run", "animation\\anihmove", 98, 2, "CAniHMove ExpressFloat errorCod", "error"}},
        {&v(), 36, "CAniVMove expressFloat run error",
         {"Run", "animation\\anivmove", 94, 2, "CAniVMove", "CAniVMove ExpressFloat error"}},
    };
    // clang-format on
    // Level has no value yet: the program cannot read it.
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        HostLog::instance().clear();
        EXPECT_EQ(c.animation->Run(KV_EVENT_REFRESH), 0);
        EXPECT_EQ(owner.m_rect, (Rect32{0, 0, 20, 10}));
        kvtest::expectFault(c.code, c.message, c.log);
    }
    // A forced failure after a good run leaves the moved owner where it is.
    set(level, 5);
    ASSERT_TRUE(owner.Run(KV_EVENT_REFRESH));
    kvtest::queueScriptResult(ScriptResult::failure());
    kvtest::queueScriptResult(ScriptResult::failure());
    set(level, 0);
    EXPECT_FALSE(owner.Run(KV_EVENT_REFRESH));
    EXPECT_EQ(owner.m_rect, (Rect32{50, 50, 70, 60}));
}

} // namespace
