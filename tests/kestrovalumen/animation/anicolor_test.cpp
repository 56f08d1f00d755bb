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

using kestro::HostLog;

constexpr uint32_t kOwnPen = 0x102030;
constexpr uint32_t kOwnBrush = 0xC0C0C0;
constexpr uint32_t kOwnText = 0x405060;
constexpr uint32_t kA = 0x111111;
constexpr uint32_t kB = 0x222222;
constexpr uint32_t kC = 0x333333;

// ---- the three classes behind one description, for the cases they share ----

enum class Target { Pen, Brush, Text };

struct ColourClass {
    const char* name;
    Target target;
};

const ColourClass kClasses[] = {
    {"CAniPen", Target::Pen}, {"CAniBrush", Target::Brush}, {"CAniTextColor", Target::Text}};
const ColourClass kPenAndBrush[] = {kClasses[0], kClasses[1]};

kestro::ColorTableRecord table(const std::vector<float>& limits,
                               const std::vector<uint32_t>& colors,
                               const std::string& source = "Level") {
    kestro::ColorTableRecord record;
    record.header.program = anitest::Program(source);
    record.values = limits;
    record.colors = colors;
    return record;
}

template <class Record>
kestro::AnimationEntry entryAs(const kestro::ColorTableRecord& table) {
    Record record;
    static_cast<kestro::ColorTableRecord&>(record) = table;
    return kestro::animationEntry(record);
}

kestro::AnimationEntry entryOf(Target target, const kestro::ColorTableRecord& record) {
    switch (target) {
    case Target::Pen:
        return entryAs<kestro::PenRecord>(record);
    case Target::Brush:
        return entryAs<kestro::BrushRecord>(record);
    case Target::Text:
        break;
    }
    return entryAs<kestro::TextColorRecord>(record);
}

//! The colour the class writes into its owner.
uint32_t applied(Target target, const CDrawObj& owner) {
    switch (target) {
    case Target::Pen:
        return owner.m_logPen.color;
    case Target::Brush:
        return owner.m_logBrush.color;
    case Target::Text:
        break;
    }
    return owner.m_crText;
}

uint32_t ownColour(Target target) {
    return target == Target::Pen ? kOwnPen : target == Target::Brush ? kOwnBrush : kOwnText;
}

class AniColorTest : public anitest::AnimationTest {
protected:
    void SetUp() override {
        AnimationTest::SetUp();
        level = define("Level", kestro::VarType::Float);
        alarm = define("Alarm", kestro::VarType::Int);
        setInt(define("Zero", kestro::VarType::Int), 0);
        setInt(alarm, 0);
        set(level, 0.0);
    }

    //! A fresh owner, outline and fill off in its own colours, loaded with the animations: a
    //! text owner of textKind, or a plain drawing object for kNoText. The text colour is set
    //! before loading so that InitObj sees it.
    static constexpr int kNoText = -1;
    CDrawObj& makeOwner(const std::vector<kestro::AnimationEntry>& animations,
                        int textKind = kNoText) {
        if (textKind == kNoText) {
            owner = std::make_unique<CDrawObj>();
        } else {
            owner = std::make_unique<anitest::TextOwner>(textKind);
        }
        owner->m_crText = kOwnText;
        kestro::ObjectRecord record = anitest::Record(0, 0, 40, 30);
        record.pen = 0;
        record.penColor = kOwnPen;
        record.brush = 0;
        record.brushColor = kOwnBrush;
        attach<CAniObj>(*owner, record, animations);
        return *owner;
    }

    //! Owner with one colour animation of the class; returns that animation.
    CAniObj* load(const ColourClass& c, const kestro::ColorTableRecord& record) {
        CDrawObj& target =
            makeOwner({entryOf(c.target, record)}, c.target == Target::Text ? 2 : kNoText);
        EXPECT_EQ(target.AnimationCount(), 1);
        return target.AnimationCount() == 1 ? target.AnimationAt(0) : nullptr;
    }

