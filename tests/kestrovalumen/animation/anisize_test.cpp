// ctest-label: animation
// Size: a percentage of the size at attach, interpolated from the clamped value, laid out at
// one of seven anchors; resize through the owner's SetRect or clip through its clip rectangle.
#include "kestrovalumen/animation/anisize.h"
#include "runtime/logger.h"
#include "runtime/rtdb.h"
#include "runtime/script.h"
#include "tests/kestrovalumen/animation/anitestsupport.h"
#include "tests/support/hostfixture.h"

#include <atomic>
#include <cstdlib>
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

class SizeTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        m_level = Rtdb::instance().define("Level", kestro::VarType::Float);
        ASSERT_GE(m_level, 0);
    }

    //! Loads target with the rectangle and one size animation; returns the animation.
    CAniSize& LoadInto(SizedOwner& target, const Rect32& rect, const SizeSetup& setup) {
        kestro::SizeRecord size;
        size.header.program = anitest::Program("Level");
        size.sizeType = setup.sizeType;
        size.minValue = setup.minValue;
        size.minPercent = setup.minPercent;
        size.maxValue = setup.maxValue;
        size.maxPercent = setup.maxPercent;
        size.sizeMode = setup.sizeMode;
        kestro::ObjectRecord object = anitest::Record(rect.left, rect.top, rect.right, rect.bottom);
        object.animations = {kestro::animationEntry(size)};
        anitest::Load(target, object);
        target.SetScriptHost(&m_host);
        CAniSize* animation = anitest::Animation<CAniSize>(target);
        EXPECT_NE(animation, nullptr);
        return *animation;
    }

    CAniSize& Load(const Rect32& rect, const SizeSetup& setup) {
        return LoadInto(owner, rect, setup);
    }

    int RunAt(CAniSize& size, double value) {
        EXPECT_EQ(Rtdb::instance().setFloat(m_level, value), 0);
        return size.Run(KV_EVENT_REFRESH);
    }

    SizedOwner owner;

private:
    int m_level = -1;
    kestro::RtdbScriptHost m_host;
};

// ---- anchors ----

struct AnchorCase {
    int32_t sizeType;
    int result;
    Rect32 rect;
};

TEST_F(SizeTest, AnchorsAtHalfSize) {
    // Base 100 x 50 at (0, 0, 100, 50), percentages 0..100 over 0..100, value 50: w 50, h 25;
    // centre (50, 25), half sizes 25 and 12.
    const AnchorCase cases[] = {
        {0, 1, R(25, 13, 75, 37)}, // centre
        {1, 1, R(25, 0, 75, 50)},  // horizontal centre, height kept
        {2, 1, R(0, 13, 100, 37)}, // vertical centre, width kept
        {3, 1, R(0, 25, 100, 50)}, // bottom edge
        {4, 1, R(0, 0, 100, 25)},  // top edge
        {5, 1, R(50, 0, 100, 50)}, // right edge
        {6, 1, R(0, 0, 50, 50)},   // left edge
        {7, 0, R(0, 0, 100, 50)},  // no anchor: nothing changes
        {-1, 0, R(0, 0, 100, 50)},
    };
    for (const AnchorCase& c : cases) {
        SCOPED_TRACE(c.sizeType);
        SizedOwner target;
        SizeSetup setup;
        setup.sizeType = c.sizeType;
        CAniSize& size = LoadInto(target, R(0, 0, 100, 50), setup);
        EXPECT_EQ(RunAt(size, 50), c.result);
        EXPECT_EQ(target.m_rect, c.rect);
        EXPECT_EQ(target.setRectCalls, c.result);
        EXPECT_EQ(target.m_pClipRect, nullptr);
        EXPECT_EQ(target.m_bClip, 0);
    }
}

TEST_F(SizeTest, CentredAnchorWithAnOddWidthLosesAPixel) {
    // Base width 102 at 50 %: w 51, half 25, so the result is 50 wide around the centre 51.
    SizeSetup setup;
    setup.sizeType = 1;
    CAniSize& size = Load(R(0, 0, 102, 50), setup);
    EXPECT_EQ(RunAt(size, 50), 1);
    EXPECT_EQ(owner.m_rect, R(26, 0, 76, 50));
}

