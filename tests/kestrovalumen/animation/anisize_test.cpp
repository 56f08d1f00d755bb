// Size: a percentage of the base size from the clamped value, laid out by one of seven anchors,
// given to the owner's SetRect or, in clip mode, to its clip rectangle.
#include "kestrovalumen/animation/anisize.h"
#include "tests/kestrovalumen/animation/anitestsupport.h"

namespace {

class SizedOwner : public CDrawObj {
public:
    void SetRect(const int rect[4]) override {
        ++setRectCalls;
        CDrawObj::SetRect(rect);
    }
    int setRectCalls = 0;
};

class SizeTest : public anitest::AnimationTest {
protected:
    CAniSize& load(const Rect32& r, const kestro::SizeRecord& size) {
        owner = std::make_unique<SizedOwner>();
        return *attach<CAniSize>(*owner, anitest::Record(r.left, r.top, r.right, r.bottom),
                                 {anitest::Entry(size, "Level")});
    }

    int runAt(CAniSize& size, double value) {
        set(level, value);
        return size.Run(KV_EVENT_REFRESH);
    }

    std::unique_ptr<SizedOwner> owner;
};

TEST_F(SizeTest, ResizeFollowsTheValue) {
    struct Step {
        double value;
        int result;
        Rect32 rect;
    };
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
        CAniSize& size = load(c.base, c.setup);
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
