// The outline, fill and text colour animations: the segment table that turns a value into a
// colour, when a colour counts as a change, the hand-over to a blink animation on the same
// owner, and the text colour on owners of each kind.
#include "kestrovalumen/animation/aniblink.h"
#include "kestrovalumen/animation/anibrush.h"
#include "kestrovalumen/animation/anicolortable.h"
#include "kestrovalumen/animation/anipen.h"
#include "kestrovalumen/animation/anitextcolor.h"
#include "tests/kestrovalumen/animation/anitestsupport.h"

#include <limits>

namespace {

constexpr uint32_t kOwnPen = 0x102030, kOwnBrush = 0xC0C0C0, kOwnText = 0x405060;
constexpr uint32_t kA = 0x111111, kB = 0x222222, kC = 0x333333;
constexpr uint32_t kOwn = 0xFFFFFFFF; // in the tables: the owner's own colour of the part

enum Target { Pen, Brush, Text };
const char* const kNames[] = {"CAniPen", "CAniBrush", "CAniTextColor"};

uint32_t ownColour(Target target) {
    return target == Pen ? kOwnPen : target == Brush ? kOwnBrush : kOwnText;
}

uint32_t applied(Target target, const CDrawObj& owner) {
    return target == Pen     ? owner.m_logPen.color
           : target == Brush ? owner.m_logBrush.color
                             : owner.m_crText;
}

class AniColorTest : public anitest::AnimationTest {
protected:
    void SetUp() override {
        AnimationTest::SetUp();
        level = define("Level", kestro::VarType::Float);
        alarm = define("Alarm", kestro::VarType::Int);
        setInt(define("Zero", kestro::VarType::Int), 0);
        setInt(alarm, 0);
    }

    static kestro::AnimationEntry colour(Target target, const std::vector<float>& limits,
                                         const std::vector<uint32_t>& colours,
                                         const std::string& source = "Level") {
        kestro::ColorTableRecord table;
        table.header.program = anitest::Program(source);
        table.values = limits;
        table.colors = colours;
        if (target == Pen) {
            return kestro::animationEntry(kestro::PenRecord{table});
        }
        if (target == Brush) {
            return kestro::animationEntry(kestro::BrushRecord{table});
        }
        return kestro::animationEntry(kestro::TextColorRecord{table});
    }

    static kestro::AnimationEntry blink(const std::string& source = "Alarm") {
        kestro::BlinkRecord blink;
        blink.header.program = anitest::Program(source);
        blink.blinkType = 1;
        blink.blinkPenColor = 0xFF0000;
        blink.blinkBrushColor = 0x00FF00;
        return kestro::animationEntry(blink);
    }

    //! A fresh text owner of the kind, outline and fill off in its own colours, with the
    //! animations; returns the animation at index.
    CAniObj* load(const std::vector<kestro::AnimationEntry>& animations, int kind = 2,
                  int index = 0) {
        owner = std::make_unique<anitest::TextOwner>(kind);
        owner->m_crText = kOwnText;
        kestro::ObjectRecord record = anitest::Record(0, 0, 40, 30);
        record.pen = 0;
        record.penColor = kOwnPen;
        record.brush = 0;
        record.brushColor = kOwnBrush;
        attach<CAniObj>(*owner, record, animations);
        return owner->AnimationAt(index);
    }

