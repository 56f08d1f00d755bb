// The blink animation: on the blink ticks it flips the owner's blink phase (show/hide) or its
// outline, fill and text colours (colour blink) while the condition holds, and brings the owner
// back to its own look when the condition ends.
#include "kestrovalumen/animation/aniblink.h"
#include "tests/kestrovalumen/animation/anitestsupport.h"

#include <iterator>

namespace {

using kestro::HostLog;

constexpr uint32_t kOwnPen = 0x102030;
constexpr uint32_t kOwnBrush = 0xC0C0C0;
constexpr uint32_t kOwnText = 0x405060;
constexpr uint32_t kBlinkPen = 0xFF0000;
constexpr uint32_t kBlinkBrush = 0x00FF00;
constexpr uint32_t kBlinkText = 0x0000FF;

struct Look {
    int32_t pen;
    uint32_t penColor;
    int32_t brush;
    uint32_t brushColor;
};

const Look kOwn{1, kOwnPen, 1, kOwnBrush};
const Look kBlink{1, kBlinkPen, 1, kBlinkBrush};

class AniBlinkTest : public anitest::AnimationTest {
protected:
    void SetUp() override {
        AnimationTest::SetUp();
        alarm = define("Alarm", kestro::VarType::Float);
        setInt(define("Zero", kestro::VarType::Int), 0);
        set(alarm, 1.0);
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

    CAniBlink* load(CDrawObj& target, const kestro::BlinkRecord& blink,
                    const kestro::ObjectRecord& record) {
        return attach<CAniBlink>(target, record, {kestro::animationEntry(blink)});
    }

    CAniBlink* load(int32_t blinkType, const std::string& source = "Alarm", uint8_t pen = 1,
                    uint8_t brush = 1) {
        return load(owner, blinkRecord(blinkType, source), ownerRecord(pen, brush));
    }

    static void expectLook(const CDrawObj& target, const Look& look) {
        EXPECT_EQ(target.m_bPen, look.pen);
        EXPECT_EQ(target.m_logPen.color, look.penColor);
        EXPECT_EQ(target.m_bBrush, look.brush);
        EXPECT_EQ(target.m_logBrush.color, look.brushColor);
    }

    CDrawObj owner;
    int alarm = -1;
};

TEST_F(AniBlinkTest, OnlyTheBlinkTicksRunIt) {
    for (int blinkType : {0, 1}) {
        SCOPED_TRACE(blinkType);
        CAniBlink* animation = load(blinkType);
        ASSERT_NE(animation, nullptr);
        const unsigned long long runsBefore = scriptRuns();
        for (int event : {0, 4, -1, 5, 11111, 88888}) {
            EXPECT_EQ(animation->Run(event), 0) << event;
        }
        EXPECT_EQ(scriptRuns(), runsBefore);
        EXPECT_EQ(owner.m_nShowState, 11);
        expectLook(owner, kOwn);
        EXPECT_EQ(animation->m_bBlinking, 0);
    }
    // Through the owner, a tick is passed on.
    EXPECT_TRUE(owner.Run(1));
    EXPECT_FALSE(owner.Run(0));
}

// ---- show and hide ----

TEST_F(AniBlinkTest, ShowHideFlipsTheTensDigitOnEachTickAndKeepsTheUnitsDigit) {
    CAniBlink* animation = load(0);
    ASSERT_NE(animation, nullptr);
    ASSERT_EQ(owner.m_nShowState, 11);
    int32_t expected = 11;
    for (int tick : {1, 2, 3, 1, 3, 2}) {
        SCOPED_TRACE(tick);
        expected = expected == 11 ? 1 : 11;
        EXPECT_EQ(animation->Run(tick), 1);
        EXPECT_EQ(owner.m_nShowState, expected);
        EXPECT_EQ(animation->m_bBlinking, 1);
    }
    expectLook(owner, kOwn); // the colours are not part of this kind of blink

    owner.m_nShowState = 10; // shown but made invisible by a script
    EXPECT_EQ(animation->Run(1), 1);
    EXPECT_EQ(owner.m_nShowState, 0);
    EXPECT_EQ(animation->Run(2), 1);
    EXPECT_EQ(owner.m_nShowState, 10);
}

TEST_F(AniBlinkTest, ShowHideEndsOnlyInTheHiddenPhase) {
    CAniBlink* animation = load(0);
    ASSERT_NE(animation, nullptr);

    // Never blinking: a hidden owner stays hidden.
    set(alarm, 0.0);
    owner.SetShown(false);
    EXPECT_EQ(animation->Run(1), 0);
    EXPECT_EQ(owner.m_nShowState, 1);
    owner.SetShown(true);

    // Hidden phase: the end shows the owner again.
    set(alarm, 1.0);
    EXPECT_EQ(animation->Run(1), 1);
    ASSERT_EQ(owner.m_nShowState, 1);
    set(alarm, 0.0);
    EXPECT_EQ(animation->Run(2), 1);
    EXPECT_EQ(owner.m_nShowState, 11);
    EXPECT_EQ(animation->m_bBlinking, 0);
    EXPECT_EQ(animation->Run(3), 0);
    EXPECT_EQ(owner.m_nShowState, 11);

    // Shown phase: nothing to undo, but the blink stays armed.
    set(alarm, 1.0);
    EXPECT_EQ(animation->Run(1), 1);
    EXPECT_EQ(animation->Run(1), 1);
    ASSERT_EQ(owner.m_nShowState, 11);
    set(alarm, 0.0);
    EXPECT_EQ(animation->Run(2), 0);
    EXPECT_EQ(owner.m_nShowState, 11);
    EXPECT_EQ(animation->m_bBlinking, 1);

    // Armed, it shows an owner that something else put in the hidden phase.
    owner.SetShown(false);
    EXPECT_EQ(animation->Run(3), 1);
    EXPECT_EQ(owner.m_nShowState, 11);
    EXPECT_EQ(animation->m_bBlinking, 0);
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
        set(alarm, c.value);
        EXPECT_EQ(animation->Run(2), c.blinks ? 1 : 0);
        EXPECT_EQ(owner.m_nShowState, c.blinks ? 1 : 11);
        EXPECT_EQ(animation->m_bBlinking, c.blinks ? 1 : 0);
    }
}

// ---- colours ----

TEST_F(AniBlinkTest, ColourBlinkAlternatesOutlineAndFillAndReportsEachTick) {
    kestro::BlinkRecord sameColours = blinkRecord(1, "Alarm");
    sameColours.blinkPenColor = kOwnPen;
    sameColours.blinkBrushColor = kOwnBrush;
    struct Case {
        kestro::BlinkRecord record;
        Look blinkPhase;
    };
    const Case cases[] = {{blinkRecord(1, "Alarm"), kBlink}, {sameColours, kOwn}};
    for (const Case& c : cases) {
        CAniBlink* animation = load(owner, c.record, ownerRecord());
        ASSERT_NE(animation, nullptr);
        const int ticks[] = {1, 2, 3, 3};
        for (size_t i = 0; i < std::size(ticks); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(animation->Run(ticks[i]), 1);
            expectLook(owner, i % 2 == 0 ? c.blinkPhase : kOwn);
            EXPECT_EQ(owner.m_nShowState, 11);
        }
    }
}

TEST_F(AniBlinkTest, ColourBlinkSwitchesAnOutlineThatIsOffOnAndOffAgain) {
    CAniBlink* animation = load(2, "Alarm", /*pen=*/0, /*brush=*/0);
    ASSERT_NE(animation, nullptr);
    ASSERT_EQ(animation->m_bSavedPen, 0);
    EXPECT_EQ(animation->Run(1), 1);
    expectLook(owner, kBlink);
    EXPECT_EQ(animation->Run(1), 1);
    expectLook(owner, {0, kOwnPen, 0, kOwnBrush});
}

TEST_F(AniBlinkTest, ColourBlinkEndRestoresAndAlwaysReportsIt) {
    CAniBlink* animation = load(1, "Alarm", /*pen=*/0, /*brush=*/1);
    ASSERT_NE(animation, nullptr);
    const Look own{0, kOwnPen, 1, kOwnBrush};

    // Ending in the blink phase.
    EXPECT_EQ(animation->Run(1), 1);
    set(alarm, 0.0);
    EXPECT_EQ(animation->Run(2), 1);
    expectLook(owner, own);
    EXPECT_EQ(animation->m_bBlinking, 0);
    EXPECT_EQ(animation->Run(2), 0);

    // Ending in the own phase: nothing to put back, still a change.
    set(alarm, 1.0);
    EXPECT_EQ(animation->Run(1), 1);
    EXPECT_EQ(animation->Run(1), 1);
    expectLook(owner, own);
    set(alarm, 0.0);
    EXPECT_EQ(animation->Run(3), 1);
    expectLook(owner, own);
    EXPECT_EQ(animation->Run(3), 0);

    // What something else changed in the blink phase is put back too.
    owner.m_bPen = 1;
    animation->InitObj(&owner);
    set(alarm, 1.0);
    EXPECT_EQ(animation->Run(1), 1);
    owner.m_logPen.color = 0x777777;
    owner.m_bBrush = 0;
    set(alarm, 0.0);
    EXPECT_EQ(animation->Run(1), 1);
    expectLook(owner, kOwn);
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
        set(alarm, 1.0);
        anitest::TextOwner text(c.kind);
        text.m_crText = kOwnText;
        CAniBlink* animation = load(text, blinkRecord(1, "Alarm"), ownerRecord());
        ASSERT_NE(animation, nullptr);
        EXPECT_EQ(animation->m_crSavedText, c.saved);

        EXPECT_EQ(animation->Run(1), 1);
        EXPECT_EQ(text.m_crText, c.blinkPhase);
        expectLook(text, kBlink);
        EXPECT_EQ(animation->Run(2), 1);
        EXPECT_EQ(text.m_crText, c.ownPhase);

        EXPECT_EQ(animation->Run(3), 1);
        set(alarm, 0.0);
        EXPECT_EQ(animation->Run(3), 1);
        EXPECT_EQ(text.m_crText, c.afterEnd);
        expectLook(text, kOwn);
    }
}

