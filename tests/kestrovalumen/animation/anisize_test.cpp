// The size animation: a percentage of the base size from the clamped value, laid out by one of
// seven anchors; resize through the owner's SetRect or clip through its clip rectangle.
#include "kestrovalumen/animation/anisize.h"
#include "tests/kestrovalumen/animation/anitestsupport.h"

namespace {

using kestro::HostLog;
using kvtest::ScriptResult;

//! An owner that counts the rectangles given to it through SetRect.
class SizedOwner : public CDrawObj {
public:
    void SetRect(const int rect[4]) override {
        ++setRectCalls;
        CDrawObj::SetRect(rect);
    }
    int setRectCalls = 0;
};

struct SizeSetup {
    int32_t sizeType = 0;
    float minValue = 0.0f;
    int32_t minPercent = 0;
    float maxValue = 100.0f;
    int32_t maxPercent = 100;
    int32_t sizeMode = 0;
};

SizeSetup anchored(int32_t sizeType, int32_t sizeMode = 0) {
    SizeSetup setup;
    setup.sizeType = sizeType;
    setup.sizeMode = sizeMode;
    return setup;
}

class SizeTest : public anitest::AnimationTest {
protected:
    void SetUp() override {
        AnimationTest::SetUp();
        level = define("Level", kestro::VarType::Float);
    }

    //! Loads target with the rectangle and one size animation; returns the animation.
    CAniSize& loadInto(SizedOwner& target, const Rect32& r, const SizeSetup& setup) {
        kestro::SizeRecord size;
        size.header.program = anitest::Program("Level");
        size.sizeType = setup.sizeType;
        size.minValue = setup.minValue;
        size.minPercent = setup.minPercent;
        size.maxValue = setup.maxValue;
        size.maxPercent = setup.maxPercent;
        size.sizeMode = setup.sizeMode;
        return *attach<CAniSize>(target, anitest::Record(r.left, r.top, r.right, r.bottom),
                                 {kestro::animationEntry(size)});
    }

    CAniSize& load(const Rect32& r, const SizeSetup& setup) { return loadInto(owner, r, setup); }

    int runAt(CAniSize& size, double value) {
        set(level, value);
        return size.Run(KV_EVENT_REFRESH);
    }

