// The visibility animation: the units digit of the owner's show state follows a condition on
// every refresh, the tens digit (blink phase) is kept, and a change is reported only when the
// visibility really changes.
#include "kestrovalumen/animation/anivisible.h"
#include "tests/kestrovalumen/animation/anitestsupport.h"

namespace {

class AniVisibleTest : public anitest::AnimationTest {
protected:
    void SetUp() override {
        AnimationTest::SetUp();
        level = define("Level", kestro::VarType::Float);
    }

    //! Loads owner with one visibility animation of the show type and program.
    CAniVisible* load(int32_t showType, const std::string& program) {
        kestro::VisibleRecord visible;
        visible.header.program = program;
        visible.showType = showType;
        return attach<CAniVisible>(owner, anitest::Record(10, 10, 60, 40),
                                   {kestro::animationEntry(visible)});
    }

    CDrawObj owner;
    int level = -1;
};

TEST_F(AniVisibleTest, RefreshSetsTheUnitsDigitFromTheTruncatedValue) {
    struct Case {
        int32_t showType;
        int32_t stateBefore;
        double value;
        int32_t stateAfter;
        int result;
    };
    // Show type 0: visible while the value truncates to nonzero; any other type: while it
    // truncates to 0.
    const Case cases[] = {
        {0, 11, 0.7, 10, 1},  {0, 11, -0.7, 10, 1}, {0, 11, 1.0, 11, 0}, {0, 11, -2.5, 11, 0},
        {0, 10, -1.0, 11, 1}, {0, 10, 0.99, 10, 0}, {1, 11, 0.0, 11, 0}, {1, 11, 5.0, 10, 1},
        {1, 11, -0.7, 11, 0}, {1, 10, 0.0, 11, 1},  {1, 10, 5.0, 10, 0}, {7, 11, -3.0, 10, 1},
        {-1, 10, 0.0, 11, 1}, {0, 1, 0.0, 0, 1},    {0, 0, 1.0, 1, 1},   {1, 1, 5.0, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.showType << " " << c.stateBefore << " " << c.value);
        CAniVisible* animation = load(c.showType, anitest::Program("Level"));
        ASSERT_NE(animation, nullptr);
        owner.m_nShowState = c.stateBefore;
        set(level, c.value);
        EXPECT_EQ(animation->Run(0), c.result);
        EXPECT_EQ(owner.m_nShowState, c.stateAfter);
    }
    // Through the owner, the change is passed on.
    load(0, anitest::Program("Level"));
    set(level, 0.0);
    EXPECT_TRUE(owner.Run(0));
    set(level, 2.0);
    EXPECT_TRUE(owner.Run(0));
    EXPECT_TRUE(owner.IsVisible());
    EXPECT_FALSE(owner.Run(0));
}

TEST_F(AniVisibleTest, InitObjShowsTheOwnerOnlyWithAProgram) {
    // Only the length of the program matters: one byte that is no valid program will do.
    for (const std::string& program : {anitest::Program("Level"), std::string("X")}) {
        CAniVisible* animation = load(0, program);
        ASSERT_NE(animation, nullptr);
        owner.m_nShowState = 0;
        owner.m_bAnimated = 0;
        animation->InitObj(&owner);
        EXPECT_EQ(owner.m_nShowState, 1); // blink phase kept
        EXPECT_EQ(owner.m_bAnimated, 1);
        owner.m_nShowState = 10;
        animation->InitObj(&owner);
        EXPECT_EQ(owner.m_nShowState, 11);
    }
    CAniVisible* animation = load(0, "");
    owner.m_nShowState = 10;
    owner.m_bAnimated = 0;
    animation->InitObj(&owner);
    EXPECT_EQ(owner.m_nShowState, 10);
    EXPECT_EQ(owner.m_bAnimated, 1);
}

// The one test that a Run allocates nothing (the benchmark counts allocations too).
TEST_F(AniVisibleTest, RefreshAllocatesNothing) {
    if (!kvtest::allocationsCounted()) {
        GTEST_SKIP() << "allocation counting needs the plain allocator";
    }
    CAniVisible* animation = load(0, anitest::Program("Level"));
    ASSERT_NE(animation, nullptr);
    for (double value : {0.0, 1.0, 1.0}) {
        set(level, value);
        EXPECT_EQ(kvtest::allocationsOf([&] { animation->Run(0); }), 0) << value;
    }
    EXPECT_TRUE(owner.IsVisible());
}

} // namespace
