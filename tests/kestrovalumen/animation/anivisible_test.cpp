// The visibility animation: the units digit of the owner's show state follows a condition on
// every refresh, the tens digit (blink phase) is left alone, and a change is reported only when
// the visibility really changes.
#include "kestrovalumen/animation/anivisible.h"
#include "tests/kestrovalumen/animation/anitestsupport.h"

namespace {

using kestro::HostLog;

class AniVisibleTest : public anitest::AnimationTest {
protected:
    void SetUp() override {
        AnimationTest::SetUp();
        level = define("Level", kestro::VarType::Float);
        setInt(define("Zero", kestro::VarType::Int), 0);
    }

    //! Loads owner with one visibility animation of the given show type and program (the raw
    //! bytes when given, else the compiled source).
    CAniVisible* load(int32_t showType, const std::string& source = "Level",
                      const std::string* raw = nullptr) {
        kestro::VisibleRecord visible;
        visible.header.program = raw ? *raw : anitest::Program(source);
        visible.showType = showType;
        return attach<CAniVisible>(owner, anitest::Record(10, 10, 60, 40),
                                   {kestro::animationEntry(visible)});
    }

    CDrawObj owner;
    int level = -1;
};

// ---- Run: the show state after one refresh ----

struct VisibleCase {
    const char* name;
    int32_t showType;
    int32_t stateBefore;
    double value;
    int32_t stateAfter;
    int result;
};

TEST_F(AniVisibleTest, RefreshSetsTheUnitsDigitFromTheTruncatedValue) {
    const VisibleCase cases[] = {
        // Show type 0: visible while the value truncates to nonzero.
        {"0.7 truncates to 0 and hides", 0, 11, 0.7, 10, 1},
        {"-0.7 truncates to 0 and hides", 0, 11, -0.7, 10, 1},
        {"1.0 keeps a visible owner", 0, 11, 1.0, 11, 0},
        {"0 hides", 0, 11, 0.0, 10, 1},
        {"-2.5 keeps a visible owner", 0, 11, -2.5, 11, 0},
        {"1.0 shows a hidden owner", 0, 10, 1.0, 11, 1},
        {"-1.0 shows a hidden owner", 0, 10, -1.0, 11, 1},
        {"0.7 leaves a hidden owner", 0, 10, 0.7, 10, 0},
        {"0.99 leaves a hidden owner", 0, 10, 0.99, 10, 0},
        // Show type 1 (and any other nonzero type): visible while the value truncates to 0.
        {"type 1: 0 keeps a visible owner", 1, 11, 0.0, 11, 0},
        {"type 1: 5 hides", 1, 11, 5.0, 10, 1},
        {"type 1: 0.7 truncates to 0 and keeps", 1, 11, 0.7, 11, 0},
        {"type 1: -0.7 truncates to 0 and keeps", 1, 11, -0.7, 11, 0},
        {"type 1: 0 shows a hidden owner", 1, 10, 0.0, 11, 1},
        {"type 1: 5 leaves a hidden owner", 1, 10, 5.0, 10, 0},
        {"type 7: -3 hides", 7, 11, -3.0, 10, 1},
        {"type -1: 0 shows", -1, 10, 0.0, 11, 1},
        // The tens digit (blink phase) is kept whatever the units digit does.
        {"hidden blink phase: 0 hides", 0, 1, 0.0, 0, 1},
        {"hidden blink phase: 1 shows", 0, 0, 1.0, 1, 1},
        {"hidden blink phase: type 1, 5 hides", 1, 1, 5.0, 0, 1},
    };
    for (const VisibleCase& c : cases) {
        SCOPED_TRACE(c.name);
        owner.m_nShowState = 11;
        CAniVisible* animation = load(c.showType);
        ASSERT_NE(animation, nullptr);
        owner.m_nShowState = c.stateBefore;
        set(level, c.value);
        EXPECT_EQ(animation->Run(0), c.result);
        EXPECT_EQ(owner.m_nShowState, c.stateAfter);
    }
}

TEST_F(AniVisibleTest, ReportsAChangeExactlyWhenTheVisibilityChanges) {
    CAniVisible* animation = load(0);
    ASSERT_NE(animation, nullptr);
    struct Step {
        double value;
        int result;
        int32_t state;
    };
    const Step steps[] = {
        {1.0, 0, 11}, {0.0, 1, 10}, {0.0, 0, 10}, {0.5, 0, 10},
        {3.0, 1, 11}, {3.0, 0, 11}, {7.0, 0, 11}, {-0.1, 1, 10},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.value);
        set(level, step.value);
        EXPECT_EQ(animation->Run(0), step.result);
        EXPECT_EQ(owner.m_nShowState, step.state);
    }
    // Through the owner, the change is passed on.
    set(level, 2.0);
    EXPECT_TRUE(owner.Run(0));
    EXPECT_TRUE(owner.IsVisible());
    EXPECT_FALSE(owner.Run(0));
}

