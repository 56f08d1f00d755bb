// ctest-label: animation
// The visibility animation: the units digit of the owner's show state follows a condition on
// every refresh, the tens digit (blink phase) is left alone, and a change is reported only when
// the visibility really changes.
#include "kestrovalumen/animation/anivisible.h"
#include "runtime/logger.h"
#include "runtime/script.h"
#include "tests/kestrovalumen/animation/anitestsupport.h"
#include "tests/support/hostfixture.h"

#include <cstdlib>
#include <new>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define KV_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KV_SANITIZED 1
#endif
#endif

#ifndef KV_SANITIZED
namespace {
thread_local bool t_counting = false;
thread_local long t_allocations = 0;
} // namespace

// Counts heap allocations on the asking thread; the sanitizer keeps its own allocator.
void* operator new(std::size_t size) {
    if (t_counting) {
        ++t_allocations;
    }
    if (void* p = std::malloc(size ? size : 1)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return ::operator new(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
#endif

namespace {

using kestro::HostLog;
using kestro::Rtdb;
using kestro::ScriptService;
using kestro::VarType;

std::vector<int> monitorCodes() {
    std::vector<int> codes;
    for (const kestro::MonitorRecord& record : HostLog::instance().monitor()) {
        codes.push_back(record.code);
    }
    return codes;
}

class AniVisibleTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        level = Rtdb::instance().define("Level", VarType::Float);
        zero = Rtdb::instance().define("Zero", VarType::Int);
        ASSERT_EQ(Rtdb::instance().setInt(zero, 0), kestro::RtdbOk);
    }

    //! Loads owner with one visibility animation of the given show type and program source
    //! ("" for an empty program).
    CAniVisible* load(int32_t showType, const std::string& source = "Level") {
        kestro::VisibleRecord visible;
        visible.header.program = source.empty() ? std::string() : anitest::Program(source);
        visible.showType = showType;
        kestro::ObjectRecord record = anitest::Record(10, 10, 60, 40);
        record.animations.push_back(kestro::animationEntry(visible));
        anitest::Load(owner, record);
        owner.SetScriptHost(&host);
        CAniVisible* animation = anitest::Animation<CAniVisible>(owner);
        EXPECT_NE(animation, nullptr);
        return animation;
    }

    void setLevel(double value) {
        ASSERT_EQ(Rtdb::instance().setFloat(level, value), kestro::RtdbOk);
    }

    kestro::RtdbScriptHost host;
    CDrawObj owner;
    int level = -1;
    int zero = -1;
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
        setLevel(c.value);
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
        setLevel(step.value);
        EXPECT_EQ(animation->Run(0), step.result);
        EXPECT_EQ(owner.m_nShowState, step.state);
    }
}

TEST_F(AniVisibleTest, OwnerRunPassesTheChangeOn) {
    load(0);
    setLevel(0.0);
    EXPECT_TRUE(owner.Run(0));
    EXPECT_FALSE(owner.IsVisible());
    EXPECT_FALSE(owner.Run(0));
    setLevel(2.0);
    EXPECT_TRUE(owner.Run(0));
    EXPECT_TRUE(owner.IsVisible());
}

TEST_F(AniVisibleTest, OtherEventsRunNothing) {
    CAniVisible* animation = load(0);
    ASSERT_NE(animation, nullptr);
    setLevel(0.0); // a refresh would hide the owner
    const unsigned long long runsBefore = ScriptService::instance().runs();
    for (int event : {-1, 1, 2, 3, 4, 5, 11111, 88888}) {
        SCOPED_TRACE(event);
        EXPECT_EQ(animation->Run(event), 0);
    }
    EXPECT_EQ(ScriptService::instance().runs(), runsBefore);
    EXPECT_EQ(owner.m_nShowState, 11);
}

// ---- InitObj ----

TEST_F(AniVisibleTest, LoadingMarksTheOwnerAnimated) {
    CDrawObj plain;
    anitest::Load(plain, anitest::Record(0, 0, 5, 5));
    EXPECT_EQ(plain.m_bAnimated, 0);

    load(0);
    EXPECT_EQ(owner.m_bAnimated, 1);
}

TEST_F(AniVisibleTest, InitObjWithAProgramMakesTheOwnerVisible) {
    CAniVisible* animation = load(0);
    ASSERT_NE(animation, nullptr);
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

TEST_F(AniVisibleTest, InitObjWithAnyOneByteProgramMakesTheOwnerVisible) {
    kestro::VisibleRecord visible;
    visible.header.program = "X"; // not a valid program; only its length matters here
    kestro::ObjectRecord record = anitest::Record(0, 0, 5, 5);
    record.animations.push_back(kestro::animationEntry(visible));
    anitest::Load(owner, record);
    CAniVisible* animation = anitest::Animation<CAniVisible>(owner);
    ASSERT_NE(animation, nullptr);
    ASSERT_EQ(animation->m_bufExpress.length(), 1u);
    owner.m_nShowState = 10;
    animation->InitObj(&owner);
    EXPECT_EQ(owner.m_nShowState, 11);
}

TEST_F(AniVisibleTest, InitObjWithAnEmptyProgramLeavesTheVisibility) {
    CAniVisible* animation = load(0, "");
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

TEST_F(AniVisibleTest, InitObjWithoutOwnerReportsAndStaysUnattached) {
    CAniVisible animation;
    animation.InitObj(nullptr);
    EXPECT_EQ(animation.m_pDrawObj, nullptr);
    const auto& monitor = HostLog::instance().monitor();
    ASSERT_EQ(monitor.size(), 1u);
    EXPECT_EQ(monitor[0].module, 10);
    EXPECT_EQ(monitor[0].code, 33);
    EXPECT_EQ(monitor[0].message, "CAniVisible::InitObj failed！para is null!");
    EXPECT_EQ(monitor[0].kind, 1);
    EXPECT_TRUE(HostLog::instance().logs().empty());

    // Still unattached, a refresh has no owner to change and no host to ask.
    EXPECT_EQ(animation.Run(0), 0);
    EXPECT_EQ(ScriptService::instance().runs(), 0u);
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

        const auto& monitor = HostLog::instance().monitor();
        ASSERT_EQ(monitor.size(), 1u);
        EXPECT_EQ(monitor[0].module, 10);
        EXPECT_EQ(monitor[0].code, 32);
        EXPECT_EQ(monitor[0].message, "CAniVisible expressFloat run error");
        EXPECT_EQ(monitor[0].kind, 1);
        const auto& logs = HostLog::instance().logs();
        ASSERT_EQ(logs.size(), 1u);
        EXPECT_EQ(logs[0].module, 10);
        EXPECT_EQ(logs[0].function, "Run");
        EXPECT_EQ(logs[0].file, "animation\\anivisible");
        EXPECT_EQ(logs[0].file.size(), 20u); // one backslash
        EXPECT_EQ(logs[0].line, 58);
        EXPECT_EQ(logs[0].flags, 0);
        EXPECT_EQ(logs[0].level, 2);
        EXPECT_EQ(logs[0].tag, "CAniVisible");
        EXPECT_EQ(logs[0].text, "CAniVisible ExpressFloat error");
    }
}

TEST_F(AniVisibleTest, ForcedFailureAfterAChangeKeepsTheLastState) {
    CAniVisible* animation = load(0);
    ASSERT_NE(animation, nullptr);
    setLevel(0.0);
    EXPECT_EQ(animation->Run(0), 1);
    ScriptService::instance().queueResult(kestro::ScriptResult::failure());
    setLevel(1.0);
    EXPECT_EQ(animation->Run(0), 0);
    EXPECT_EQ(owner.m_nShowState, 10);
    EXPECT_EQ(monitorCodes(), std::vector<int>{32});
}

// ---- no heap allocation on a refresh ----

TEST_F(AniVisibleTest, RefreshAllocatesNothing) {
#ifdef KV_SANITIZED
    GTEST_SKIP() << "allocation counting needs the plain allocator";
#else
    CAniVisible* animation = load(0);
    ASSERT_NE(animation, nullptr);
    for (double value : {0.0, 1.0, 1.0}) {
        setLevel(value);
        t_allocations = 0;
        t_counting = true;
        animation->Run(0);
        t_counting = false;
        EXPECT_EQ(t_allocations, 0) << value;
    }
    EXPECT_TRUE(owner.IsVisible());
#endif
}

} // namespace
