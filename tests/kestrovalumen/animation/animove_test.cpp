// ctest-label: animation
// Horizontal and vertical movement: the owner's centre follows the base centre plus an offset
// interpolated from the value, without clamping, kept inside the 32-bit range.
#include "kestrovalumen/animation/anihmove.h"
#include "kestrovalumen/animation/anivmove.h"
#include "runtime/logger.h"
#include "runtime/rtdb.h"
#include "runtime/script.h"
#include "tests/kestrovalumen/animation/anitestsupport.h"
#include "tests/support/hostfixture.h"

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <ostream>

using kestro::HostLog;
using kestro::Rtdb;
using kestro::ScriptResult;
using kestro::ScriptService;

// Counts the heap allocations of this test program, to show that a refresh allocates nothing.
// The sanitizers bring their own operator new, so there the count is not kept.
#if defined(__SANITIZE_ADDRESS__)
#define KV_COUNT_ALLOCATIONS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KV_COUNT_ALLOCATIONS 0
#endif
#endif
#ifndef KV_COUNT_ALLOCATIONS
#define KV_COUNT_ALLOCATIONS 1
#endif

namespace {
std::atomic<unsigned long> g_allocations{0};
}

#if KV_COUNT_ALLOCATIONS
void* operator new(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept {
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
#endif

static void PrintTo(const Rect32& r, std::ostream* os) {
    *os << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

namespace {

Rect32 R(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    Rect32 r;
    r.left = left;
    r.top = top;
    r.right = right;
    r.bottom = bottom;
    return r;
}

template <class Record>
Record MoveRecord(int32_t minOffset, int32_t maxOffset, float minValue, float maxValue) {
    Record record;
    record.header.program = anitest::Program("Level");
    record.minOffset = minOffset;
    record.maxOffset = maxOffset;
    record.minValue = minValue;
    record.maxValue = maxValue;
    return record;
}

class MoveTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        m_level = Rtdb::instance().define("Level", kestro::VarType::Float);
        ASSERT_GE(m_level, 0);
    }

    //! Loads target with the rectangle and the given animation records.
    template <class... Records>
    void LoadInto(CDrawObj& target, const Rect32& rect, const Records&... records) {
        kestro::ObjectRecord object = anitest::Record(rect.left, rect.top, rect.right, rect.bottom);
        object.animations = {kestro::animationEntry(records)...};
        anitest::Load(target, object);
        target.SetScriptHost(&m_host);
    }

    template <class... Records>
    void LoadOwner(const Rect32& rect, const Records&... records) {
        LoadInto(owner, rect, records...);
    }

    template <class T>
    T& Move(const CDrawObj& of) {
        T* animation = anitest::Animation<T>(of);
        EXPECT_NE(animation, nullptr);
        return *animation;
    }

    template <class T>
    T& Move() {
        return Move<T>(owner);
    }

    void SetLevel(double value) { ASSERT_EQ(Rtdb::instance().setFloat(m_level, value), 0); }

    int RunAt(CAniObj& animation, double value) {
        // The database keeps finite numbers only; other values come straight from the engine.
        if (std::isfinite(value)) {
            SetLevel(value);
        } else {
            ScriptService::instance().queueResult(ScriptResult::value(value));
        }
        return animation.Run(KV_EVENT_REFRESH);
    }

    CDrawObj owner;

private:
    int m_level = -1;
    kestro::RtdbScriptHost m_host;
};

struct Step {
    const char* what;
    double value;
    int result;
    Rect32 rect;
};

void RunSteps(CAniObj& animation, const CDrawObj& owner, const Step* begin, const Step* end,
              void (*set)(double)) {
    for (const Step* step = begin; step != end; ++step) {
        SCOPED_TRACE(step->what);
        set(step->value);
        EXPECT_EQ(animation.Run(KV_EVENT_REFRESH), step->result);
        EXPECT_EQ(owner.m_rect, step->rect);
    }
}

void SetLevelVar(double value) {
    ASSERT_EQ(Rtdb::instance().setFloat(Rtdb::instance().indexOf("Level"), value), 0);
}

// ---- horizontal ----

TEST_F(MoveTest, HorizontalFollowsTheValueAndExtrapolates) {
    // Offsets 0..100 over values 0..10, owner (0, 0, 20, 10): base centre 10, half width 10.
    LoadOwner(R(0, 0, 20, 10), MoveRecord<kestro::HMoveRecord>(0, 100, 0.0f, 10.0f));
    CAniHMove& move = Move<CAniHMove>();
    EXPECT_EQ(move.m_nBaseCenter, 10);
    const Step steps[] = {
        {"half way: centre 60", 5, 1, R(50, 0, 70, 10)},
        {"the same value again changes nothing", 5, 0, R(50, 0, 70, 10)},
        {"the minimum puts it back", 0, 1, R(0, 0, 20, 10)},
        {"beyond the maximum extrapolates", 20, 1, R(200, 0, 220, 10)},
        {"below the minimum extrapolates", -3, 1, R(-30, 0, -10, 10)},
        // Centre 12.5 from -20: the shift 32.5 truncates to 32.
        {"a half pixel truncates", 0.25, 1, R(2, 0, 22, 10)},
        {"centre 13.75 from 12 moves one pixel", 0.375, 1, R(3, 0, 23, 10)},
        {"centre 13.125 truncates to the current 13", 0.3125, 0, R(3, 0, 23, 10)},
        // Centre -2.5 from 13: the shift -15.5 truncates toward zero, to -15.
        {"negative targets truncate toward zero", -1.25, 1, R(-12, 0, 8, 10)},
        // Centre -1.25 truncates to -1, not the current -2, yet the shift 0.75 truncates to 0.
        {"a target within a pixel reports a move without one", -1.125, 1, R(-12, 0, 8, 10)},
    };
    RunSteps(move, owner, std::begin(steps), std::end(steps), SetLevelVar);
}

TEST_F(MoveTest, HorizontalOddWidthKeepsItsExtent) {
    // (0, 0, 21, 10): centre 10, half width 10; the width stays 21.
    LoadOwner(R(0, 0, 21, 10), MoveRecord<kestro::HMoveRecord>(0, 100, 0.0f, 10.0f));
    EXPECT_EQ(RunAt(Move<CAniHMove>(), 1), 1);
    EXPECT_EQ(owner.m_rect, R(10, 0, 31, 10));
}

TEST_F(MoveTest, ReversedRangeMovesTheOtherWay) {
    // Values 10..0 map to offsets 0..100: a rising value moves left (horizontal) or up.
    LoadOwner(R(0, 0, 20, 10), MoveRecord<kestro::HMoveRecord>(0, 100, 10.0f, 0.0f),
              MoveRecord<kestro::VMoveRecord>(0, 100, 10.0f, 0.0f));
    CAniHMove& h = Move<CAniHMove>();
    CAniVMove& v = Move<CAniVMove>();
    EXPECT_EQ(h.m_dMaxValue, 0.0);
    SetLevel(8);
    EXPECT_EQ(owner.Run(KV_EVENT_REFRESH), true);
    EXPECT_EQ(owner.m_rect, R(20, 20, 40, 30));
    SetLevel(9);
    EXPECT_EQ(h.Run(KV_EVENT_REFRESH), 1);
    EXPECT_EQ(v.Run(KV_EVENT_REFRESH), 1);
    EXPECT_EQ(owner.m_rect, R(10, 10, 30, 20));
}

TEST_F(MoveTest, EqualValuesInTheRecordGiveASpanOfOne) {
    // min = max = 5: the horizontal move takes max = min + 1, the vertical one max + 1; both 6.
    LoadOwner(R(0, 0, 20, 10), MoveRecord<kestro::HMoveRecord>(0, 100, 5.0f, 5.0f),
              MoveRecord<kestro::VMoveRecord>(0, 40, 5.0f, 5.0f));
    CAniHMove& h = Move<CAniHMove>();
    CAniVMove& v = Move<CAniVMove>();
    EXPECT_EQ(h.m_dMaxValue, 6.0);
    EXPECT_EQ(v.m_dMaxValue, 6.0);
    SetLevel(5.5);
    EXPECT_EQ(h.Run(KV_EVENT_REFRESH), 1);
    EXPECT_EQ(v.Run(KV_EVENT_REFRESH), 1);
    EXPECT_EQ(owner.m_rect, R(50, 20, 70, 30));
    SetLevel(6);
    EXPECT_EQ(owner.Run(KV_EVENT_REFRESH), true);
    EXPECT_EQ(owner.m_rect, R(100, 40, 120, 50));
}

TEST_F(MoveTest, AnEmptyRangeAtRunTimeUsesTheMinimumOffset) {
    LoadOwner(R(0, 0, 20, 10), MoveRecord<kestro::HMoveRecord>(7, 100, 2.0f, 4.0f),
              MoveRecord<kestro::VMoveRecord>(-3, 100, 2.0f, 4.0f));
    CAniHMove& h = Move<CAniHMove>();
    CAniVMove& v = Move<CAniVMove>();
    // Exactly equal, and equal within the tolerance 1e-6: no division by the tiny span.
    for (double max : {2.0, 2.0 + 5e-7}) {
        SCOPED_TRACE(max);
        owner.m_rect = R(0, 0, 20, 10);
        h.m_dMaxValue = max;
        v.m_dMaxValue = max;
        for (double value : {1000.0, -3.0}) {
            SetLevel(value);
            owner.Run(KV_EVENT_REFRESH);
            EXPECT_EQ(owner.m_rect, R(7, -3, 27, 7)) << value;
        }
    }
}

// ---- vertical ----

TEST_F(MoveTest, VerticalPositiveOffsetsMoveDown) {
    LoadOwner(R(0, 0, 10, 20), MoveRecord<kestro::VMoveRecord>(0, 100, 0.0f, 10.0f));
    CAniVMove& move = Move<CAniVMove>();
    EXPECT_EQ(move.m_nBaseCenter, 10);
    const Step steps[] = {
        {"half way: centre 60", 5, 1, R(0, 50, 10, 70)},
        {"the same value again changes nothing", 5, 0, R(0, 50, 10, 70)},
        {"the minimum puts it back", 0, 1, R(0, 0, 10, 20)},
        {"beyond the maximum extrapolates", 20, 1, R(0, 200, 10, 220)},
        {"below the minimum extrapolates", -3, 1, R(0, -30, 10, -10)},
        // Centre -2.5 from -20: the shift 17.5 truncates to 17.
        {"a half pixel truncates", -1.25, 1, R(0, -13, 10, 7)},
    };
    RunSteps(move, owner, std::begin(steps), std::end(steps), SetLevelVar);
}

TEST_F(MoveTest, VerticalNegativeOffsetsMoveUp) {
    LoadOwner(R(0, 0, 10, 20), MoveRecord<kestro::VMoveRecord>(-40, 0, 0.0f, 10.0f));
    CAniVMove& move = Move<CAniVMove>();
    EXPECT_EQ(RunAt(move, 0), 1);
    EXPECT_EQ(owner.m_rect, R(0, -40, 10, -20));
    EXPECT_EQ(RunAt(move, 10), 1);
    EXPECT_EQ(owner.m_rect, R(0, 0, 10, 20));
}

TEST_F(MoveTest, HorizontalMultipliesFirstVerticalDividesFirst) {
    // Offsets 0..61 over 0..7 at the value 7: 7 * 61 / 7 is exactly 61, while 61 / 7 * 7 is
    // 60.99999999999999 and truncates to 60. Both owners are centred on 0.
    LoadOwner(R(-5, -5, 5, 5), MoveRecord<kestro::HMoveRecord>(0, 61, 0.0f, 7.0f),
              MoveRecord<kestro::VMoveRecord>(0, 61, 0.0f, 7.0f));
    SetLevel(7);
    EXPECT_EQ(owner.Run(KV_EVENT_REFRESH), true);
    EXPECT_EQ(owner.m_rect, R(56, 55, 66, 65));
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
        LoadInto(horizontal, R(c.low, 0, c.high, 10),
                 MoveRecord<kestro::HMoveRecord>(0, 100, 0, 10));
        CAniHMove& h = Move<CAniHMove>(horizontal);
        EXPECT_EQ(h.m_nBaseCenter, c.baseCenter);
        EXPECT_EQ(RunAt(h, c.value), c.result);
        EXPECT_EQ(horizontal.m_rect, R(c.newLow, 0, c.newHigh, 10));

        CDrawObj vertical;
        LoadInto(vertical, R(0, c.low, 10, c.high), MoveRecord<kestro::VMoveRecord>(0, 100, 0, 10));
        CAniVMove& v = Move<CAniVMove>(vertical);
        EXPECT_EQ(v.m_nBaseCenter, c.baseCenter);
        EXPECT_EQ(RunAt(v, c.value), c.result);
        EXPECT_EQ(vertical.m_rect, R(0, c.newLow, 10, c.newHigh));
    }
}

TEST_F(MoveTest, TheRangeGuardComesAfterTheCentreTest) {
    // At the top already (centre 2147483627): the target 2147483640 differs from the centre,
    // so the run reports a move, although the guard brings the target back to where it is.
    LoadOwner(R(2147483600, 0, 2147483640, 10),
              MoveRecord<kestro::HMoveRecord>(0, 100, 0.0f, 10.0f));
    CAniHMove& move = Move<CAniHMove>();
    ASSERT_EQ(RunAt(move, 1), 1);
    EXPECT_EQ(RunAt(move, 2), 1);
    EXPECT_EQ(owner.m_rect, R(2147483607, 0, 2147483647, 10));
}

TEST_F(MoveTest, ANonNumberLeavesTheOwnerAlone) {
    LoadOwner(R(0, 0, 20, 10), MoveRecord<kestro::HMoveRecord>(0, 100, 0.0f, 10.0f),
              MoveRecord<kestro::VMoveRecord>(0, 100, 0.0f, 10.0f));
    ScriptService::instance().queueResult(ScriptResult::value(std::nan("")));
    ScriptService::instance().queueResult(ScriptResult::value(std::nan("")));
    EXPECT_FALSE(owner.Run(KV_EVENT_REFRESH));
    EXPECT_EQ(owner.m_rect, R(0, 0, 20, 10));
}

// ---- attaching and state ----

TEST_F(MoveTest, InitObjCapturesTheCentreAndMarksTheOwner) {
    EXPECT_EQ(owner.m_bAnimated, 0);
    LoadOwner(R(0, 3, 20, 18), MoveRecord<kestro::HMoveRecord>(0, 100, 0.0f, 10.0f),
              MoveRecord<kestro::VMoveRecord>(0, 100, 0.0f, 10.0f));
    EXPECT_EQ(owner.m_bAnimated, 1);
    CAniHMove& h = Move<CAniHMove>();
    CAniVMove& v = Move<CAniVMove>();
    EXPECT_EQ(h.m_pDrawObj, &owner);
    EXPECT_EQ(v.m_pDrawObj, &owner);
    EXPECT_EQ(h.m_nBaseCenter, 10);
    EXPECT_EQ(v.m_nBaseCenter, 10); // (3 + 18) / 2 truncates

    // A new InitObj takes the rectangle as it is now.
    owner.m_rect = R(50, -7, 70, 0);
    h.InitObj(&owner);
    v.InitObj(&owner);
    EXPECT_EQ(h.m_nBaseCenter, 60);
    EXPECT_EQ(v.m_nBaseCenter, -3); // -7 / 2 truncates toward zero
    SetLevel(0);
    EXPECT_FALSE(owner.Run(KV_EVENT_REFRESH));
    SetLevel(1);
    EXPECT_TRUE(owner.Run(KV_EVENT_REFRESH));
    EXPECT_EQ(owner.m_rect, R(60, 3, 80, 10));
}

TEST_F(MoveTest, AMovedOwnerIsBroughtBackToTheTarget) {
    LoadOwner(R(0, 0, 20, 10), MoveRecord<kestro::HMoveRecord>(0, 100, 0.0f, 10.0f));
    CAniHMove& move = Move<CAniHMove>();
    ASSERT_EQ(RunAt(move, 5), 1);
    owner.m_rect = R(100, 0, 140, 10); // moved and widened by someone else
    EXPECT_EQ(RunAt(move, 5), 1);
    EXPECT_EQ(owner.m_rect, R(40, 0, 80, 10));
}

TEST_F(MoveTest, InitObjWithoutOwnerReports) {
    struct Case {
        CAniObj* animation;
        int code;
        const char* message;
    };
    CAniHMove h;
    CAniVMove v;
    const Case cases[] = {
        {&h, 18, "CAniHMove::InitObj failed！para is null!"},
        {&v, 35, "CAniVMove::InitObj failed！para is null!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        HostLog::instance().clear();
        c.animation->InitObj(nullptr);
        EXPECT_EQ(c.animation->m_pDrawObj, nullptr);
        ASSERT_EQ(HostLog::instance().monitor().size(), 1u);
        const kestro::MonitorRecord& m = HostLog::instance().monitor()[0];
        EXPECT_EQ(m.module, 10);
        EXPECT_EQ(m.code, c.code);
        EXPECT_EQ(m.message, c.message);
        EXPECT_EQ(m.kind, 1);
        EXPECT_TRUE(HostLog::instance().logs().empty());
        EXPECT_EQ(c.animation->Run(KV_EVENT_REFRESH), 0);
    }
}

TEST_F(MoveTest, OnlyTheRefreshIsHandled) {
    LoadOwner(R(0, 0, 20, 10), MoveRecord<kestro::HMoveRecord>(0, 100, 0.0f, 10.0f),
              MoveRecord<kestro::VMoveRecord>(0, 100, 0.0f, 10.0f));
    SetLevel(5);
    const unsigned long long runs = ScriptService::instance().runs();
    for (int event : {-1, 1, 2, 3, 5, 11111, 88888, 65}) {
        EXPECT_EQ(Move<CAniHMove>().Run(event), 0) << event;
        EXPECT_EQ(Move<CAniVMove>().Run(event), 0) << event;
    }
    EXPECT_EQ(ScriptService::instance().runs(), runs);
    EXPECT_EQ(owner.m_rect, R(0, 0, 20, 10));
}

TEST_F(MoveTest, ARefreshAllocatesNothing) {
    LoadOwner(R(0, 0, 20, 10), MoveRecord<kestro::HMoveRecord>(0, 100, 0.0f, 10.0f),
              MoveRecord<kestro::VMoveRecord>(0, 100, 0.0f, 10.0f));
    if (!KV_COUNT_ALLOCATIONS) {
        GTEST_SKIP() << "allocations are not counted under the sanitizers";
    }
    CAniHMove& h = Move<CAniHMove>();
    CAniVMove& v = Move<CAniVMove>();
    for (double value : {5.0, 5.0, -3.0}) {
        SetLevel(value);
        const unsigned long before = g_allocations.load();
        h.Run(KV_EVENT_REFRESH);
        v.Run(KV_EVENT_REFRESH);
        EXPECT_EQ(g_allocations.load() - before, 0u) << value;
    }
    EXPECT_EQ(owner.m_rect, R(-30, -30, -10, -20)); // vertical base centre 5
}

// ---- failures ----

struct FailureCase {
    const char* what;
    int code;
    const char* message;
    const char* file;
    int line;
    const char* tag;
    const char* text;
};

TEST_F(MoveTest, ExpressionFailureReportsAndKeepsTheOwner) {
    LoadOwner(R(0, 0, 20, 10), MoveRecord<kestro::HMoveRecord>(0, 100, 0.0f, 10.0f),
              MoveRecord<kestro::VMoveRecord>(0, 100, 0.0f, 10.0f));
    const FailureCase cases[] = {
        {"horizontal", 19, "CAniHMove expressFloat run error", "animation\\anihmove", 98,
         "CAniHMove ExpressFloat errorCod", "error"},
        {"vertical", 36, "CAniVMove expressFloat run error", "animation\\anivmove", 94, "CAniVMove",
         "CAniVMove ExpressFloat error"},
    };
    CAniObj* animations[] = {&Move<CAniHMove>(), &Move<CAniVMove>()};
    // Level has no value yet: the program cannot read it.
    for (size_t i = 0; i < 2; ++i) {
        const FailureCase& c = cases[i];
        SCOPED_TRACE(c.what);
        HostLog::instance().clear();
        EXPECT_EQ(animations[i]->Run(KV_EVENT_REFRESH), 0);
        EXPECT_EQ(owner.m_rect, R(0, 0, 20, 10));
        ASSERT_EQ(HostLog::instance().monitor().size(), 1u);
        const kestro::MonitorRecord& m = HostLog::instance().monitor()[0];
        EXPECT_EQ(m.module, 10);
        EXPECT_EQ(m.code, c.code);
        EXPECT_EQ(m.message, c.message);
        EXPECT_EQ(m.kind, 1);
        ASSERT_EQ(HostLog::instance().logs().size(), 1u);
        const kestro::LogRecord& log = HostLog::instance().logs()[0];
        EXPECT_EQ(log.module, 10);
        EXPECT_EQ(log.function, "Run");
        EXPECT_EQ(log.file, c.file);
        EXPECT_EQ(log.line, c.line);
        EXPECT_EQ(log.flags, 0);
        EXPECT_EQ(log.level, 2);
        EXPECT_EQ(log.tag, c.tag);
        EXPECT_EQ(log.text, c.text);
    }
    // A forced failure after a good run leaves the moved owner where it is.
    SetLevel(5);
    ASSERT_TRUE(owner.Run(KV_EVENT_REFRESH));
    ScriptService::instance().queueResult(ScriptResult::failure());
    ScriptService::instance().queueResult(ScriptResult::failure());
    SetLevel(0);
    EXPECT_FALSE(owner.Run(KV_EVENT_REFRESH));
    EXPECT_EQ(owner.m_rect, R(50, 50, 70, 60));
}

} // namespace
