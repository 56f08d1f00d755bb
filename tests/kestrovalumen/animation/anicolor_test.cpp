// Colour blink and the outline, fill and text colour animations: what each does to the look.
#include "kestrovalumen/animation/aniblink.h"
#include "kestrovalumen/animation/anibrush.h"
#include "kestrovalumen/animation/anipen.h"
#include "kestrovalumen/animation/anitextcolor.h"
#include "tests/kestrovalumen/animation/anitestsupport.h"

#include <tuple>

namespace {

constexpr uint32_t kOwnPen = 0x102030, kOwnBrush = 0xC0C0C0, kOwnText = 0x405060;
constexpr uint32_t kBlinkPen = 0xFF0000, kBlinkBrush = 0x00FF00, kBlinkText = 0x0000FF;
constexpr uint32_t kA = 0x111111, kB = 0x222222, kC = 0x333333;

//! Outline flag and colour, fill flag and colour, text colour.
using Look = std::tuple<int, uint32_t, int, uint32_t, uint32_t>;
const Look kOwn{1, kOwnPen, 1, kOwnBrush, kOwnText};
const Look kBlink{1, kBlinkPen, 1, kBlinkBrush, kBlinkText};

enum Target { Pen, Brush, Text };

class LookTest : public anitest::AnimationTest {
protected:
    void SetUp() override {
        AnimationTest::SetUp();
        alarm = define("Alarm", kestro::VarType::Float);
        set(alarm, 1.0);
    }

    static kestro::AnimationEntry blink(int32_t type, const std::string& source = "Alarm",
                                        uint32_t pen = kBlinkPen, uint32_t brush = kBlinkBrush) {
        return anitest::Entry(kestro::BlinkRecord{{}, 0, type, kBlinkText, pen, brush}, source);
    }

    static kestro::AnimationEntry colour(Target target, const std::vector<float>& limits,
                                         const std::vector<uint32_t>& colours) {
        const kestro::ColorTableRecord table{{}, limits, colours};
        return target == Pen     ? anitest::Entry(kestro::PenRecord{table}, "Level")
               : target == Brush ? anitest::Entry(kestro::BrushRecord{table}, "Level")
                                 : anitest::Entry(kestro::TextColorRecord{table}, "Level");
    }

    //! A text owner of the kind in its own colours with the animations; returns the one at index.
    CAniObj* load(const std::vector<kestro::AnimationEntry>& animations, int kind = 2,
                  uint8_t pen = 1, uint8_t brush = 1, int index = 0) {
        kestro::ObjectRecord record = anitest::Record(20, 20, 80, 50);
        record.pen = pen;
        record.penColor = kOwnPen;
        record.brush = brush;
        record.brushColor = kOwnBrush;
        owner = std::make_unique<anitest::TextOwner>(kind);
        owner->m_crText = kOwnText;
        attach<CAniObj>(*owner, record, animations);
        return owner->AnimationAt(index);
    }

    Look look() const {
        return Look(owner->m_bPen, owner->m_logPen.color, owner->m_bBrush, owner->m_logBrush.color,
                    owner->m_crText);
    }
    uint32_t applied(Target target) const {
        return target == Pen     ? owner->m_logPen.color
               : target == Brush ? owner->m_logBrush.color
                                 : owner->m_crText;
    }
    static uint32_t own(Target target) {
        return target == Pen ? kOwnPen : target == Brush ? kOwnBrush : kOwnText;
    }

    std::unique_ptr<anitest::TextOwner> owner;
    int alarm = -1;
};

TEST_F(LookTest, ColourBlinkAlternatesTheLookAndRestoresIt) {
    struct Step {
        int event;
        double value;
        int result;
        Look look;
    };
    const Look off{0, kOwnPen, 0, kOwnBrush, kOwnText};
    const Look colours{1, kBlinkPen, 1, kBlinkBrush, kOwnText};
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
         {{1, 1, 1, colours}, {1, 1, 1, kOwn}, {1, 0, 1, kOwn}, {1, 0, 0, kOwn}}},
        {"outline and fill off", 3, 0, 0, kBlinkPen, kBlinkBrush,
         {{1, 1, 1, colours}, {1, 1, 1, off}, {1, 0, 1, off}, {1, 0, 0, off}}},
        {"blink colours equal the own ones", 2, 1, 1, kOwnPen, kOwnBrush,
         {{1, 1, 1, {1, kOwnPen, 1, kOwnBrush, kBlinkText}}, {2, 1, 1, kOwn}}},
    };
    // clang-format on
    for (int blinkType : {1, 2}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << c.what << ", type " << blinkType);
            CAniObj* animation =
                load({blink(blinkType, "Alarm", c.blinkPen, c.blinkBrush)}, c.kind, c.pen, c.brush);
            for (const Step& step : c.steps) {
                set(alarm, step.value);
                EXPECT_EQ(animation->Run(step.event), step.result);
                EXPECT_EQ(look(), step.look);
                EXPECT_EQ(owner->m_nShowState, 11);
            }
        }
    }
}