    static kestro::AnimationEntry blinkEntry() {
        kestro::BlinkRecord blink;
        blink.header.program = anitest::Program("Alarm");
        blink.blinkType = 1;
        blink.blinkPenColor = 0xFF0000;
        blink.blinkBrushColor = 0x00FF00;
        blink.blinkTextColor = 0x0000FF;
        return kestro::animationEntry(blink);
    }

    std::unique_ptr<CDrawObj> owner;
    int level = -1;
    int alarm = -1;
};

// ---- the segment rule ----

TEST(SegmentRule, IndexOfAValue) {
    struct Case {
        std::vector<double> limits;
        double value;
        size_t index;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {{10, 20, 30}, 5, 0},
        {{10, 20, 30}, 10, 0},
        {{10, 20, 30}, 10.5, 1},
        {{10, 20, 30}, 20, 1},
        {{10, 20, 30}, 20.001, 2},
        {{10, 20, 30}, 30, 2},
        {{10, 20, 30}, 1000, 2},
        {{10, 20, 30}, -1000, 0},
        {{50}, -1e9, 0},
        {{50}, 50, 0},
        {{50}, 1e9, 0},
        // Limits out of order: at or above the last one wins first, then the first not exceeded.
        {{30, 10, 20}, 25, 2},
        {{30, 10, 20}, 20, 2},
        {{30, 10, 20}, 15, 0},
        {{30, 10, 20}, -5, 0},
        {{10, 10, 10}, 10, 2},
        {{10, 10, 10}, 9, 0},
        // NaN compares false with everything: no segment at all.
        {{10, 20, 30}, nan, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(kv::SegmentIndex(c.limits, c.value), c.index);
    }
}

TEST(SegmentRule, ColourOfAValue) {
    const std::vector<double> limits = {10, 20, 30};
    uint32_t color = 0xDEAD;
    EXPECT_TRUE(kv::SegmentColor(limits, {kA, kB, kC}, 15, color));
    EXPECT_EQ(color, kB);
    EXPECT_TRUE(kv::SegmentColor(limits, {kA, kB, kC, 0x444444}, 1000, color));
    EXPECT_EQ(color, kC); // extra colours are never used

    color = 0xDEAD;
    EXPECT_FALSE(kv::SegmentColor({}, {kA}, 15, color));
    EXPECT_FALSE(kv::SegmentColor(limits, {kA, kB}, 25, color));
    EXPECT_FALSE(kv::SegmentColor(limits, {}, 5, color));
    EXPECT_FALSE(
        kv::SegmentColor(limits, {kA, kB, kC}, std::numeric_limits<double>::quiet_NaN(), color));
    EXPECT_EQ(color, 0xDEADu);
}

TEST_F(AniColorTest, EachClassColoursItsOwnerBySegment) {
    struct Case {
        double value;
        uint32_t color;
    };
    const Case cases[] = {
        {5, kA},    {10, kA}, {9.999, kA}, {10.5, kB},  {20, kB},
        {20.5, kC}, {30, kC}, {1000, kC},  {-1000, kA},
    };
    for (const ColourClass& c : kClasses) {
        for (const Case& k : cases) {
            SCOPED_TRACE(std::string(c.name) + " " + std::to_string(k.value));
            CAniObj* animation = load(c, table({10, 20, 30}, {kA, kB, kC}));
            ASSERT_NE(animation, nullptr);
            set(level, k.value);
            EXPECT_EQ(animation->Run(0), 1);
            EXPECT_EQ(applied(c.target, *owner), k.color);
            // Each class switches on its own part and leaves the others alone.
            EXPECT_EQ(owner->m_bPen, c.target == Target::Pen ? 1 : 0);
            EXPECT_EQ(owner->m_bBrush, c.target == Target::Brush ? 1 : 0);
            for (Target other : {Target::Pen, Target::Brush, Target::Text}) {
                if (other != c.target) {
                    EXPECT_EQ(applied(other, *owner), ownColour(other));
                }
            }
        }
    }
}

TEST_F(AniColorTest, TheSameColourAgainIsNoChange) {
    struct Step {
        double value;
        int result;
        uint32_t color;
    };
    const Step steps[] = {
        {15, 1, kB}, {15, 0, kB}, {17, 0, kB}, {25, 1, kC}, {1e9, 0, kC}, {5, 1, kA}, {15, 1, kB},
    };
    for (const ColourClass& c : kClasses) {
        SCOPED_TRACE(c.name);
        CAniObj* animation = load(c, table({10, 20, 30}, {kA, kB, kC}));
        ASSERT_NE(animation, nullptr);
        for (const Step& step : steps) {
            SCOPED_TRACE(step.value);
            set(level, step.value);
            EXPECT_EQ(animation->Run(0), step.result);
            EXPECT_EQ(applied(c.target, *owner), step.color);
        }
        // The owner reports the change of its animation.
        set(level, 25);
        EXPECT_TRUE(owner->Run(0));
        EXPECT_FALSE(owner->Run(0));
    }
}

TEST_F(AniColorTest, AValueWithoutAColourChangesNothing) {
    struct Case {
        const char* name;
        kestro::ColorTableRecord table;
        std::vector<double> values;
    };
    const Case cases[] = {
        {"no limits", table({}, {kA, kB}), {-5.0, 0.0, 5.0}},
        {"no colour for the upper segments", table({10, 20, 30}, {kA, kB}), {25.0, 30.0, 1000.0}},
        {"no colours at all", table({10}, {}), {5.0}},
    };
    for (const ColourClass& c : kClasses) {
        for (const Case& k : cases) {
            SCOPED_TRACE(std::string(c.name) + ": " + k.name);
            CAniObj* animation = load(c, k.table);
            ASSERT_NE(animation, nullptr);
            const unsigned long long runsBefore = scriptRuns();
            for (double value : k.values) {
                set(level, value);
                EXPECT_EQ(animation->Run(0), 0);
                EXPECT_EQ(applied(c.target, *owner), ownColour(c.target));
                EXPECT_EQ(owner->m_bPen, 0);
                EXPECT_EQ(owner->m_bBrush, 0);
            }
            // The expression still runs first: only its value has nowhere to go.
            EXPECT_EQ(scriptRuns(), runsBefore + k.values.size());
        }
        // After a coloured segment, one without a colour keeps the colour.
        CAniObj* animation = load(c, table({10, 20, 30}, {kA, kB}));
        set(level, 15);
        EXPECT_EQ(animation->Run(0), 1);
        set(level, 25);
        EXPECT_EQ(animation->Run(0), 0);
        EXPECT_EQ(applied(c.target, *owner), kB);
    }
}

// ---- outline and fill: the current colour and the blink sibling ----

TEST_F(AniColorTest, WithoutABlinkTheOwnersColourIsTheCurrentOne) {
    for (const ColourClass& c : kPenAndBrush) {
        SCOPED_TRACE(c.name);
        const uint32_t own = ownColour(c.target);
        CAniObj* animation = load(c, table({10, 20}, {own, kB}));
        ASSERT_NE(animation, nullptr);
        set(level, 5); // the owner's own colour: no change, and the part stays off
        EXPECT_EQ(animation->Run(0), 0);
        EXPECT_EQ(owner->m_bPen, 0);
        EXPECT_EQ(owner->m_bBrush, 0);
        set(level, 15);
        EXPECT_EQ(animation->Run(0), 1);
        EXPECT_EQ(applied(c.target, *owner), kB);
        set(level, 5);
        EXPECT_EQ(animation->Run(0), 1);
        EXPECT_EQ(applied(c.target, *owner), own);
    }
}

TEST_F(AniColorTest, WithABlinkTheCurrentColourStartsAtBlack) {
    for (const ColourClass& c : kPenAndBrush) {
        SCOPED_TRACE(c.name);
        const uint32_t own = ownColour(c.target);
        // The blink comes after the colour animation: InitObj runs once all are loaded.
        CDrawObj& target = makeOwner(
            {entryOf(c.target, table({10, 20}, {0x000000, own})), blinkEntry(), blinkEntry()});
        CAniObj* animation = target.AnimationAt(0);
        set(level, 5); // black is taken as already applied
        EXPECT_EQ(animation->Run(0), 0);
        EXPECT_EQ(target.m_bPen, 0);
        EXPECT_EQ(target.m_bBrush, 0);
        EXPECT_EQ(applied(c.target, target), own);
        set(level, 15); // the owner's own colour is a change
        EXPECT_EQ(animation->Run(0), 1);
        EXPECT_EQ(target.m_bPen, c.target == Target::Pen ? 1 : 0);
        EXPECT_EQ(target.m_bBrush, c.target == Target::Brush ? 1 : 0);
    }
}

TEST_F(AniColorTest, InitObjFindsTheFirstBlink) {
    CDrawObj& target = makeOwner({blinkEntry(), entryOf(Target::Pen, table({1}, {kA})),
                                  blinkEntry(), entryOf(Target::Brush, table({1}, {kA})),
                                  entryOf(Target::Text, table({1}, {kA}))});
    auto* pen = dynamic_cast<CAniPen*>(target.AnimationAt(1));
    auto* brush = dynamic_cast<CAniBrush*>(target.AnimationAt(3));
    auto* text = dynamic_cast<CAniTextColor*>(target.AnimationAt(4));
    ASSERT_NE(pen, nullptr);
    ASSERT_NE(brush, nullptr);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(pen->m_pBlink, target.AnimationAt(0));
    EXPECT_EQ(brush->m_pBlink, target.AnimationAt(0));
    EXPECT_EQ(text->m_pBlink, target.AnimationAt(0));
    EXPECT_EQ(pen->m_crCurrent, 0u);
    EXPECT_EQ(brush->m_crCurrent, 0u);
    EXPECT_EQ(pen->m_pDrawObj, &target);
    EXPECT_EQ(target.m_bAnimated, 1); // by the blinks: the colour classes do not mark it

    // Attached to an owner without a blink, they take its colour instead.
    CDrawObj plain;
    kestro::ObjectRecord record = anitest::Record(0, 0, 40, 30);
    record.penColor = kOwnPen;
    record.brushColor = kOwnBrush;
    record.animations = {entryOf(Target::Pen, table({10}, {kA})),
                         entryOf(Target::Brush, table({10}, {kA})),
                         entryOf(Target::Text, table({10}, {kA}))};
    anitest::Load(plain, record);
    EXPECT_EQ(plain.m_bAnimated, 0);
    pen->InitObj(&plain);
    brush->InitObj(&plain);
    EXPECT_EQ(pen->m_pBlink, nullptr);
    EXPECT_EQ(brush->m_pBlink, nullptr);
    EXPECT_EQ(pen->m_crCurrent, kOwnPen);
    EXPECT_EQ(brush->m_crCurrent, kOwnBrush);
}

TEST_F(AniColorTest, AColourChangeBecomesTheBlinksOwnLook) {
    for (const ColourClass& c : kPenAndBrush) {
        SCOPED_TRACE(c.name);
        const bool pen = c.target == Target::Pen;
        const uint32_t blinkColour = pen ? 0xFF0000 : 0x00FF00;
        setInt(alarm, 0);
        CDrawObj& target = makeOwner({blinkEntry(), entryOf(c.target, table({10, 20}, {kA, kB}))});
        auto* blink = dynamic_cast<CAniBlink*>(target.AnimationAt(0));
        ASSERT_NE(blink, nullptr);
        int32_t& flag = pen ? target.m_bPen : target.m_bBrush;
        const int32_t& savedFlag = pen ? blink->m_bSavedPen : blink->m_bSavedBrush;
        const uint32_t& savedColour = pen ? blink->m_crSavedPen : blink->m_crSavedBrush;
        ASSERT_EQ(savedFlag, 0);
        ASSERT_EQ(savedColour, ownColour(c.target));

        set(level, 5);
        EXPECT_TRUE(target.Run(0));
        EXPECT_EQ(savedColour, kA);
        EXPECT_EQ(savedFlag, 1);

        // Blinking: the blink colour and the animated colour take turns; the animation does not
        // fight the blink colour while its own colour is unchanged.
        setInt(alarm, 1);
        EXPECT_TRUE(target.Run(1));
        EXPECT_EQ(applied(c.target, target), blinkColour);
        EXPECT_FALSE(target.Run(0));
        EXPECT_EQ(applied(c.target, target), blinkColour);
        EXPECT_TRUE(target.Run(2));
        EXPECT_EQ(applied(c.target, target), kA);
        EXPECT_TRUE(target.Run(3));
        EXPECT_EQ(applied(c.target, target), blinkColour);

        // The end of the blink brings back the animated colour, not the loaded one.
        setInt(alarm, 0);
        EXPECT_TRUE(target.Run(1));
        EXPECT_EQ(applied(c.target, target), kA);
        EXPECT_EQ(flag, 1);

        set(level, 15);
        EXPECT_TRUE(target.Run(0));
        EXPECT_EQ(savedColour, kB);
    }
}

// ---- text colour by owner kind ----

TEST_F(AniColorTest, TextColourOnAKind2Owner) {
    CDrawObj& target =
        makeOwner({blinkEntry(), entryOf(Target::Text, table({10, 20}, {kOwnText, kB}))}, 2);
    auto* text = dynamic_cast<CAniTextColor*>(target.AnimationAt(1));
    auto* blink = dynamic_cast<CAniBlink*>(target.AnimationAt(0));
    ASSERT_NE(text, nullptr);
    ASSERT_NE(blink, nullptr);
    EXPECT_EQ(text->m_crCurrent, kOwnText); // taken from the owner, blink or not
    EXPECT_EQ(text->m_pBlink, blink);

    struct Step {
        double value;
        int result;
        uint32_t text;
    };
    const Step steps[] = {{5, 0, kOwnText}, {15, 1, kB}, {15, 0, kB}, {5, 1, kOwnText}};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.value);
        set(level, step.value);
        EXPECT_EQ(text->Run(0), step.result);
        EXPECT_EQ(target.m_crText, step.text);
        EXPECT_EQ(text->m_crCurrent, step.text);
    }
    // The blink is not told: its saved text colour stays the loaded one.
    set(level, 15);
    EXPECT_EQ(text->Run(0), 1);
    EXPECT_EQ(blink->m_crSavedText, kOwnText);
    EXPECT_EQ(target.m_bPen, 0);
    EXPECT_EQ(target.m_bBrush, 0);
}

