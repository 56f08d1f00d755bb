// ctest-label: animation
// The blink animation: on the blink ticks it flips the owner's blink phase (show/hide) or its
// outline, fill and text colours (colour blink) while the condition holds, and brings the owner
// back to its own look when the condition ends.
#include "kestrovalumen/animation/aniblink.h"
#include "runtime/logger.h"
#include "runtime/script.h"
#include "tests/kestrovalumen/animation/anitestsupport.h"
#include "tests/support/hostfixture.h"

#include <cstdlib>
#include <iterator>
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

constexpr uint32_t kOwnPen = 0x102030;
constexpr uint32_t kOwnBrush = 0xC0C0C0;
constexpr uint32_t kOwnText = 0x405060;
constexpr uint32_t kBlinkPen = 0xFF0000;
constexpr uint32_t kBlinkBrush = 0x00FF00;
constexpr uint32_t kBlinkText = 0x0000FF;

class AniBlinkTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        alarm = Rtdb::instance().define("Alarm", VarType::Float);
        zero = Rtdb::instance().define("Zero", VarType::Int);
        ASSERT_EQ(Rtdb::instance().setInt(zero, 0), kestro::RtdbOk);
        setAlarm(1.0);
    }

    static kestro::BlinkRecord blinkRecord(int32_t blinkType, const std::string& source) {
        kestro::BlinkRecord blink;
        blink.header.program = anitest::Program(source);
        blink.blinkExtra = 3;
        blink.blinkType = blinkType;
        blink.blinkTextColor = kBlinkText;
        blink.blinkPenColor = kBlinkPen;
        blink.blinkBrushColor = kBlinkBrush;
        return blink;
    }

    //! The owner's record: outline and fill flags as given, in the owner's own colours.
    static kestro::ObjectRecord ownerRecord(uint8_t pen = 1, uint8_t brush = 1) {
        kestro::ObjectRecord record = anitest::Record(20, 20, 80, 50);
        record.pen = pen;
        record.penColor = kOwnPen;
        record.brush = brush;
        record.brushColor = kOwnBrush;
        return record;
    }

    //! Loads target with one blink animation and gives it the database's expression host.
    CAniBlink* load(CDrawObj& target, const kestro::BlinkRecord& blink,
                    kestro::ObjectRecord record) {
        record.animations.push_back(kestro::animationEntry(blink));
        anitest::Load(target, record);
        target.SetScriptHost(&host);
        CAniBlink* animation = anitest::Animation<CAniBlink>(target);
        EXPECT_NE(animation, nullptr);
        return animation;
    }

    CAniBlink* load(int32_t blinkType, const std::string& source = "Alarm", uint8_t pen = 1,
                    uint8_t brush = 1) {
        return load(owner, blinkRecord(blinkType, source), ownerRecord(pen, brush));
    }

    void setAlarm(double value) {
        ASSERT_EQ(Rtdb::instance().setFloat(alarm, value), kestro::RtdbOk);
    }

    struct Look {
        int32_t pen;
        uint32_t penColor;
        int32_t brush;
        uint32_t brushColor;
    };

    void expectLook(const CDrawObj& target, const Look& look) {
        EXPECT_EQ(target.m_bPen, look.pen);
        EXPECT_EQ(target.m_logPen.color, look.penColor);
        EXPECT_EQ(target.m_bBrush, look.brush);
        EXPECT_EQ(target.m_logBrush.color, look.brushColor);
    }

    kestro::RtdbScriptHost host;
    CDrawObj owner;
    int alarm = -1;
    int zero = -1;
};

TEST_F(AniBlinkTest, OnlyTheBlinkTicksRunIt) {
    for (int blinkType : {0, 1}) {
        SCOPED_TRACE(blinkType);
        CAniBlink* animation = load(blinkType);
        ASSERT_NE(animation, nullptr);
        const unsigned long long runsBefore = ScriptService::instance().runs();
        for (int event : {0, 4, -1, 5, 11111, 88888}) {
            SCOPED_TRACE(event);
            EXPECT_EQ(animation->Run(event), 0);
        }
        EXPECT_EQ(ScriptService::instance().runs(), runsBefore);
        EXPECT_EQ(owner.m_nShowState, 11);
        expectLook(owner, {1, kOwnPen, 1, kOwnBrush});
        EXPECT_EQ(animation->m_bBlinking, 0);
    }
}