TEST_F(SizeTest, CentreOfEdgesNearTheTopOfTheRange) {
    // The edge sum passes 32 bits; the centre 2147483597 does not.
    SizeSetup setup;
    setup.sizeType = 1;
    CAniSize& size = Load(R(2147483547, 0, 2147483647, 50), setup);
    EXPECT_EQ(size.m_nBaseWidth, 100);
    EXPECT_EQ(RunAt(size, 50), 1);
    EXPECT_EQ(owner.m_rect, R(2147483572, 0, 2147483622, 50));
}

// ---- the percentage ----

struct Step {
    const char* what;
    double value;
    int result;
    Rect32 rect;
};

TEST_F(SizeTest, ValueIsClampedToTheRange) {
    SizeSetup setup;
    setup.sizeType = 6; // left edge kept: right = width
    CAniSize& size = Load(R(0, 0, 100, 50), setup);
    const Step steps[] = {
        {"half", 50, 1, R(0, 0, 50, 50)},
        {"the same value changes nothing", 50, 0, R(0, 0, 50, 50)},
        {"beyond the maximum takes the maximum percentage", 150, 1, R(0, 0, 100, 50)},
        {"below the minimum takes the minimum percentage", -20, 1, R(0, 0, 0, 50)},
        {"back to full size from the base, not from the current size", 100, 1, R(0, 0, 100, 50)},
        {"the percentage truncates: 33.9 gives 33", 33.9, 1, R(0, 0, 33, 50)},
        {"33.2 also gives 33", 33.2, 0, R(0, 0, 33, 50)},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        EXPECT_EQ(RunAt(size, step.value), step.result);
        EXPECT_EQ(owner.m_rect, step.rect);
    }
    EXPECT_EQ(owner.setRectCalls, 5);
}

TEST_F(SizeTest, PercentageTruncatesAndSizesRound) {
    // Percentages 0..100 over values 0..3, anchor 0 on (0, 0, 100, 50).
    SizeSetup setup;
    setup.maxValue = 3.0f;
    CAniSize& size = Load(R(0, 0, 100, 50), setup);
    // Value 1: p = trunc(33.33) = 33, w = 33, h = MulDiv(50, 33, 100) = 16.5 rounded to 17;
    // half sizes 16 and 8 around (50, 25).
    EXPECT_EQ(RunAt(size, 1), 1);
    EXPECT_EQ(owner.m_rect, R(34, 17, 66, 33));
    // Value 2: p = trunc(66.67) = 66, w = 66, h = 33; half sizes 33 and 16.
    EXPECT_EQ(RunAt(size, 2), 1);
    EXPECT_EQ(owner.m_rect, R(17, 9, 83, 41));
}

TEST_F(SizeTest, PercentagePerUnitIsTakenFirst) {
    // Percentages 0..61 over 0..7 at the value 7: 7 * (61 / 7) is 60.99999999999999, which
    // truncates to 60, where 7 * 61 / 7 would give 61.
    SizeSetup setup;
    setup.sizeType = 6;
    setup.maxValue = 7.0f;
    setup.maxPercent = 61;
    CAniSize& size = Load(R(0, 0, 100, 50), setup);
    EXPECT_EQ(RunAt(size, 7), 1);
    EXPECT_EQ(owner.m_rect, R(0, 0, 60, 50));
}

TEST_F(SizeTest, NegativePercentageGivesZeroSize) {
    // Percentages -50..100 over 0..100: 1.5 % per unit.
    SizeSetup setup;
    setup.minPercent = -50;
    CAniSize& size = Load(R(0, 0, 100, 50), setup);
    EXPECT_EQ(RunAt(size, 0), 1); // -50 % -> 0 %
    EXPECT_EQ(owner.m_rect, R(50, 25, 50, 25));
    EXPECT_EQ(RunAt(size, 20), 0); // -20 % -> 0 %
    // 50: -50 + 75 = 25 %: w 25, h 12.5 rounded to 13; half sizes 12 and 6 around (50, 25).
    EXPECT_EQ(RunAt(size, 50), 1);
    EXPECT_EQ(owner.m_rect, R(38, 19, 62, 31));
}

TEST_F(SizeTest, AnEmptyRangeAtRunTimeUsesTheMinimumPercentage) {
    SizeSetup setup;
    setup.sizeType = 6;
    setup.minValue = 2.0f;
    setup.minPercent = 30;
    setup.maxValue = 4.0f;
    CAniSize& size = Load(R(0, 0, 100, 50), setup);
    for (double max : {2.0, 2.0 + 5e-7}) {
        SCOPED_TRACE(max);
        owner.m_rect = R(0, 0, 100, 50);
        size.m_dMaxValue = max;
        for (double value : {1000.0, -3.0, 2.0}) {
            RunAt(size, value);
            EXPECT_EQ(owner.m_rect, R(0, 0, 30, 50)) << value;
        }
    }
}