TEST_F(AniColorTest, TextColourOnAKind1OwnerIsAppliedOnEveryRefreshButNeverColourOne) {
    CDrawObj& target = makeOwner({entryOf(Target::Text, table({10, 20}, {kOwnText, kB}))}, 1);
    auto* text = dynamic_cast<CAniTextColor*>(target.AnimationAt(0));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->m_crCurrent, kOwnText);

    set(level, 5); // the owner's colour: no change yet
    EXPECT_EQ(text->Run(0), 0);
    set(level, 15);
    EXPECT_EQ(text->Run(0), 1);
    EXPECT_EQ(target.m_crText, kB);
    EXPECT_EQ(text->m_crCurrent, 1u);
    EXPECT_EQ(text->Run(0), 1);
    target.m_crText = 0x999999;
    EXPECT_EQ(text->Run(0), 1);
    EXPECT_EQ(target.m_crText, kB);
    set(level, 5);
    EXPECT_EQ(text->Run(0), 1);
    EXPECT_EQ(target.m_crText, kOwnText);
    EXPECT_EQ(text->m_crCurrent, 1u);

    // The colour 1 equals the current "colour" 1.
    CDrawObj& other = makeOwner({entryOf(Target::Text, table({10, 20}, {0x000001, kB}))}, 1);
    text = dynamic_cast<CAniTextColor*>(other.AnimationAt(0));
    set(level, 15);
    EXPECT_EQ(text->Run(0), 1);
    set(level, 5);
    EXPECT_EQ(text->Run(0), 0);
    EXPECT_EQ(other.m_crText, kB);
}

