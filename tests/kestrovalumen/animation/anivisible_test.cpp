// Visibility: the units digit of the show state follows the condition, the blink phase stays.
#include "kestrovalumen/animation/anivisible.h"
#include "tests/kestrovalumen/animation/anitestsupport.h"

namespace {

class AniVisibleTest : public anitest::AnimationTest {
protected:
    CAniVisible* load(int32_t showType, const std::string& program) {
        kestro::VisibleRecord visible;
        visible.header.program = program;
        visible.showType = showType;
        return attach<CAniVisible>(owner, anitest::Record(10, 10, 60, 40),
                                   {kestro::animationEntry(visible)});
    }

    CDrawObj owner;
};

TEST_F(AniVisibleTest, RefreshSetsTheUnitsDigitFromTheTruncatedValue) {
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
        CAniVisible* animation = load(c.showType, anitest::Program("Level"));
        owner.m_nShowState = c.stateBefore;
        set(level, c.value);
        EXPECT_EQ(animation->Run(0), c.result);
        EXPECT_EQ(owner.m_nShowState, c.stateAfter);
    }
}

TEST_F(AniVisibleTest, InitObjShowsTheOwnerOnlyWithAProgram) {
    // Only the program's length counts: one byte that is no program will do.
    for (const std::string& program :
         {anitest::Program("Level"), std::string("X"), std::string()}) {
        CAniVisible* animation = load(0, program);
        owner.m_nShowState = 10;
        owner.m_bAnimated = 0;
        animation->InitObj(&owner);
        EXPECT_EQ(owner.m_nShowState, program.empty() ? 10 : 11);
        EXPECT_EQ(owner.m_bAnimated, 1);
    }
}

} // namespace