    SizedOwner owner;
    int level = -1;
};

// ---- anchors ----

TEST_F(SizeTest, AnchorsAtHalfSize) {
    struct Case {
        int32_t sizeType;
        int result;
        Rect32 rect;
    };
    // Base 100 x 50 at (0, 0, 100, 50), percentages 0..100 over 0..100, value 50: w 50, h 25;
    // centre (50, 25), half sizes 25 and 12.
    const Case cases[] = {
        {0, 1, {25, 13, 75, 37}}, // centre
        {1, 1, {25, 0, 75, 50}},  // horizontal centre, height kept
        {2, 1, {0, 13, 100, 37}}, // vertical centre, width kept
        {3, 1, {0, 25, 100, 50}}, // bottom edge
        {4, 1, {0, 0, 100, 25}},  // top edge
        {5, 1, {50, 0, 100, 50}}, // right edge
        {6, 1, {0, 0, 50, 50}},   // left edge
        {7, 0, {0, 0, 100, 50}},  // no anchor: nothing changes
        {-1, 0, {0, 0, 100, 50}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sizeType);
        SizedOwner target;
        CAniSize& size = loadInto(target, {0, 0, 100, 50}, anchored(c.sizeType));
        EXPECT_EQ(runAt(size, 50), c.result);
        EXPECT_EQ(target.m_rect, c.rect);
        EXPECT_EQ(target.setRectCalls, c.result);
        EXPECT_EQ(target.m_pClipRect, nullptr);
        EXPECT_EQ(target.m_bClip, 0);
    }
}

TEST_F(SizeTest, CentredAnchorsLoseAPixelOnOddSizesAndCentreNearTheTopOfTheRange) {
    // Base width 102 at 50 %: w 51, half 25, so the result is 50 wide around the centre 51.
    CAniSize& odd = load({0, 0, 102, 50}, anchored(1));
    EXPECT_EQ(runAt(odd, 50), 1);
    EXPECT_EQ(owner.m_rect, (Rect32{26, 0, 76, 50}));

    // The edge sum passes 32 bits; the centre 2147483597 does not.
    SizedOwner high;
    CAniSize& size = loadInto(high, {2147483547, 0, 2147483647, 50}, anchored(1));
    EXPECT_EQ(size.m_nBaseWidth, 100);
    EXPECT_EQ(runAt(size, 50), 1);
    EXPECT_EQ(high.m_rect, (Rect32{2147483572, 0, 2147483622, 50}));
}

// ---- the percentage ----

TEST_F(SizeTest, ValueIsClampedToTheRange) {
    struct Step {
        const char* what;
        double value;
        int result;
        Rect32 rect;
    };
    CAniSize& size = load({0, 0, 100, 50}, anchored(6)); // left edge kept: right = width
    const Step steps[] = {
        {"half", 50, 1, {0, 0, 50, 50}},
        {"the same value changes nothing", 50, 0, {0, 0, 50, 50}},
        {"beyond the maximum takes the maximum percentage", 150, 1, {0, 0, 100, 50}},
        {"below the minimum takes the minimum percentage", -20, 1, {0, 0, 0, 50}},
        {"back to full size from the base, not from the current size", 100, 1, {0, 0, 100, 50}},
        {"the percentage truncates: 33.9 gives 33", 33.9, 1, {0, 0, 33, 50}},
        {"33.2 also gives 33", 33.2, 0, {0, 0, 33, 50}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        EXPECT_EQ(runAt(size, step.value), step.result);
        EXPECT_EQ(owner.m_rect, step.rect);
    }
    EXPECT_EQ(owner.setRectCalls, 5);
}

TEST_F(SizeTest, PercentageTruncatesAndSizesRound) {
    // Percentages 0..100 over values 0..3, anchor 0 on (0, 0, 100, 50).
    SizeSetup setup;
    setup.maxValue = 3.0f;
    CAniSize& size = load({0, 0, 100, 50}, setup);
    // Value 1: p = trunc(33.33) = 33, w = 33, h = MulDiv(50, 33, 100) = 16.5 rounded to 17;
    // half sizes 16 and 8 around (50, 25).
    EXPECT_EQ(runAt(size, 1), 1);
    EXPECT_EQ(owner.m_rect, (Rect32{34, 17, 66, 33}));
    // Value 2: p = trunc(66.67) = 66, w = 66, h = 33; half sizes 33 and 16.
    EXPECT_EQ(runAt(size, 2), 1);
    EXPECT_EQ(owner.m_rect, (Rect32{17, 9, 83, 41}));
}

TEST_F(SizeTest, PercentagePerUnitIsTakenFirst) {
    // Percentages 0..61 over 0..7 at the value 7: 7 * (61 / 7) is 60.99999999999999, which
    // truncates to 60, where 7 * 61 / 7 would give 61.
    SizeSetup setup = anchored(6);
    setup.maxValue = 7.0f;
    setup.maxPercent = 61;
    CAniSize& size = load({0, 0, 100, 50}, setup);
    EXPECT_EQ(runAt(size, 7), 1);
    EXPECT_EQ(owner.m_rect, (Rect32{0, 0, 60, 50}));
}

TEST_F(SizeTest, NegativePercentageGivesZeroSize) {
    // Percentages -50..100 over 0..100: 1.5 % per unit.
    SizeSetup setup;
    setup.minPercent = -50;
    CAniSize& size = load({0, 0, 100, 50}, setup);
    EXPECT_EQ(runAt(size, 0), 1); // -50 % -> 0 %
    EXPECT_EQ(owner.m_rect, (Rect32{50, 25, 50, 25}));
    EXPECT_EQ(runAt(size, 20), 0); // -20 % -> 0 %
    // 50: -50 + 75 = 25 %: w 25, h 12.5 rounded to 13; half sizes 12 and 6 around (50, 25).
    EXPECT_EQ(runAt(size, 50), 1);
    EXPECT_EQ(owner.m_rect, (Rect32{38, 19, 62, 31}));
}

TEST_F(SizeTest, AnEmptyRangeAtRunTimeUsesTheMinimumPercentage) {
    SizeSetup setup = anchored(6);
    setup.minValue = 2.0f;
    setup.minPercent = 30;
    setup.maxValue = 4.0f;
    CAniSize& size = load({0, 0, 100, 50}, setup);
    for (double max : {2.0, 2.0 + 5e-7}) {
        SCOPED_TRACE(max);
        owner.m_rect = {0, 0, 100, 50};
        size.m_dMaxValue = max;
        for (double value : {1000.0, -3.0, 2.0}) {
            runAt(size, value);
            EXPECT_EQ(owner.m_rect, (Rect32{0, 0, 30, 50})) << value;
        }
    }
}

// ---- resize mode ----

TEST_F(SizeTest, ResizeComparesTheExtentsOnly) {
    CAniSize& size = load({0, 0, 100, 50}, SizeSetup());
    ASSERT_EQ(runAt(size, 50), 1);
    ASSERT_EQ(owner.m_rect, (Rect32{25, 13, 75, 37}));
    // Moved by someone else, same size: nothing to do.
    owner.m_rect = {125, 13, 175, 37};
    EXPECT_EQ(runAt(size, 50), 0);
    EXPECT_EQ(owner.m_rect, (Rect32{125, 13, 175, 37}));
    // A new size is laid out around the current centre (150, 25).
    EXPECT_EQ(runAt(size, 100), 1);
    EXPECT_EQ(owner.m_rect, (Rect32{100, 0, 200, 50}));
    EXPECT_EQ(owner.setRectCalls, 2);
}

TEST_F(SizeTest, InitObjCapturesTheBaseSizeAndMarksTheOwner) {
    EXPECT_EQ(owner.m_bAnimated, 0);
    CAniSize& size = load({10, 20, 110, 70}, SizeSetup());
    EXPECT_EQ(owner.m_bAnimated, 1);
    EXPECT_EQ(size.m_pDrawObj, &owner);
    EXPECT_EQ(size.m_nBaseWidth, 100);
    EXPECT_EQ(size.m_nBaseHeight, 50);
    ASSERT_EQ(runAt(size, 50), 1);
    ASSERT_EQ(owner.m_rect, (Rect32{35, 33, 85, 57}));
    // Attached again: the half size is the new base.
    size.InitObj(&owner);
    EXPECT_EQ(size.m_nBaseWidth, 50);
    EXPECT_EQ(size.m_nBaseHeight, 24);
    EXPECT_EQ(runAt(size, 100), 0); // 100 % of the new base is the current size
    EXPECT_EQ(runAt(size, 50), 1);  // w 25, h 12 around (60, 45)
    EXPECT_EQ(owner.m_rect, (Rect32{48, 39, 72, 51}));
}

TEST_F(SizeTest, ResizingAllocatesNothing) {
    if (!kvtest::allocationsCounted()) {
        GTEST_SKIP() << "allocation counting needs the plain allocator";
    }
    CAniSize& size = load({0, 0, 100, 50}, SizeSetup());
    for (double value : {50.0, 50.0, 100.0}) {
        set(level, value);
        EXPECT_EQ(kvtest::allocationsOf([&] { size.Run(KV_EVENT_REFRESH); }), 0) << value;
    }
    EXPECT_EQ(owner.m_rect, (Rect32{0, 0, 100, 50}));
    EXPECT_EQ(owner.setRectCalls, 2);
}

// ---- clip mode ----

TEST_F(SizeTest, ClipModeKeepsTheRectangleAndReplacesTheClip) {
    for (int32_t mode : {1, 2, -1}) {
        SCOPED_TRACE(mode);
        SizedOwner target;
        CAniSize& size = loadInto(target, {0, 0, 100, 50}, anchored(0, mode));

        EXPECT_EQ(runAt(size, 50), 1);
        EXPECT_EQ(target.m_rect, (Rect32{0, 0, 100, 50}));
        ASSERT_NE(target.m_pClipRect, nullptr);
        EXPECT_EQ(*target.m_pClipRect, (Rect32{25, 13, 75, 37}));
        EXPECT_EQ(target.m_bClip, 1);
        const Rect32* first = target.m_pClipRect;

        // Unchanged (50.5 % truncates to 50 %): the same clip object stays.
        EXPECT_EQ(runAt(size, 50), 0);
        EXPECT_EQ(runAt(size, 50.5), 0);
        EXPECT_EQ(target.m_pClipRect, first);
        EXPECT_EQ(*target.m_pClipRect, (Rect32{25, 13, 75, 37}));

        // Changed: a new clip object replaces it (the new one exists before the old goes).
        EXPECT_EQ(runAt(size, 100), 1);
        ASSERT_NE(target.m_pClipRect, nullptr);
        EXPECT_NE(target.m_pClipRect, first);
        EXPECT_EQ(*target.m_pClipRect, (Rect32{0, 0, 100, 50}));
        EXPECT_EQ(target.m_rect, (Rect32{0, 0, 100, 50}));
        EXPECT_EQ(target.setRectCalls, 0);
    }
}

TEST_F(SizeTest, ClipModeLaysOutFromTheRectangleAndResetsTheClipFlag) {
    CAniSize& size = load({0, 0, 100, 50}, anchored(5, 1)); // right edge kept
    EXPECT_EQ(runAt(size, 50), 1);
    EXPECT_EQ(*owner.m_pClipRect, (Rect32{50, 0, 100, 50}));
    owner.m_bClip = 0;
    EXPECT_EQ(runAt(size, 20), 1);
    EXPECT_EQ(*owner.m_pClipRect, (Rect32{80, 0, 100, 50}));
    EXPECT_EQ(owner.m_bClip, 1);
}

// ---- failures ----

TEST_F(SizeTest, ExpressionFailureReportsAndKeepsTheOwner) {
    for (int32_t mode : {0, 1}) {
        SCOPED_TRACE(mode);
        SizedOwner target;
        CAniSize& size = loadInto(target, {0, 0, 100, 50}, anchored(0, mode));
        HostLog::instance().clear();
        kvtest::queueScriptResult(ScriptResult::failure());
        EXPECT_EQ(size.Run(KV_EVENT_REFRESH), 0);
        EXPECT_EQ(target.m_rect, (Rect32{0, 0, 100, 50}));
        EXPECT_EQ(target.m_pClipRect, nullptr);
        EXPECT_EQ(target.setRectCalls, 0);
        kvtest::expectFault(
            28, "CAniSize expressFloat run error",
            {"Run", "animation\\anisize", 115, 2, "CAniSize", "CAniSize ExpressFloat error"});
    }
}

} // namespace