TEST_F(AniColorTest, TextColourOnOtherKindsOnlyReportsTheTopSegment) {
    // A real shape owner (kind 0), and the text stand-in answering the polyline kind 3.
    for (int kind : {kNoText, 3}) {
        SCOPED_TRACE(kind);
        CDrawObj& shape =
            makeOwner({entryOf(Target::Text, table({10, 20, 30}, {kA, kB, kC}))}, kind);
        auto* text = dynamic_cast<CAniTextColor*>(shape.AnimationAt(0));
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(text->m_crCurrent, 0u); // not a text kind: the owner's text colour is not taken

        struct Step {
            double value;
            int result;
        };
        const Step steps[] = {{1000, 1}, {1000, 1}, {30, 1},    {29.5, 0},
                              {15, 0},   {5, 0},    {-1000, 0}, {30.5, 1}};
        for (const Step& step : steps) {
            SCOPED_TRACE(step.value);
            set(level, step.value);
            EXPECT_EQ(text->Run(0), step.result);
            EXPECT_EQ(shape.m_crText, kOwnText);
            EXPECT_EQ(text->m_crCurrent, 0u);
        }
    }
    // A black or missing top colour reports nothing.
    set(level, 1000);
    for (const std::vector<uint32_t>& colours : {std::vector<uint32_t>{kA, 0}, {kA}}) {
        CDrawObj& shape = makeOwner({entryOf(Target::Text, table({10, 20}, colours))});
        EXPECT_EQ(shape.AnimationAt(0)->Run(0), 0);
        EXPECT_EQ(shape.m_crText, kOwnText);
    }
}