// ---- InitObj ----

TEST_F(AniBlinkTest, InitObjCapturesTheOwnLookAfresh) {
    CAniBlink* animation = load(1, "Alarm", /*pen=*/0, /*brush=*/1);
    ASSERT_NE(animation, nullptr);
    EXPECT_EQ(animation->m_pDrawObj, &owner);
    EXPECT_EQ(animation->m_crSavedPen, kOwnPen);
    EXPECT_EQ(animation->m_crSavedBrush, kOwnBrush);
    EXPECT_EQ(animation->m_bSavedPen, 0);
    EXPECT_EQ(animation->m_bSavedBrush, 1);
    EXPECT_EQ(animation->m_crSavedText, 0u);
    EXPECT_EQ(owner.m_bAnimated, 1);

    // A shape's text colour is never taken.
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

// ---- expression failure ----

TEST_F(AniBlinkTest, ExpressionFailureReportsAndKeepsPhaseAndColours) {
    for (int blinkType : {0, 1}) {
        SCOPED_TRACE(blinkType);
        owner.m_nShowState = 11;
        CAniBlink* animation = load(owner, blinkRecord(blinkType, "Alarm / Zero"), ownerRecord());
        ASSERT_NE(animation, nullptr);
        // One good tick first: forced value 1, then the real program fails on the next tick.
        kvtest::queueScriptResult(kvtest::ScriptResult::value(1.0));
        EXPECT_EQ(animation->Run(1), 1);
        const int32_t state = owner.m_nShowState;
        const Look look{owner.m_bPen, owner.m_logPen.color, owner.m_bBrush, owner.m_logBrush.color};
        HostLog::instance().clear();

        EXPECT_EQ(animation->Run(2), 0);
        EXPECT_EQ(owner.m_nShowState, state);
        expectLook(owner, look);
        EXPECT_EQ(animation->m_bBlinking, 1);
        kvtest::expectFault(12, "CAniBlink expressFloat run error!",
                            {"Run", "animation\\aniblink", 132, 2, "CAniBlink",
                             "CAniBlink ExpressFloat errorCode!"});
    }
}

TEST_F(AniBlinkTest, TicksAllocateNothing) {
    if (!kvtest::allocationsCounted()) {
        GTEST_SKIP() << "allocation counting needs the plain allocator";
    }
    for (int blinkType : {0, 1}) {
        SCOPED_TRACE(blinkType);
        CAniBlink* animation = load(blinkType);
        ASSERT_NE(animation, nullptr);
        for (double value : {1.0, 1.0, 1.0, 0.0, 0.0}) {
            set(alarm, value);
            EXPECT_EQ(kvtest::allocationsOf([&] { animation->Run(1); }), 0) << value;
        }
        EXPECT_EQ(animation->m_bBlinking, 0);
    }
}

} // namespace
