// The host's stream reader and writer: the primitives and host forms, records the plug-in
// refuses, and every shape layout read back from the writer's bytes and refused when cut.
#include "runtime/stream/reader.h"
#include "runtime/stream/writer.h"

#include "runtime/project/textfields.h"
#include "tests/support/projecttestutil.h"

#include <gtest/gtest.h>

#include <functional>

using namespace kestro;
using projecttest::bytes;
using projecttest::hex;

namespace {

TEST(StreamReader, PrimitivesAsTheWriterWritesThem) {
    StreamWriter out;
    out.u8(0xAB).u16(0x1234).i32(-2).u32(0x01020304).f32(-2.5f).raw("x");
    const std::string data = out.take();
    EXPECT_EQ(hex(data), "ab 34 12 fe ff ff ff 04 03 02 01 00 00 20 c0 78");
    EXPECT_EQ(out.size(), 0u);
    StreamReader in(data);
    uint8_t b = 0;
    uint16_t w = 0;
    int32_t i = 0;
    uint32_t u = 0;
    float f = 0;
    ASSERT_TRUE(in.u8(&b) && in.u16(&w) && in.i32(&i) && in.u32(&u) && in.f32(&f));
    EXPECT_EQ(std::vector<int64_t>({b, w, i, u}),
              std::vector<int64_t>({0xAB, 0x1234, -2, 0x01020304}));
    EXPECT_EQ(f, -2.5f);
    // A read that does not fit leaves the position alone.
    EXPECT_FALSE(in.u16(&w));
    std::string rest;
    EXPECT_FALSE(in.raw(2, &rest));
    EXPECT_EQ(in.position(), 15u);
    EXPECT_EQ(in.rest(), "x");
    EXPECT_EQ(toStoredColor(0xAA112233), 0xAA332211u);
    EXPECT_EQ(hex(StreamWriter().eventRecord(7, "ab").bytes()), "07 00 00 00 02 00 00 00 61 62");
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