// ---- reports ----

struct ReportCase {
    ColourClass cls;
    int code;
    const char* message;
    kvtest::Log log;
};

TEST_F(AniColorTest, ExpressionFailureReportsAndKeepsTheOwner) {
    const ReportCase reports[] = {
        {kClasses[0],
         25,
         "CAniPen expressFloat run error",
         {"Run", "animation\\anipen", 114, 2, "CAniPen", "CAniPen ExpressFloat errorCode"}},
        {kClasses[1],
         15,
         "CAnibrush expressFloat run error",
         {"Run", "animation\\anibrush", 112, 2, "CAnibrush ExpressFloat errorCod", "erro!"}},
        {kClasses[2],
         46,
         "CAniTextColor--script_SvrRunExpressFloat retrun error!",
         {"Run", "animation\\anitextcolor", 117, 2, "CAniTextColor",
          "script_SvrRunExpressFloat retrun error!"}},
    };
    for (const ReportCase& r : reports) {
        SCOPED_TRACE(r.cls.name);
        for (bool emptyTable : {false, true}) {
            SCOPED_TRACE(emptyTable);
            CAniObj* animation =
                load(r.cls, emptyTable ? table({}, {}, "Level / Zero")
                                       : table({10, 20}, {kA, kB}, "Level / Zero"));
            ASSERT_NE(animation, nullptr);
            HostLog::instance().clear();
            set(level, 15);
            EXPECT_EQ(animation->Run(0), 0);
            EXPECT_EQ(owner->m_bPen, 0);
            EXPECT_EQ(owner->m_bBrush, 0);
            for (Target part : {Target::Pen, Target::Brush, Target::Text}) {
                EXPECT_EQ(applied(part, *owner), ownColour(part));
            }
            kvtest::expectFault(r.code, r.message, r.log);
        }
    }
}

TEST_F(AniColorTest, RefreshAllocatesNothing) {
    if (!kvtest::allocationsCounted()) {
        GTEST_SKIP() << "allocation counting needs the plain allocator";
    }
    for (const ColourClass& c : kClasses) {
        SCOPED_TRACE(c.name);
        // With a blink sibling, so that a change also re-attaches the blink.
        CDrawObj& target = makeOwner({blinkEntry(), entryOf(c.target, table({10, 20}, {kA, kB}))},
                                     c.target == Target::Text ? 2 : kNoText);
        CAniObj* animation = target.AnimationAt(1);
        int changes = 0;
        for (double value : {5.0, 5.0, 15.0, 15.0, 5.0}) {
            set(level, value);
            EXPECT_EQ(kvtest::allocationsOf([&] { changes += animation->Run(0); }), 0) << value;
        }
        EXPECT_EQ(changes, 3);
    }
}

} // namespace
