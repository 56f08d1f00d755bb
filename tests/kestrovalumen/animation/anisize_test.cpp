// The size animation: a percentage of the base size from the clamped value, laid out by one of
// seven anchors; resize through the owner's SetRect or clip through its clip rectangle.
#include "kestrovalumen/animation/anisize.h"
#include "tests/kestrovalumen/animation/anitestsupport.h"

namespace {

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
    int32_t sizeType;
    float minValue;
    int32_t minPercent;
    float maxValue;
    int32_t maxPercent;
    int32_t sizeMode;
};

class SizeTest : public anitest::AnimationTest {
protected:
    void SetUp() override {
        AnimationTest::SetUp();
        level = define("Level", kestro::VarType::Float);
    }

    CAniSize& load(const Rect32& r, const SizeSetup& s) {
        kestro::SizeRecord size;
        size.header.program = anitest::Program("Level");
        size.sizeType = s.sizeType;
        size.minValue = s.minValue;
        size.minPercent = s.minPercent;
        size.maxValue = s.maxValue;
        size.maxPercent = s.maxPercent;
        size.sizeMode = s.sizeMode;
        owner = std::make_unique<SizedOwner>();
        return *attach<CAniSize>(*owner, anitest::Record(r.left, r.top, r.right, r.bottom),
                                 {kestro::animationEntry(size)});
    }

    int runAt(CAniSize& size, double value) {
        set(level, value);
        return size.Run(KV_EVENT_REFRESH);
    }

    std::unique_ptr<SizedOwner> owner;
    int level = -1;
};

struct Step {
    double value;
    int result;
    Rect32 rect;
};

struct SizeCase {
    const char* what;
    Rect32 base;
    SizeSetup setup;
    std::vector<Step> steps;
};

TEST_F(SizeTest, ResizeFollowsTheValue) {
    const SizeSetup half = {0, 0, 0, 100, 100, 0}; // percentages 0..100 over 0..100
    // clang-format off
    const SizeCase cases[] = {
        // Base 100 x 50 at 50 %: w 50, h 25 around the centre (50, 25), half sizes 25 and 12.
        {"centre", {0, 0, 100, 50}, half, {{50, 1, {25, 13, 75, 37}}}},
        {"horizontal centre", {0, 0, 100, 50}, {1, 0, 0, 100, 100, 0}, {{50, 1, {25, 0, 75, 50}}}},
        {"vertical centre", {0, 0, 100, 50}, {2, 0, 0, 100, 100, 0}, {{50, 1, {0, 13, 100, 37}}}},
        {"bottom edge", {0, 0, 100, 50}, {3, 0, 0, 100, 100, 0}, {{50, 1, {0, 25, 100, 50}}}},
        {"top edge", {0, 0, 100, 50}, {4, 0, 0, 100, 100, 0}, {{50, 1, {0, 0, 100, 25}}}},
        {"right edge", {0, 0, 100, 50}, {5, 0, 0, 100, 100, 0}, {{50, 1, {50, 0, 100, 50}}}},
        {"no anchor", {0, 0, 100, 50}, {7, 0, 0, 100, 100, 0}, {{50, 0, {0, 0, 100, 50}}}},
        {"negative anchor", {0, 0, 100, 50}, {-1, 0, 0, 100, 100, 0}, {{50, 0, {0, 0, 100, 50}}}},
        // Width 102 at 50 %: w 51, half 25, so 50 wide around the centre 51.
        {"odd size", {0, 0, 102, 50}, {1, 0, 0, 100, 100, 0}, {{50, 1, {26, 0, 76, 50}}}},
        // The edge sum passes 32 bits; the centre 2147483597 does not.
        {"top of the range", {2147483547, 0, 2147483647, 50}, {1, 0, 0, 100, 100, 0},
         {{50, 1, {2147483572, 0, 2147483622, 50}}}},
        {"left edge, clamped and truncated", {0, 0, 100, 50}, {6, 0, 0, 100, 100, 0},
         {{50, 1, {0, 0, 50, 50}}, {50, 0, {0, 0, 50, 50}}, {150, 1, {0, 0, 100, 50}},
          {-20, 1, {0, 0, 0, 50}}, {100, 1, {0, 0, 100, 50}}, {33.9, 1, {0, 0, 33, 50}},
          {33.2, 0, {0, 0, 33, 50}}}},
        // Value 1 of 0..3: 33 %, w 33, h 16.5 rounds to 17; value 2: 66 %, w 66, h 33.
        {"sizes round", {0, 0, 100, 50}, {0, 0, 0, 3, 100, 0},
         {{1, 1, {34, 17, 66, 33}}, {2, 1, {17, 9, 83, 41}}}},
        // 7 * (61 / 7) is 60.99999999999999, where 7 * 61 / 7 would give 61.
        {"per unit first", {0, 0, 100, 50}, {6, 0, 0, 7, 61, 0}, {{7, 1, {0, 0, 60, 50}}}},
        // -50..100 %: -50 and -20 give 0 %; 50 gives 25 %, w 25, h 12.5 rounds to 13.
        {"negative percentage", {0, 0, 100, 50}, {0, 0, -50, 100, 100, 0},
         {{0, 1, {50, 25, 50, 25}}, {20, 0, {50, 25, 50, 25}}, {50, 1, {38, 19, 62, 31}}}},
    };
    // clang-format on
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(c.what);
        CAniSize& size = load(c.base, c.setup);
        int calls = 0;
        for (const Step& step : c.steps) {
            SCOPED_TRACE(step.value);
            EXPECT_EQ(runAt(size, step.value), step.result);
            EXPECT_EQ(owner->m_rect, step.rect);
            EXPECT_EQ(owner->setRectCalls, calls += step.result);
        }
        EXPECT_EQ(owner->m_pClipRect, nullptr);
        EXPECT_EQ(owner->m_bClip, 0);
    }
}