// ---- InitObj ----

TEST_F(AniVisibleTest, InitObjWithAProgramMakesTheOwnerVisible) {
    CDrawObj plain;
    anitest::Load(plain, anitest::Record(0, 0, 5, 5));
    EXPECT_EQ(plain.m_bAnimated, 0);

    // Only the length of the program matters: one byte that is no valid program will do.
    const std::string oneByte = "X";
    for (const std::string* raw : {static_cast<const std::string*>(nullptr), &oneByte}) {
        CAniVisible* animation = load(0, "Level", raw);
        ASSERT_NE(animation, nullptr);
        EXPECT_EQ(owner.m_bAnimated, 1);
        owner.m_nShowState = 0;
        owner.m_bAnimated = 0;
        animation->InitObj(&owner);
        EXPECT_EQ(owner.m_nShowState, 1); // blink phase kept
        EXPECT_EQ(owner.m_bAnimated, 1);
        EXPECT_EQ(animation->m_pDrawObj, &owner);
        owner.m_nShowState = 10;
        animation->InitObj(&owner);
        EXPECT_EQ(owner.m_nShowState, 11);
    }
}

TEST_F(AniVisibleTest, InitObjWithAnEmptyProgramLeavesTheVisibility) {
    const std::string empty;
    CAniVisible* animation = load(0, "", &empty);
    ASSERT_NE(animation, nullptr);
    ASSERT_EQ(animation->m_bufExpress.length(), 0u);
    EXPECT_EQ(owner.m_nShowState, 11);
    EXPECT_EQ(owner.m_bAnimated, 1);

    owner.m_nShowState = 10;
    owner.m_bAnimated = 0;
    animation->InitObj(&owner);
    EXPECT_EQ(owner.m_nShowState, 10);
    EXPECT_EQ(owner.m_bAnimated, 1);
}

// ---- expression failure ----

TEST_F(AniVisibleTest, ExpressionFailureReportsAndKeepsTheOwner) {
    const char* const sources[] = {"1 / Zero", "Level"}; // division by zero; Level never written
    for (const char* source : sources) {
        SCOPED_TRACE(source);
        HostLog::instance().clear();
        CAniVisible* animation = load(0, source);
        ASSERT_NE(animation, nullptr);
        owner.m_nShowState = 10; // any successful value would make the owner visible or not
        EXPECT_EQ(animation->Run(0), 0);
        EXPECT_EQ(owner.m_nShowState, 10);
        kvtest::expectFault(32, "CAniVisible expressFloat run error",
                            {"Run", "animation\\anivisible", 58, 2, "CAniVisible",
                             "CAniVisible ExpressFloat error"});
    }
    // A failure after a change keeps the last state.
    CAniVisible* animation = load(0);
    set(level, 0.0);
    EXPECT_EQ(animation->Run(0), 1);
    HostLog::instance().clear();
    kvtest::queueScriptResult(kvtest::ScriptResult::failure());
    set(level, 1.0);
    EXPECT_EQ(animation->Run(0), 0);
    EXPECT_EQ(owner.m_nShowState, 10);
    EXPECT_EQ(kvtest::monitorCodes(), std::vector<int>{32});
}

TEST_F(AniVisibleTest, RefreshAllocatesNothing) {
    if (!kvtest::allocationsCounted()) {
        GTEST_SKIP() << "allocation counting needs the plain allocator";
    }
    CAniVisible* animation = load(0);
    ASSERT_NE(animation, nullptr);
    for (double value : {0.0, 1.0, 1.0}) {
        set(level, value);
        EXPECT_EQ(kvtest::allocationsOf([&] { animation->Run(0); }), 0) << value;
    }
    EXPECT_TRUE(owner.IsVisible());
}

} // namespace