// ---- resize mode ----

TEST_F(SizeTest, ResizeComparesTheExtentsOnly) {
    CAniSize& size = Load(R(0, 0, 100, 50), SizeSetup());
    ASSERT_EQ(RunAt(size, 50), 1);
    ASSERT_EQ(owner.m_rect, R(25, 13, 75, 37));
    // Moved by someone else, same size: nothing to do.
    owner.m_rect = R(125, 13, 175, 37);
    EXPECT_EQ(RunAt(size, 50), 0);
    EXPECT_EQ(owner.m_rect, R(125, 13, 175, 37));
    // A new size is laid out around the current centre (150, 25).
    EXPECT_EQ(RunAt(size, 100), 1);
    EXPECT_EQ(owner.m_rect, R(100, 0, 200, 50));
    EXPECT_EQ(owner.setRectCalls, 2);
}

TEST_F(SizeTest, InitObjCapturesTheBaseSizeAndMarksTheOwner) {
    EXPECT_EQ(owner.m_bAnimated, 0);
    CAniSize& size = Load(R(10, 20, 110, 70), SizeSetup());
    EXPECT_EQ(owner.m_bAnimated, 1);
    EXPECT_EQ(size.m_pDrawObj, &owner);
    EXPECT_EQ(size.m_nBaseWidth, 100);
    EXPECT_EQ(size.m_nBaseHeight, 50);
    ASSERT_EQ(RunAt(size, 50), 1);
    ASSERT_EQ(owner.m_rect, R(35, 33, 85, 57));
    // Attached again: the half size is the new base.
    size.InitObj(&owner);
    EXPECT_EQ(size.m_nBaseWidth, 50);
    EXPECT_EQ(size.m_nBaseHeight, 24);
    EXPECT_EQ(RunAt(size, 100), 0); // 100 % of the new base is the current size
    EXPECT_EQ(RunAt(size, 50), 1);  // w 25, h 12 around (60, 45)
    EXPECT_EQ(owner.m_rect, R(48, 39, 72, 51));
}

TEST_F(SizeTest, ResizingAllocatesNothing) {
    if (!KV_COUNT_ALLOCATIONS) {
        GTEST_SKIP() << "allocations are not counted under the sanitizers";
    }
    CAniSize& size = Load(R(0, 0, 100, 50), SizeSetup());
    for (double value : {50.0, 50.0, 100.0}) {
        ASSERT_EQ(Rtdb::instance().setFloat(Rtdb::instance().indexOf("Level"), value), 0);
        const unsigned long before = g_allocations.load();
        size.Run(KV_EVENT_REFRESH);
        EXPECT_EQ(g_allocations.load() - before, 0u) << value;
    }
    EXPECT_EQ(owner.m_rect, R(0, 0, 100, 50));
    EXPECT_EQ(owner.setRectCalls, 2);
}

// ---- clip mode ----

TEST_F(SizeTest, ClipModeKeepsTheRectangleAndReplacesTheClip) {
    for (int32_t mode : {1, 2, -1}) {
        SCOPED_TRACE(mode);
        SizedOwner target;
        SizeSetup setup;
        setup.sizeMode = mode;
        CAniSize& size = LoadInto(target, R(0, 0, 100, 50), setup);

        EXPECT_EQ(RunAt(size, 50), 1);
        EXPECT_EQ(target.m_rect, R(0, 0, 100, 50));
        ASSERT_NE(target.m_pClipRect, nullptr);
        EXPECT_EQ(*target.m_pClipRect, R(25, 13, 75, 37));
        EXPECT_EQ(target.m_bClip, 1);
        const Rect32* first = target.m_pClipRect;

        // Unchanged (50.5 % truncates to 50 %): the same clip object stays.
        EXPECT_EQ(RunAt(size, 50), 0);
        EXPECT_EQ(RunAt(size, 50.5), 0);
        EXPECT_EQ(target.m_pClipRect, first);
        EXPECT_EQ(*target.m_pClipRect, R(25, 13, 75, 37));

        // Changed: a new clip object replaces it (the new one exists before the old goes).
        EXPECT_EQ(RunAt(size, 100), 1);
        ASSERT_NE(target.m_pClipRect, nullptr);
        EXPECT_NE(target.m_pClipRect, first);
        EXPECT_EQ(*target.m_pClipRect, R(0, 0, 100, 50));
        EXPECT_EQ(target.m_rect, R(0, 0, 100, 50));
        EXPECT_EQ(target.setRectCalls, 0);
    }
}