// ---- show and hide ----

TEST_F(AniBlinkTest, ShowHideFlipsTheTensDigitOnEachTick) {
    CAniBlink* animation = load(0);
    ASSERT_NE(animation, nullptr);
    ASSERT_EQ(owner.m_nShowState, 11);
    const int ticks[] = {1, 2, 3, 1, 3, 2};
    int32_t expected = 11;
    for (int tick : ticks) {
        SCOPED_TRACE(tick);
        expected = expected == 11 ? 1 : 11;
        EXPECT_EQ(animation->Run(tick), 1);
        EXPECT_EQ(owner.m_nShowState, expected);
        EXPECT_EQ(animation->m_bBlinking, 1);
    }
    // The colours are not part of this kind of blink.
    expectLook(owner, {1, kOwnPen, 1, kOwnBrush});
}

TEST_F(AniBlinkTest, ShowHideKeepsTheUnitsDigit) {
    CAniBlink* animation = load(0);
    ASSERT_NE(animation, nullptr);
    owner.m_nShowState = 10; // shown but made invisible by a script
    EXPECT_EQ(animation->Run(1), 1);
    EXPECT_EQ(owner.m_nShowState, 0);
    EXPECT_EQ(animation->Run(2), 1);
    EXPECT_EQ(owner.m_nShowState, 10);
}

TEST_F(AniBlinkTest, ShowHideEndsOnlyInTheHiddenPhase) {
    CAniBlink* animation = load(0);
    ASSERT_NE(animation, nullptr);

    // Hidden phase: the end shows the owner again.
    EXPECT_EQ(animation->Run(1), 1);
    ASSERT_EQ(owner.m_nShowState, 1);
    setAlarm(0.0);
    EXPECT_EQ(animation->Run(2), 1);
    EXPECT_EQ(owner.m_nShowState, 11);
    EXPECT_EQ(animation->m_bBlinking, 0);
    EXPECT_EQ(animation->Run(3), 0);
    EXPECT_EQ(owner.m_nShowState, 11);

    // Shown phase: nothing to undo, but the blink stays armed.
    setAlarm(1.0);
    EXPECT_EQ(animation->Run(1), 1);
    EXPECT_EQ(animation->Run(1), 1);
    ASSERT_EQ(owner.m_nShowState, 11);
    setAlarm(0.0);
    EXPECT_EQ(animation->Run(2), 0);
    EXPECT_EQ(owner.m_nShowState, 11);
    EXPECT_EQ(animation->m_bBlinking, 1);

    // Armed, it shows an owner that something else put in the hidden phase.
    owner.SetShown(false);
    EXPECT_EQ(animation->Run(3), 1);
    EXPECT_EQ(owner.m_nShowState, 11);
    EXPECT_EQ(animation->m_bBlinking, 0);
}

TEST_F(AniBlinkTest, ShowHideNeverBlinkingLeavesAHiddenOwner) {
    CAniBlink* animation = load(0);
    ASSERT_NE(animation, nullptr);
    setAlarm(0.0);
    owner.SetShown(false);
    EXPECT_EQ(animation->Run(1), 0);
    EXPECT_EQ(owner.m_nShowState, 1);
}

