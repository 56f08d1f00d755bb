// The blink animation: on the blink ticks it flips the owner's blink phase (show/hide) or its
// outline, fill and text colours while the condition holds, and brings the owner back to its own
// look when the condition ends.
#include "kestrovalumen/animation/aniblink.h"
#include "tests/kestrovalumen/animation/anitestsupport.h"

namespace {

constexpr uint32_t kOwnPen = 0x102030, kOwnBrush = 0xC0C0C0, kOwnText = 0x405060;
constexpr uint32_t kBlinkPen = 0xFF0000, kBlinkBrush = 0x00FF00, kBlinkText = 0x0000FF;

struct Look {
    int32_t pen;
    uint32_t penColor;
    int32_t brush;
    uint32_t brushColor;
    uint32_t text;
};

class AniBlinkTest : public anitest::AnimationTest {
protected:
    void SetUp() override {
        AnimationTest::SetUp();
        alarm = define("Alarm", kestro::VarType::Float);
        set(alarm, 1.0);
    }

    //! A text owner of the kind, outline and fill as given in its own colours, with one blink.
    CAniBlink* load(int kind, int32_t blinkType, uint8_t pen = 1, uint8_t brush = 1,
                    uint32_t blinkPen = kBlinkPen, uint32_t blinkBrush = kBlinkBrush,
                    const std::string& source = "Alarm") {
        kestro::BlinkRecord blink;
        blink.header.program = anitest::Program(source);
        blink.blinkType = blinkType;
        blink.blinkTextColor = kBlinkText;
        blink.blinkPenColor = blinkPen;
        blink.blinkBrushColor = blinkBrush;
        kestro::ObjectRecord record = anitest::Record(20, 20, 80, 50);
        record.pen = pen;
        record.penColor = kOwnPen;
        record.brush = brush;
        record.brushColor = kOwnBrush;
        owner = std::make_unique<anitest::TextOwner>(kind);
        owner->m_crText = kOwnText;
        return attach<CAniBlink>(*owner, record, {kestro::animationEntry(blink)});
    }

    void expectLook(const Look& look) {
        EXPECT_EQ(owner->m_bPen, look.pen);
        EXPECT_EQ(owner->m_logPen.color, look.penColor);
        EXPECT_EQ(owner->m_bBrush, look.brush);
        EXPECT_EQ(owner->m_logBrush.color, look.brushColor);
        EXPECT_EQ(owner->m_crText, look.text);
    }

