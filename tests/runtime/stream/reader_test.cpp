// The host's stream reader: the primitives and host forms from hand-written bytes, the worked
// examples of the stream format read back field by field, every record kind and every shape
// layout read back from the stream writer's bytes, and every cut-off record refused.
#include "runtime/stream/reader.h"

#include "runtime/project/textfields.h"
#include "tests/support/projecttestutil.h"

#include <gtest/gtest.h>

#include <functional>

using namespace kestro;
using projecttest::bytes;
using projecttest::hex;

namespace {

AnimationHeader header(uint8_t version = 10, std::string program = "") {
    AnimationHeader h;
    h.version = version;
    h.program = std::move(program);
    return h;
}

TEST(StreamReader, Primitives) {
    const std::string data = bytes("ab 34 12 fe ff ff ff 04 03 02 01 00 00 20 c0 78");
    StreamReader in(data);
    uint8_t b = 0;
    uint16_t w = 0;
    int32_t i = 0;
    uint32_t u = 0;
    float f = 0;
    ASSERT_TRUE(in.u8(&b) && in.u16(&w) && in.i32(&i) && in.u32(&u) && in.f32(&f));
    EXPECT_EQ(b, 0xAB);
    EXPECT_EQ(w, 0x1234);
    EXPECT_EQ(i, -2);
    EXPECT_EQ(u, 0x01020304u);
    EXPECT_EQ(f, -2.5f);
    EXPECT_EQ(in.left(), 1u);
    // A read that does not fit leaves the position alone.
    EXPECT_FALSE(in.u16(&w));
    EXPECT_EQ(in.position(), 15u);
    std::string rest;
    EXPECT_FALSE(in.raw(2, &rest));
    EXPECT_EQ(in.rest(), "x");
    EXPECT_TRUE(in.atEnd());
}

struct StringCase {
    const char* name;
    std::string stream;
    bool ok;
    std::string text;
    size_t consumed;
};

TEST(StreamReader, HostStrings) {
    const std::string longText(300, 'q');
    const StringCase cases[] = {
        {"empty", bytes("00"), true, "", 1},
        {"short", bytes("02 61 62 7a"), true, "ab", 3},
        {"two-byte prefix", bytes("ff 2c 01") + longText, true, longText, 303},
        // Longer prefixes than needed still read: the writer picks the shortest.
        {"wide prefix for a short text", bytes("ff ff ff 03 00 00 00 61 62 63"), true, "abc", 10},
        {"prefix cut off", bytes("ff 05"), false, "", 0},
        {"wide prefix cut off", bytes("ff ff ff 03 00"), false, "", 0},
        {"text longer than the bytes left", bytes("05 61 62"), false, "", 0},
        {"nothing at all", "", false, "", 0},
    };
    for (const StringCase& c : cases) {
        SCOPED_TRACE(c.name);
        StreamReader in(c.stream);
        std::string text = "unchanged";
        EXPECT_EQ(in.hostString(&text), c.ok);
        if (c.ok) {
            EXPECT_EQ(text, c.text);
        }
        EXPECT_EQ(in.position(), c.consumed);
    }
}

TEST(StreamReader, EventRecordsAndCounts) {
    {
        const std::string data = bytes("67 2b 00 00 03 00 00 00 01 02 03");
        StreamReader in(data);
        EventRecord event;
        ASSERT_TRUE(in.eventRecord(&event));
        EXPECT_EQ(event.eventCode, 11111);
        EXPECT_EQ(event.program, bytes("01 02 03"));
    }
    for (const char* damaged :
         {"67 2b 00 00 ff ff ff ff", "67 2b 00 00 04 00 00 00 01 02 03", "67 2b 00"}) {
        SCOPED_TRACE(damaged);
        const std::string data = bytes(damaged);
        StreamReader in(data);
        EventRecord event;
        EXPECT_FALSE(in.eventRecord(&event));
        EXPECT_EQ(in.position(), 0u);
    }
    // A count is refused when negative or when count * unit bytes are not left after it.
    struct CountCase {
        const char* stream;
        size_t unit;
        bool ok;
    };
    for (const CountCase& c :
         {CountCase{"02 00 00 00 aa bb cc dd ee ff 00 11", 4, true},
          CountCase{"03 00 00 00 aa bb cc dd ee ff 00 11", 4, false},
          CountCase{"03 00 00 00 aa bb cc", 1, true}, CountCase{"ff ff ff ff aa bb cc", 1, false},
          CountCase{"00 00 00 40 aa", 4, false}}) {
        SCOPED_TRACE(c.stream);
        const std::string data = bytes(c.stream);
        StreamReader in(data);
        int32_t n = -5;
        EXPECT_EQ(in.count(c.unit, &n), c.ok);
    }
}

// Every kind of record, written by the stream writer, reads back into the same struct, uses up
// exactly its bytes, and refuses every shorter stream.
TEST(StreamReader, EveryAnimationKindReadsBackWhatTheWriterWrote) {
    VisibleRecord visible{header(10, "\x01\x02"), 1};
    BlinkRecord blink{header(11), 3, 1, 0x010203, 0xFF0000, 0x00FF00};
    PenRecord pen;
    pen.header = header();
    pen.values = {10.0f, -0.5f};
    pen.colors = {0x123456, 0xABCDEF, 0x000001};
    HMoveRecord hmove;
    hmove.header = header(10, "x");
    hmove.minOffset = -5;
    hmove.maxOffset = 70;
    hmove.minValue = 1.5f;
    hmove.maxValue = 9.25f;
    SizeRecord size{header(), 3, 0.25f, 10, 80.0f, 90, 1};
    ClickRecord click{header(), {"", "打印当前屏幕"}, {1, 0, 7}, {4}, 0x41, 0x202};
    InputRecord input10;
    input10.header = header(10);
    input10.inputType = 1;
    input10.prompt = "p";
    input10.upper.value = 100.0f;
    input10.lower.value = -1.0f;
    input10.varId = 3;
    input10.noCurrentValue = 9;
    InputRecord input11 = input10;
    input11.header.version = 11;
    input11.noCurrentValue = 1;
    input11.lower = InputLimit{true, 0.0f, "\x07\x08"};
    OutputRecord output{header(), "off", "on", 1, 2, 3, 4};
    VisibleRecord oldForm;
    oldForm.header.form = AnimationHeader::Form::Old;
    oldForm.header.source = "T > 1";
    oldForm.header.program = "\x09";

    const std::vector<AnimationRecord> records = {visible, blink,   pen,     hmove,  size,
                                                  click,   input10, input11, output, oldForm};
    for (const AnimationRecord& original : records) {
        const AnimationEntry entry = animationEntry(original);
        const AnimationHeader::Form form = headerOf(original).form;
        SCOPED_TRACE(hex(entry.record));
        EXPECT_EQ(animationTypeOf(original), entry.typeId);
        StreamReader in(entry.record);
        AnimationRecord decoded;
        ASSERT_TRUE(readAnimation(in, entry.typeId, form, &decoded));
        EXPECT_TRUE(in.atEnd());
        EXPECT_EQ(decoded.index(), original.index());
        EXPECT_EQ(animationEntry(decoded).record, entry.record);
        for (size_t length = 0; length < entry.record.size(); ++length) {
            const std::string cut = entry.record.substr(0, length);
            StreamReader shorter(cut);
            AnimationRecord partial;
            EXPECT_FALSE(readAnimation(shorter, entry.typeId, form, &partial)) << length;
        }
    }
    // Field by field, for the record with the most of them.
    const std::string clickBytes = animationEntry(click).record;
    StreamReader in(clickBytes);
    ClickRecord back;
    ASSERT_TRUE(readRecord(in, AnimationHeader::Form::Current, &back));
    EXPECT_EQ(back.texts, click.texts);
    EXPECT_EQ(back.flags, click.flags);
    EXPECT_EQ(back.params, click.params);
    EXPECT_EQ(back.keyCode, 0x41);
    EXPECT_EQ(back.keyFlags, 0x202);
}

TEST(StreamReader, RefusesWhatThePlugInRefuses) {
    struct Case {
        const char* name;
        uint32_t type;
        std::string record;
    };
    const Case cases[] = {
        {"unknown type 0x300C", 0x300C, bytes("0a 00 00 00 00 00 00 00 00")},
        {"unknown type 0x3000", 0x3000, bytes("0a 00 00 00 00 00 00 00 00")},
        {"negative program length", kAniVisible, bytes("0a ff ff ff ff 00 00 00 00")},
        {"input record version 12", kAniInput, bytes("0c 00 00 00 00") + std::string(40, '\0')},
        {"colour table with a negative count", kAniPen, bytes("0a 00 00 00 00 ff ff ff ff")},
        {"click texts counted beyond the bytes", kAniClick,
         bytes("0a 00 00 00 00 03 00 00 00 00 00 00 00 00 00")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StreamReader in(c.record);
        AnimationRecord record;
        EXPECT_FALSE(readAnimation(in, c.type, AnimationHeader::Form::Current, &record));
    }
    EXPECT_FALSE(isAnimationType(0x3000));
    EXPECT_TRUE(isAnimationType(0x3001));
    EXPECT_TRUE(isAnimationType(0x300B));
    EXPECT_FALSE(isAnimationType(0x300C));
}

// The rectangle with a visibility animation of the stream format's worked example.
const char* const kWorkedExample =
    "0a 00 00 01 00 00 00 02 00 0a 00 00 00 14 00 00 00 6e 00 00 00 46 00 00 00 01 00 00 00 00 "
    "00 01 00 00 00 00 00 00 00 ff 00 00 00 01 00 00 00 00 00 00 ff 00 00 00 00 00 00 00 00 00 "
    "00 02 52 31 00 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 0b 30 00 00 0a 02 00 00 00 01 "
    "02 00 00 00 00";

TEST(StreamReader, ReadsTheWorkedObjectRecord) {
    const std::string data = bytes(kWorkedExample);
    ASSERT_EQ(data.size(), 95u);
    StreamReader in(data);
    ObjectRecord record;
    ASSERT_TRUE(readObject(in, AnimationHeader::Form::Current, &record));
    EXPECT_EQ(record.version, 10);
    EXPECT_EQ(record.objectId, 0x00020001u);
    EXPECT_EQ(record.wordALow, 0);
    EXPECT_FALSE(record.operLogBlock.has_value());
    EXPECT_EQ(record.left, 10);
    EXPECT_EQ(record.top, 20);
    EXPECT_EQ(record.right, 110);
    EXPECT_EQ(record.bottom, 70);
    EXPECT_EQ(record.pen, 1);
    EXPECT_EQ(record.penWidthX, 1);
    EXPECT_EQ(record.penColor, 0xFF0000u); // stored 0x000000FF
    EXPECT_EQ(record.brush, 1);
    EXPECT_EQ(record.brushColor, 0x00FF00u);
    EXPECT_EQ(record.name, "R1");
    EXPECT_TRUE(record.events.empty());
    ASSERT_EQ(record.animations.size(), 1u);
    EXPECT_EQ(record.animations[0].typeId, uint32_t{kAniVisible});
    EXPECT_EQ(hex(record.animations[0].record), "0a 02 00 00 00 01 02 00 00 00 00");
    EXPECT_EQ(record.extra, "");
    EXPECT_EQ(encodeObject(record), data);
    for (size_t length = 0; length < data.size(); ++length) {
        const std::string cut = data.substr(0, length);
        StreamReader shorter(cut);
        ObjectRecord partial;
        EXPECT_FALSE(readObject(shorter, AnimationHeader::Form::Current, &partial)) << length;
    }
}

TEST(StreamReader, ObjectRecordWithTheOperationLogBlockAndExtraBytes) {
    ObjectRecord r;
    r.objectId = 0xAABBCCDD;
    r.wordALow = 0x00FF;
    r.wordBLow = 0x0042;
    r.operLogBlock = OperLogBlock{7, 0, "log.key"};
    r.penStyle = 2; // kept as stored, although the plug-in draws it as 0
    r.events = {{11111, "\x01"}, {-1, ""}};
    r.extra = "XYZ";
    const std::string data = encodeObject(r);
    StreamReader in(data);
    ObjectRecord back;
    ASSERT_TRUE(readObject(in, AnimationHeader::Form::Current, &back));
    EXPECT_EQ(back.objectId, 0xAABBCCDDu);
    EXPECT_EQ(back.wordALow, 0x00FF);
    EXPECT_EQ(back.wordBLow, 0x0042);
    ASSERT_TRUE(back.operLogBlock.has_value());
    EXPECT_EQ(back.operLogBlock->reserved, 7u);
    EXPECT_EQ(back.operLogBlock->operLog, 0);
    EXPECT_EQ(back.operLogBlock->text, "log.key");
    EXPECT_EQ(back.penStyle, 2u);
    ASSERT_EQ(back.events.size(), 2u);
    EXPECT_EQ(back.events[1].eventCode, -1);
    EXPECT_EQ(back.extra, "XYZ");
    EXPECT_EQ(encodeObject(back), data);
}

TEST(StreamReader, ObjectCountsAreCheckedAgainstTheBytesLeft) {
    ObjectRecord r;
    std::string data = encodeObject(r);
    // The last eight bytes are the event count and the animation count.
    const size_t events = data.size() - 8;
    const auto withCounts = [&](const char* eventCount, const char* animationCount) {
        return data.substr(0, events) + bytes(eventCount) + bytes(animationCount);
    };
    for (const auto& [eventCount, animationCount] :
         {std::pair{"ff ff ff ff", "00 00 00 00"}, std::pair{"05 00 00 00", "00 00 00 00"},
          std::pair{"00 00 00 00", "ff ff ff ff"}, std::pair{"00 00 00 00", "00 00 00 40"}}) {
        SCOPED_TRACE(std::string(eventCount) + " / " + animationCount);
        const std::string damaged = withCounts(eventCount, animationCount);
        StreamReader in(damaged);
        ObjectRecord back;
        EXPECT_FALSE(readObject(in, AnimationHeader::Form::Current, &back));
    }
}

template <class Fields>
void expectReadsBack(const Fields& fields, const std::string& expectedHex) {
    const std::string data = encodeFields(fields);
    EXPECT_EQ(hex(data), expectedHex);
    StreamReader in(data);
    Fields back{};
    ASSERT_TRUE(readFields(in, &back));
    EXPECT_TRUE(in.atEnd());
    EXPECT_EQ(encodeFields(back), data);
    for (size_t length = 0; length < data.size(); ++length) {
        const std::string cut = data.substr(0, length);
        StreamReader shorter(cut);
        Fields partial{};
        EXPECT_FALSE(readFields(shorter, &partial)) << length;
    }
}

TEST(StreamReader, ShapeFieldsInStreamOrder) {
    expectReadsBack(NoShapeFields{}, "");
    EXPECT_EQ(encodeFields(DrawRectFields{}), "");
    EXPECT_EQ(encodeFields(DrawLineFields{}), "");
    EXPECT_EQ(encodeFields(DrawPlane3Fields{}), "");
    expectReadsBack(RoundRectFields{21, 10}, "15 00 00 00 0a 00 00 00");
    // The arc's end pair comes first.
    expectReadsBack(ArcFields{1, 2, 3, 4}, "03 00 00 00 04 00 00 00 01 00 00 00 02 00 00 00");
    expectReadsBack(PercentDirectionFields{40, 3}, "28 00 00 00 03 00 00 00");
    expectReadsBack(PercentFields{-1}, "ff ff ff ff");
    expectReadsBack(DirectionFields{2}, "02 00 00 00");
    PolyFields poly;
    poly.reserved = 5;
    poly.closed = 1;
    poly.points = {{1, -1}, {256, 2}};
    expectReadsBack(poly, "02 00 05 00 01 00 01 00 00 00 ff ff ff ff 00 01 00 00 02 00 00 00");
    GuanFields guan;
    guan.pipeWidth = 6;
    guan.path = {{3, 4}};
    expectReadsBack(guan, "06 00 01 00 03 00 00 00 04 00 00 00");
    expectReadsBack(HalfBoxFields{1, 2, 3, 4}, "01 00 00 00 02 00 00 00 03 00 00 00 04 00 00 00");
    expectReadsBack(Ball3DFields{7, 8}, "07 00 00 00 08 00 00 00");
    expectReadsBack(Circle3DFields{150, 0}, "96 00 00 00 00 00 00 00");
    expectReadsBack(CubeFields{70, 1, 0}, "46 00 00 00 01 00 00 00 00 00 00 00");
    expectReadsBack(PipeFields{1}, "01 00 00 00");
    // The elbow starts with a 2-byte field; the balloon writes side, at-end flag, position.
    expectReadsBack(Pipe3Fields{2, 12, 14}, "02 00 0c 00 00 00 0e 00 00 00");
    expectReadsBack(BalloonFields{3, 1, 100}, "03 00 00 00 01 00 00 00 64 00 00 00");
    TextFields text;
    text.text = "Hi";
    text.fontPixelSize = 16;
    text.alignment = 0x84;
    text.color = 0x102030; // stored 0x00302010
    text.bold = 1;
    expectReadsBack(text, "02 48 69 10 00 00 00 84 00 00 00 10 20 30 00 01 00 00 00");
}

TEST(StreamReader, PointCountsBeyondTheBytesAreRefused) {
    // A count that does not match the vertices, as damaged records have it.
    PolyFields poly;
    poly.reserved = 0xBEEF;
    poly.closed = 1;
    poly.pointCount = 0xFFFF;
    EXPECT_EQ(hex(encodeFields(poly)), "ff ff ef be 01 00");
    poly.pointCount = 3;
    poly.points = {{0, 0}, {1, 1}};
    GuanFields band;
    band.pipeWidth = 6;
    band.pointCount = 9;
    band.path = {{3, 4}};
    EXPECT_EQ(hex(encodeFields(band).substr(0, 4)), "06 00 09 00");
    const std::string polyData = encodeFields(poly);
    StreamReader polyIn(polyData);
    PolyFields polyBack;
    EXPECT_FALSE(readFields(polyIn, &polyBack));
    const std::string bandData = encodeFields(band);
    StreamReader bandIn(bandData);
    GuanFields bandBack;
    EXPECT_FALSE(readFields(bandIn, &bandBack));
}

} // namespace