    std::unique_ptr<anitest::TextOwner> owner;
    int level = -1;
    int alarm = -1;
};

TEST(SegmentRule, IndexOfAValue) {
    struct Case {
        std::vector<double> limits;
        double value;
        size_t index;
    };
    // Limits out of order: at or above the last one wins first, then the first not exceeded.
    // clang-format off
    const Case cases[] = {
        {{10, 20, 30}, 10, 0}, {{10, 20, 30}, 10.5, 1}, {{10, 20, 30}, 20, 1},
        {{10, 20, 30}, 20.001, 2}, {{10, 20, 30}, 30, 2}, {{50}, -1e9, 0}, {{50}, 1e9, 0},
        {{30, 10, 20}, 25, 2}, {{30, 10, 20}, 20, 2}, {{30, 10, 20}, 15, 0}, {{10, 10, 10}, 10, 2},
        {{10, 20, 30}, std::numeric_limits<double>::quiet_NaN(), 3},
    };
    // clang-format on
    for (const Case& c : cases) {
        EXPECT_EQ(kv::SegmentIndex(c.limits, c.value), c.index) << c.value;
    }
}

TEST_F(AniColorTest, EachClassColoursItsPartBySegment) {
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
        {"the own colour is the current one", {10, 20}, {kOwn, kB},
         {{5, 0, kOwn}, {15, 1, kB}, {5, 1, kOwn}}},
        {"no colour for the upper segments", {10, 20, 30}, {kA, kB},
         {{25, 0, kOwn}, {15, 1, kB}, {30, 0, kB}}},
        {"no limits", {}, {kA, kB}, {{-5, 0, kOwn}, {5, 0, kOwn}}},
        {"no colours", {10}, {}, {{5, 0, kOwn}}},
    };
    // clang-format on
    for (Target target : {Pen, Brush, Text}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << kNames[target] << ": " << c.what);
            std::vector<uint32_t> colours = c.colours;
            for (uint32_t& k : colours) {
                k = k == kOwn ? ownColour(target) : k;
            }
            CAniObj* animation = load({colour(target, c.limits, colours)});
            ASSERT_NE(animation, nullptr);
            const unsigned long long runsBefore = scriptRuns();
            int changes = 0;
            for (const Step& step : c.steps) {
                SCOPED_TRACE(step.value);
                set(level, step.value);
                EXPECT_EQ(animation->Run(0), step.result);
                changes += step.result;
                EXPECT_EQ(applied(target, *owner),
                          step.colour == kOwn ? ownColour(target) : step.colour);
                // Only the animated part is switched on, on its first change.
                EXPECT_EQ(owner->m_bPen, target == Pen && changes > 0 ? 1 : 0);
                EXPECT_EQ(owner->m_bBrush, target == Brush && changes > 0 ? 1 : 0);
                for (Target other : {Pen, Brush, Text}) {
                    if (other != target) {
                        EXPECT_EQ(applied(other, *owner), ownColour(other));
                    }
                }
            }
            // The program runs first: only its value may have nowhere to go.
            EXPECT_EQ(scriptRuns(), runsBefore + c.steps.size());
        }
    }
}

TEST_F(AniColorTest, ABlinkOnTheOwnerTakesEachNewColourAsItsOwnLook) {
    for (Target target : {Pen, Brush}) {
        SCOPED_TRACE(kNames[target]);
        const bool pen = target == Pen;
        // With a blink on the owner the current colour starts at black, not the owner's
        // colour; the first blink is the one told (the second never blinks).
        CAniObj* animation =
            load({colour(target, {10, 20, 30}, {0, kA, kB}), blink(), blink("Zero")}, 2, 0);
        auto* first = dynamic_cast<CAniBlink*>(owner->AnimationAt(1));
        ASSERT_NE(first, nullptr);
        set(level, 5);
        EXPECT_EQ(animation->Run(0), 0);
        EXPECT_EQ(applied(target, *owner), ownColour(target));
        set(level, 15);
        EXPECT_TRUE(owner->Run(0));
        EXPECT_EQ(pen ? first->m_crSavedPen : first->m_crSavedBrush, kA);
        EXPECT_EQ(pen ? first->m_bSavedPen : first->m_bSavedBrush, 1);
        const uint32_t blinkColour = pen ? 0xFF0000 : 0x00FF00;
        // Blinking: the animation does not fight the blink colour while its own is unchanged.
        setInt(alarm, 1);
        for (int event : {1, 0, 2, 3}) {
            owner->Run(event);
            EXPECT_EQ(applied(target, *owner), event == 2 ? kA : blinkColour) << event;
        }
        // The end of the blink brings back the animated colour, not the loaded one.
        setInt(alarm, 0);
        EXPECT_TRUE(owner->Run(1));
        EXPECT_EQ(applied(target, *owner), kA);
        set(level, 25);
        EXPECT_TRUE(owner->Run(0));
        EXPECT_EQ(pen ? first->m_crSavedPen : first->m_crSavedBrush, kB);
    }
}

TEST_F(AniColorTest, TextColourByOwnerKind) {
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
    CAniObj* text = load({blink(), colour(Text, {10, 20}, {kA, kB})}, 2, 1);
    set(level, 15);
    EXPECT_EQ(text->Run(0), 1);
    EXPECT_EQ(static_cast<CAniBlink*>(owner->AnimationAt(0))->m_crSavedText, kOwnText);
}

} // namespace