    std::unique_ptr<anitest::TextOwner> owner;
    int alarm = -1;
};

const Look kOwn{1, kOwnPen, 1, kOwnBrush, kOwnText};
const Look kBlink{1, kBlinkPen, 1, kBlinkBrush, kBlinkText};

TEST_F(AniBlinkTest, ShowHideFlipsTheTensDigitWhileTheTruncatedValueIsNonzero) {
    struct Step {
        int event;
        double value;
        int32_t stateBefore; // -1: as left by the step before
        int result;
        int32_t state;
        int blinking;
    };
    // clang-format off
    const Step steps[] = {
        {0, 1, -1, 0, 11, 0}, {4, 1, -1, 0, 11, 0}, {-1, 1, -1, 0, 11, 0}, {5, 1, -1, 0, 11, 0},
        {11111, 1, -1, 0, 11, 0}, {88888, 1, -1, 0, 11, 0},
        // Ticks 1 to 3 flip the phase and keep the units digit.
        {1, 1, -1, 1, 1, 1}, {2, 1, -1, 1, 11, 1}, {3, 1, -1, 1, 1, 1}, {3, 1, 10, 1, 0, 1},
        {2, 1.5, -1, 1, 10, 1}, {1, -2.7, 11, 1, 1, 1},
        // Ending in the hidden phase shows the owner again, once.
        {2, 0, -1, 1, 11, 0}, {3, 0, -1, 0, 11, 0}, {1, 0.999, -1, 0, 11, 0}, {1, -0.5, 1, 0, 1, 0},
        // Ending in the shown phase: nothing to undo, but the blink stays armed and shows an
        // owner that something else put in the hidden phase.
        {1, -1, 11, 1, 1, 1}, {1, 1, -1, 1, 11, 1}, {2, 0.5, -1, 0, 11, 1}, {3, 0, 1, 1, 11, 0},
    };
    // clang-format on
    CAniBlink* animation = load(2, 0);
    ASSERT_NE(animation, nullptr);
    for (const Step& step : steps) {
        SCOPED_TRACE(testing::Message() << &step - steps);
        if (step.stateBefore >= 0) {
            owner->m_nShowState = step.stateBefore;
        }
        set(alarm, step.value);
        EXPECT_EQ(animation->Run(step.event), step.result);
        EXPECT_EQ(owner->m_nShowState, step.state);
        EXPECT_EQ(animation->m_bBlinking, step.blinking);
        expectLook(kOwn);
    }
    // Through the owner, only a tick is passed on.
    set(alarm, 1.0);
    EXPECT_TRUE(owner->Run(1));
    EXPECT_FALSE(owner->Run(0));
}

TEST_F(AniBlinkTest, ColourBlinkAlternatesTheLookAndRestoresIt) {
    struct Step {
        int event;
        double value;
        int result;
        Look look;
    };
    const Look off{0, kOwnPen, 0, kOwnBrush, kOwnText};
    const Look ownColours{1, kOwnPen, 1, kOwnBrush, kOwnText};
    struct Case {
        const char* what;
        int kind;
        uint8_t pen, brush;
        uint32_t blinkPen, blinkBrush;
        std::vector<Step> steps;
    };
    // clang-format off
    const Case cases[] = {
        {"text kind 2", 2, 1, 1, kBlinkPen, kBlinkBrush,
         {{1, 1, 1, kBlink}, {2, 1, 1, kOwn}, {3, 1, 1, kBlink}, {0, 0, 0, kBlink},
          {3, 0, 1, kOwn}, {3, 0, 0, kOwn}}},
        // Kind 1 keeps the text colour of the phase it ends in.
        {"text kind 1", 1, 1, 1, kBlinkPen, kBlinkBrush,
         {{1, 1, 1, kBlink}, {2, 0, 1, {1, kOwnPen, 1, kOwnBrush, kBlinkText}}}},
        {"no text", 0, 1, 1, kBlinkPen, kBlinkBrush,
         {{1, 1, 1, {1, kBlinkPen, 1, kBlinkBrush, kOwnText}}, {1, 1, 1, kOwn}, {1, 0, 1, kOwn}, {1, 0, 0, kOwn}}},
        {"outline and fill off", 3, 0, 0, kBlinkPen, kBlinkBrush,
         {{1, 1, 1, {1, kBlinkPen, 1, kBlinkBrush, kOwnText}}, {1, 1, 1, off},
          {1, 0, 1, off}, {1, 0, 0, off}}},
        {"blink colours equal the own ones", 2, 1, 1, kOwnPen, kOwnBrush,
         {{1, 1, 1, {1, kOwnPen, 1, kOwnBrush, kBlinkText}}, {2, 1, 1, ownColours}}},
    };
    // clang-format on
    for (int blinkType : {1, 2}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << c.what << ", type " << blinkType);
            CAniBlink* animation =
                load(c.kind, blinkType, c.pen, c.brush, c.blinkPen, c.blinkBrush);
            ASSERT_NE(animation, nullptr);
            for (const Step& step : c.steps) {
                set(alarm, step.value);
                EXPECT_EQ(animation->Run(step.event), step.result);
                expectLook(step.look);
                EXPECT_EQ(owner->m_nShowState, 11);
            }
        }
    }
}

TEST_F(AniBlinkTest, EachPartDecidesItsPhaseByWhatItShows) {
    CAniBlink* animation = load(2, 1);
    ASSERT_NE(animation, nullptr);
    // A part that no longer shows the saved look goes back to it while the others blink.
    owner->m_logPen.color = 0x777777;
    owner->m_crText = 0x777777;
    EXPECT_EQ(animation->Run(1), 1);
    expectLook({1, kOwnPen, 1, kBlinkBrush, kOwnText});
    EXPECT_EQ(animation->Run(1), 1);
    expectLook({1, kBlinkPen, 1, kOwnBrush, kBlinkText});
    owner->m_bPen = 0; // the flag alone counts too
    EXPECT_EQ(animation->Run(1), 1);
    expectLook({1, kOwnPen, 1, kBlinkBrush, kOwnText});
    // The end puts back what something else changed, too.
    owner->m_logPen.color = 0x777777;
    owner->m_bBrush = 0;
    set(alarm, 0.0);
    EXPECT_EQ(animation->Run(1), 1);
    expectLook(kOwn);

    // A new InitObj takes the own look afresh; a shape's text colour is never taken.
    owner->m_bPen = 0;
    owner->m_logBrush.color = 0x040506;
    owner->m_bAnimated = 0;
    animation->InitObj(owner.get());
    EXPECT_EQ(owner->m_bAnimated, 1);
    set(alarm, 1.0);
    animation->Run(1);
    animation->Run(1);
    expectLook({0, kOwnPen, 1, 0x040506, kOwnText});
    EXPECT_EQ(load(3, 1)->m_crSavedText, 0u);
}

} // namespace