TEST_F(LookTest, EachColourClassColoursItsPartBySegment) {
    constexpr uint32_t kMine = 0xFFFFFFFF; // in the table: the owner's own colour of the part
    struct Step {
        double value;
        int result;
        uint32_t colour;
    };
    struct Case {
        const char* what;
        std::vector<float> limits;
        std::vector<uint32_t> colours;
        std::vector<Step> steps;
    };
    // clang-format off
    const Case cases[] = {
        {"segments", {10, 20, 30}, {kA, kB, kC},
         {{5, 1, kA}, {10, 0, kA}, {10.5, 1, kB}, {20, 0, kB}, {20.5, 1, kC}, {1e9, 0, kC},
          {-1000, 1, kA}}},
        {"the own colour is the current one", {10, 20}, {kMine, kB},
         {{5, 0, kMine}, {15, 1, kB}, {5, 1, kMine}}},
        {"no colour for the upper segments", {10, 20, 30}, {kA, kB},
         {{25, 0, kMine}, {15, 1, kB}, {30, 0, kB}}},
        {"no limits", {}, {kA, kB}, {{-5, 0, kMine}, {5, 0, kMine}}},
        {"no colours", {10}, {}, {{5, 0, kMine}}},
    };
    // clang-format on
    for (Target target : {Pen, Brush, Text}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << target << ": " << c.what);
            std::vector<uint32_t> colours = c.colours;
            for (uint32_t& k : colours) {
                k = k == kMine ? own(target) : k;
            }
            CAniObj* animation = load({colour(target, c.limits, colours)}, 2, 0, 0);
            const unsigned long long runsBefore = scriptRuns();
            int changes = 0;
            for (const Step& step : c.steps) {
                SCOPED_TRACE(step.value);
                set(level, step.value);
                EXPECT_EQ(animation->Run(0), step.result);
                changes += step.result;
                EXPECT_EQ(applied(target), step.colour == kMine ? own(target) : step.colour);
                // Only the animated part is switched on, on its first change.
                EXPECT_EQ(owner->m_bPen, target == Pen && changes > 0 ? 1 : 0);
                EXPECT_EQ(owner->m_bBrush, target == Brush && changes > 0 ? 1 : 0);
                for (Target other : {Pen, Brush, Text}) {
                    if (other != target) {
                        EXPECT_EQ(applied(other), own(other));
                    }
                }
            }
            // The program runs first: only its value may have nowhere to go.
            EXPECT_EQ(scriptRuns(), runsBefore + c.steps.size());
        }
    }
}

TEST_F(LookTest, TextColourByOwnerKind) {
    struct Step {
        double value;
        int result;
        uint32_t text;
    };
    struct Case {
        int kind;
        std::vector<uint32_t> colours;
        std::vector<Step> steps;
    };
    // clang-format off
    const Case cases[] = {
        // Kind 1 keeps 1 as its current colour: every refresh applies the colour again, unless
        // it is 1.
        {1, {kOwnText, kB, kC},
         {{5, 0, kOwnText}, {15, 1, kB}, {15, 1, kB}, {5, 1, kOwnText}, {25, 1, kC}}},
        {1, {1, kB, kC}, {{15, 1, kB}, {5, 0, kB}}},
        // No text to colour: the top segment still asks for a redraw on every refresh.
        {0, {kA, kB, kC},
         {{1000, 1, kOwnText}, {30, 1, kOwnText}, {29.5, 0, kOwnText}, {-1000, 0, kOwnText}}},
        {3, {kA, kB, 0}, {{1000, 0, kOwnText}}},
        {3, {kA, kB}, {{1000, 0, kOwnText}}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        CAniObj* text = load({colour(Text, {10, 20, 30}, c.colours)}, c.kind);
        for (const Step& step : c.steps) {
            SCOPED_TRACE(step.value);
            set(level, step.value);
            EXPECT_EQ(text->Run(0), step.result);
            EXPECT_EQ(owner->m_crText, step.text);
        }
    }
    // A blink on the owner is not told about a new text colour.
    CAniObj* text = load({blink(1), colour(Text, {10, 20}, {kA, kB})}, 2, 1, 1, 1);
    set(level, 15);
    EXPECT_EQ(text->Run(0), 1);
    EXPECT_EQ(static_cast<CAniBlink*>(owner->AnimationAt(0))->m_crSavedText, kOwnText);
}

} // namespace