TEST_F(AniBlinkTest, ConditionIsTheValueTruncatedToAnInteger) {
    struct Case {
        double value;
        bool blinks;
    };
    const Case cases[] = {
        {0.5, false}, {-0.5, false}, {0.999, false}, {0.0, false},
        {1.0, true},  {1.5, true},   {-1.0, true},   {-2.7, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        owner.m_nShowState = 11;
        CAniBlink* animation = load(0);
        ASSERT_NE(animation, nullptr);
        setAlarm(c.value);
        EXPECT_EQ(animation->Run(2), c.blinks ? 1 : 0);
        EXPECT_EQ(owner.m_nShowState, c.blinks ? 1 : 11);
        EXPECT_EQ(animation->m_bBlinking, c.blinks ? 1 : 0);
    }
}

TEST_F(AniBlinkTest, OwnerRunPassesTheTickOn) {
    load(0);
    EXPECT_TRUE(owner.Run(1));
    EXPECT_TRUE(owner.IsHidden());
    EXPECT_FALSE(owner.Run(0));
    EXPECT_TRUE(owner.IsHidden());
}

// ---- colours ----

TEST_F(AniBlinkTest, ColourBlinkAlternatesOutlineAndFill) {
    CAniBlink* animation = load(1);
    ASSERT_NE(animation, nullptr);
    const Look own{1, kOwnPen, 1, kOwnBrush};
    const Look blink{1, kBlinkPen, 1, kBlinkBrush};
    const int ticks[] = {1, 2, 3, 3};
    for (size_t i = 0; i < std::size(ticks); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(animation->Run(ticks[i]), 1);
        expectLook(owner, i % 2 == 0 ? blink : own);
        EXPECT_EQ(owner.m_nShowState, 11);
    }
}

TEST_F(AniBlinkTest, ColourBlinkSwitchesAnOutlineThatIsOffOnAndOffAgain) {
    CAniBlink* animation = load(2, "Alarm", /*pen=*/0, /*brush=*/0);
    ASSERT_NE(animation, nullptr);
    ASSERT_EQ(animation->m_bSavedPen, 0);
    EXPECT_EQ(animation->Run(1), 1);
    expectLook(owner, {1, kBlinkPen, 1, kBlinkBrush});
    EXPECT_EQ(animation->Run(1), 1);
    expectLook(owner, {0, kOwnPen, 0, kOwnBrush});
}

TEST_F(AniBlinkTest, ColourBlinkEndRestoresAndAlwaysReportsIt) {
    CAniBlink* animation = load(1, "Alarm", /*pen=*/0, /*brush=*/1);
    ASSERT_NE(animation, nullptr);
    const Look own{0, kOwnPen, 1, kOwnBrush};

    // Ending in the blink phase.
    EXPECT_EQ(animation->Run(1), 1);
    setAlarm(0.0);
    EXPECT_EQ(animation->Run(2), 1);
    expectLook(owner, own);
    EXPECT_EQ(animation->m_bBlinking, 0);
    EXPECT_EQ(animation->Run(2), 0);

    // Ending in the own phase: nothing to put back, still a change.
    setAlarm(1.0);
    EXPECT_EQ(animation->Run(1), 1);
    EXPECT_EQ(animation->Run(1), 1);
    expectLook(owner, own);
    setAlarm(0.0);
    EXPECT_EQ(animation->Run(3), 1);
    expectLook(owner, own);
    EXPECT_EQ(animation->Run(3), 0);
}

TEST_F(AniBlinkTest, ColourBlinkEndPutsBackWhatElseChanged) {
    CAniBlink* animation = load(1);
    ASSERT_NE(animation, nullptr);
    EXPECT_EQ(animation->Run(1), 1);
    owner.m_logPen.color = 0x777777;
    owner.m_bBrush = 0;
    setAlarm(0.0);
    EXPECT_EQ(animation->Run(1), 1);
    expectLook(owner, {1, kOwnPen, 1, kOwnBrush});
}

TEST_F(AniBlinkTest, ColourBlinkEqualToTheOwnColourStillReportsEachTick) {
    kestro::BlinkRecord blink = blinkRecord(1, "Alarm");
    blink.blinkPenColor = kOwnPen;
    blink.blinkBrushColor = kOwnBrush;
    CAniBlink* animation = load(owner, blink, ownerRecord());
    ASSERT_NE(animation, nullptr);
    for (int tick : {1, 2, 3, 1}) {
        SCOPED_TRACE(tick);
        EXPECT_EQ(animation->Run(tick), 1);
        expectLook(owner, {1, kOwnPen, 1, kOwnBrush});
    }
}

TEST_F(AniBlinkTest, ColourBlinkPartsDecideTheirPhaseEachOnItsOwn) {
    CAniBlink* animation = load(1);
    ASSERT_NE(animation, nullptr);
    // Something else recolours the outline while the owner shows its own look: the outline no
    // longer matches what was saved, so it goes back to the saved look while the fill blinks.
    owner.m_logPen.color = 0x777777;
    EXPECT_EQ(animation->Run(1), 1);
    expectLook(owner, {1, kOwnPen, 1, kBlinkBrush});
    EXPECT_EQ(animation->Run(1), 1);
    expectLook(owner, {1, kBlinkPen, 1, kOwnBrush});

    // The flag alone counts too.
    owner.m_bPen = 0;
    EXPECT_EQ(animation->Run(1), 1);
    expectLook(owner, {1, kOwnPen, 1, kBlinkBrush});
}

// ---- text colour of the text kinds ----

TEST_F(AniBlinkTest, ColourBlinkTextPartByOwnerKind) {
    struct Case {
        int kind;
        uint32_t saved;      // m_crSavedText after InitObj
        uint32_t blinkPhase; // m_crText after the first tick
        uint32_t ownPhase;   // m_crText after the second tick
        uint32_t afterEnd;   // m_crText after the end, from the blink phase
    };
    const Case cases[] = {
        {2, kOwnText, kBlinkText, kOwnText, kOwnText},
        {1, kOwnText, kBlinkText, kOwnText, kBlinkText}, // kind 1 is not restored at the end
        {0, 0, kOwnText, kOwnText, kOwnText},
        {3, 0, kOwnText, kOwnText, kOwnText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        setAlarm(1.0);
        anitest::TextOwner text(c.kind);
        text.m_crText = kOwnText;
        CAniBlink* animation = load(text, blinkRecord(1, "Alarm"), ownerRecord());
        ASSERT_NE(animation, nullptr);
        EXPECT_EQ(animation->m_crSavedText, c.saved);

        EXPECT_EQ(animation->Run(1), 1);
        EXPECT_EQ(text.m_crText, c.blinkPhase);
        expectLook(text, {1, kBlinkPen, 1, kBlinkBrush});
        EXPECT_EQ(animation->Run(2), 1);
        EXPECT_EQ(text.m_crText, c.ownPhase);

        EXPECT_EQ(animation->Run(3), 1);
        setAlarm(0.0);
        EXPECT_EQ(animation->Run(3), 1);
        EXPECT_EQ(text.m_crText, c.afterEnd);
        expectLook(text, {1, kOwnPen, 1, kOwnBrush});
    }
}

// ---- InitObj ----

TEST_F(AniBlinkTest, InitObjCapturesTheOwnLook) {
    CAniBlink* animation = load(1, "Alarm", /*pen=*/0, /*brush=*/1);
    ASSERT_NE(animation, nullptr);
    EXPECT_EQ(animation->m_pDrawObj, &owner);
    EXPECT_EQ(animation->m_crSavedPen, kOwnPen);
    EXPECT_EQ(animation->m_crSavedBrush, kOwnBrush);
    EXPECT_EQ(animation->m_bSavedPen, 0);
    EXPECT_EQ(animation->m_bSavedBrush, 1);
    EXPECT_EQ(animation->m_crSavedText, 0u);
    EXPECT_EQ(owner.m_bAnimated, 1);

    // Each InitObj takes the owner's state afresh; a shape's text colour is never taken.
    owner.m_bPen = 1;
    owner.m_logPen.color = 0x010203;
    owner.m_bBrush = 0;
    owner.m_logBrush.color = 0x040506;
    owner.m_crText = 0x070809;
    owner.m_bAnimated = 0;
    animation->InitObj(&owner);
    EXPECT_EQ(animation->m_crSavedPen, 0x010203u);
    EXPECT_EQ(animation->m_crSavedBrush, 0x040506u);
    EXPECT_EQ(animation->m_bSavedPen, 1);
    EXPECT_EQ(animation->m_bSavedBrush, 0);
    EXPECT_EQ(animation->m_crSavedText, 0u);
    EXPECT_EQ(owner.m_bAnimated, 1);
}

TEST_F(AniBlinkTest, InitObjWithoutOwnerStaysUnattachedSilently) {
    CAniBlink animation;
    animation.InitObj(nullptr);
    EXPECT_EQ(animation.m_pDrawObj, nullptr);
    EXPECT_EQ(animation.m_bSavedPen, 1);
    EXPECT_EQ(animation.m_bSavedBrush, 1);
    EXPECT_TRUE(HostLog::instance().monitor().empty());
    EXPECT_TRUE(HostLog::instance().logs().empty());
    EXPECT_EQ(animation.Run(1), 0);
    EXPECT_EQ(ScriptService::instance().runs(), 0u);
}

// ---- expression failure ----

TEST_F(AniBlinkTest, ExpressionFailureReportsAndKeepsPhaseAndColours) {
    for (int blinkType : {0, 1}) {
        SCOPED_TRACE(blinkType);
        owner.m_nShowState = 11;
        CAniBlink* animation = load(owner, blinkRecord(blinkType, "Alarm / Zero"), ownerRecord());
        ASSERT_NE(animation, nullptr);
        // One good tick first: forced value 1, then the real program fails on the next tick.
        ScriptService::instance().queueResult(kestro::ScriptResult::value(1.0));
        EXPECT_EQ(animation->Run(1), 1);
        const int32_t state = owner.m_nShowState;
        const Look look{owner.m_bPen, owner.m_logPen.color, owner.m_bBrush, owner.m_logBrush.color};
        HostLog::instance().clear();

        EXPECT_EQ(animation->Run(2), 0);
        EXPECT_EQ(owner.m_nShowState, state);
        expectLook(owner, look);
        EXPECT_EQ(animation->m_bBlinking, 1);

        const auto& monitor = HostLog::instance().monitor();
        ASSERT_EQ(monitor.size(), 1u);
        EXPECT_EQ(monitor[0].module, 10);
        EXPECT_EQ(monitor[0].code, 12);
        EXPECT_EQ(monitor[0].message, "CAniBlink expressFloat run error!");
        EXPECT_EQ(monitor[0].kind, 1);
        const auto& logs = HostLog::instance().logs();
        ASSERT_EQ(logs.size(), 1u);
        EXPECT_EQ(logs[0].module, 10);
        EXPECT_EQ(logs[0].function, "Run");
        EXPECT_EQ(logs[0].file, "animation\\aniblink");
        EXPECT_EQ(logs[0].file.size(), 18u); // one backslash
        EXPECT_EQ(logs[0].line, 132);
        EXPECT_EQ(logs[0].flags, 0);
        EXPECT_EQ(logs[0].level, 2);
        EXPECT_EQ(logs[0].tag, "CAniBlink");
        EXPECT_EQ(logs[0].text, "CAniBlink ExpressFloat errorCode!");
    }
}

// ---- no heap allocation on a tick ----

TEST_F(AniBlinkTest, TicksAllocateNothing) {
#ifdef KV_SANITIZED
    GTEST_SKIP() << "allocation counting needs the plain allocator";
#else
    for (int blinkType : {0, 1}) {
        SCOPED_TRACE(blinkType);
        CAniBlink* animation = load(blinkType);
        ASSERT_NE(animation, nullptr);
        for (double value : {1.0, 1.0, 1.0, 0.0, 0.0}) {
            setAlarm(value);
            t_allocations = 0;
            t_counting = true;
            animation->Run(1);
            t_counting = false;
            EXPECT_EQ(t_allocations, 0) << value;
        }
        EXPECT_EQ(animation->m_bBlinking, 0);
    }
#endif
}

} // namespace