TEST_F(SizeTest, ResizeWorksFromTheBaseAndComparesExtentsOnly) {
    CAniSize& size = load({10, 20, 110, 70}, {0, 0, 0, 100, 100, 0});
    EXPECT_EQ(owner->m_bAnimated, 1);
    // An empty range at run time, also within 1e-6, takes the minimum percentage.
    size.m_dMaxValue = 5e-7;
    EXPECT_EQ(runAt(size, 1000), 1);
    EXPECT_EQ(owner->m_rect, (Rect32{60, 45, 60, 45}));
    size.m_dMaxValue = 100;
    ASSERT_EQ(runAt(size, 50), 1);
    ASSERT_EQ(owner->m_rect, (Rect32{35, 33, 85, 57}));
    // Moved by someone else, same size: nothing to do; a new size goes around the new centre.
    owner->m_rect = {135, 33, 185, 57};
    EXPECT_EQ(runAt(size, 50), 0);
    EXPECT_EQ(runAt(size, 100), 1);
    EXPECT_EQ(owner->m_rect, (Rect32{110, 20, 210, 70}));
    // Attached again: the current size is the new base.
    owner->m_rect = {35, 33, 85, 57};
    size.InitObj(owner.get());
    EXPECT_EQ(runAt(size, 100), 0);
    EXPECT_EQ(runAt(size, 50), 1); // w 25, h 12 around (60, 45)
    EXPECT_EQ(owner->m_rect, (Rect32{48, 39, 72, 51}));
}

TEST_F(SizeTest, ClipModeKeepsTheRectangleAndReplacesTheClip) {
    for (int32_t mode : {1, 2, -1}) {
        SCOPED_TRACE(mode);
        CAniSize& size = load({0, 0, 100, 50}, {0, 0, 0, 100, 100, mode});
        EXPECT_EQ(runAt(size, 50), 1);
        ASSERT_NE(owner->m_pClipRect, nullptr);
        EXPECT_EQ(*owner->m_pClipRect, (Rect32{25, 13, 75, 37}));
        EXPECT_EQ(owner->m_bClip, 1);
        const Rect32* first = owner->m_pClipRect;
        // Unchanged (50.5 % truncates to 50 %): the same clip stays, even with the flag reset.
        owner->m_bClip = 0;
        EXPECT_EQ(runAt(size, 50.5), 0);
        EXPECT_EQ(owner->m_pClipRect, first);
        // Changed: a new clip replaces it, made before the old one goes.
        EXPECT_EQ(runAt(size, 100), 1);
        ASSERT_NE(owner->m_pClipRect, nullptr);
        EXPECT_NE(owner->m_pClipRect, first);
        EXPECT_EQ(*owner->m_pClipRect, (Rect32{0, 0, 100, 50}));
        EXPECT_EQ(owner->m_bClip, 1);
        EXPECT_EQ(owner->m_rect, (Rect32{0, 0, 100, 50}));
        EXPECT_EQ(owner->setRectCalls, 0);
    }
}

} // namespace