TEST_F(SizeTest, ClipModeLaysOutFromTheRectangleNotTheClip) {
    SizeSetup setup;
    setup.sizeType = 5; // right edge kept
    setup.sizeMode = 1;
    CAniSize& size = Load(R(0, 0, 100, 50), setup);
    EXPECT_EQ(RunAt(size, 50), 1);
    EXPECT_EQ(*owner.m_pClipRect, R(50, 0, 100, 50));
    EXPECT_EQ(RunAt(size, 20), 1);
    EXPECT_EQ(*owner.m_pClipRect, R(80, 0, 100, 50));
}

TEST_F(SizeTest, ClipModeResetsTheClipFlag) {
    SizeSetup setup;
    setup.sizeMode = 1;
    CAniSize& size = Load(R(0, 0, 100, 50), setup);
    ASSERT_EQ(RunAt(size, 50), 1);
    owner.m_bClip = 0;
    EXPECT_EQ(RunAt(size, 60), 1);
    EXPECT_EQ(owner.m_bClip, 1);
}

// ---- events, attaching and failures ----

TEST_F(SizeTest, OnlyTheRefreshIsHandled) {
    CAniSize& size = Load(R(0, 0, 100, 50), SizeSetup());
    ASSERT_EQ(Rtdb::instance().setFloat(Rtdb::instance().indexOf("Level"), 50), 0);
    const unsigned long long runs = ScriptService::instance().runs();
    for (int event : {-1, 1, 2, 3, 5, 11111, 88888, 65}) {
        EXPECT_EQ(size.Run(event), 0) << event;
    }
    EXPECT_EQ(ScriptService::instance().runs(), runs);
    EXPECT_EQ(owner.m_rect, R(0, 0, 100, 50));
}

TEST_F(SizeTest, InitObjWithoutOwnerReports) {
    CAniSize size;
    size.InitObj(nullptr);
    EXPECT_EQ(size.m_pDrawObj, nullptr);
    ASSERT_EQ(HostLog::instance().monitor().size(), 1u);
    const kestro::MonitorRecord& m = HostLog::instance().monitor()[0];
    EXPECT_EQ(m.module, 10);
    EXPECT_EQ(m.code, 27);
    EXPECT_EQ(m.message, "CAniSize::InitObj failed！para is null!");
    EXPECT_EQ(m.kind, 1);
    EXPECT_TRUE(HostLog::instance().logs().empty());
    EXPECT_EQ(size.Run(KV_EVENT_REFRESH), 0);
}

TEST_F(SizeTest, ExpressionFailureReportsAndKeepsTheOwner) {
    for (int32_t mode : {0, 1}) {
        SCOPED_TRACE(mode);
        SizedOwner target;
        SizeSetup setup;
        setup.sizeMode = mode;
        CAniSize& size = LoadInto(target, R(0, 0, 100, 50), setup);
        HostLog::instance().clear();
        ScriptService::instance().queueResult(ScriptResult::failure());
        EXPECT_EQ(size.Run(KV_EVENT_REFRESH), 0);
        EXPECT_EQ(target.m_rect, R(0, 0, 100, 50));
        EXPECT_EQ(target.m_pClipRect, nullptr);
        EXPECT_EQ(target.setRectCalls, 0);
        ASSERT_EQ(HostLog::instance().monitor().size(), 1u);
        const kestro::MonitorRecord& m = HostLog::instance().monitor()[0];
        EXPECT_EQ(m.module, 10);
        EXPECT_EQ(m.code, 28);
        EXPECT_EQ(m.message, "CAniSize expressFloat run error");
        EXPECT_EQ(m.kind, 1);
        ASSERT_EQ(HostLog::instance().logs().size(), 1u);
        const kestro::LogRecord& log = HostLog::instance().logs()[0];
        EXPECT_EQ(log.module, 10);
        EXPECT_EQ(log.function, "Run");
        EXPECT_EQ(log.file, "animation\\anisize");
        EXPECT_EQ(log.line, 115);
        EXPECT_EQ(log.flags, 0);
        EXPECT_EQ(log.level, 2);
        EXPECT_EQ(log.tag, "CAniSize");
        EXPECT_EQ(log.text, "CAniSize ExpressFloat error");
    }
}

} // namespace
