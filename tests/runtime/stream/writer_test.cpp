// The host's stream writer: byte-exact encodings of the primitives, the host forms, every
// animation record and the common object record, each worked out by hand from the record
// layouts; and one record read back by the plug-in's loader.
#include "runtime/stream/writer.h"

#include "kestrovalumen/animation/anivisible.h"
#include "kestrovalumen/core/drawobj.h"
#include "tests/support/hostfixture.h"
#include "tests/support/printers.h"
#include "tests/support/projecttestutil.h"

#include <stdexcept>

using namespace kestro;
using projecttest::hex;

namespace {

template <class Record>
std::string encoded(const Record& record) {
    StreamWriter out;
    writeRecord(out, record);
    return hex(out.bytes());
}

AnimationHeader currentHeader(uint8_t version = 10, std::string program = "") {
    AnimationHeader header;
    header.version = version;
    header.program = std::move(program);
    return header;
}

TEST(StreamWriter, Primitives) {
    StreamWriter out;
    out.u8(0xAB).u16(0x1234).i32(-2).u32(0x01020304).f32(1.0f).f32(-2.5f).raw("xy").raw("\0z", 2);
    EXPECT_EQ(hex(out.bytes()), "ab 34 12 fe ff ff ff 04 03 02 01 00 00 80 3f 00 00 20 c0 78 79 "
                                "00 7a");
    EXPECT_EQ(out.size(), 23u);
    const std::string taken = out.take();
    EXPECT_EQ(taken.size(), 23u);
    EXPECT_EQ(out.size(), 0u);
}

TEST(StreamWriter, EventRecord) {
    EXPECT_EQ(hex(StreamWriter().eventRecord(7, "ab").bytes()), "07 00 00 00 02 00 00 00 61 62");
    EXPECT_EQ(hex(StreamWriter().eventRecord(-1, "").bytes()), "ff ff ff ff 00 00 00 00");
}

TEST(StreamWriter, StoredColoursSwapRedAndBlue) {
    EXPECT_EQ(toStoredColor(0x00996633), 0x00336699u);
    EXPECT_EQ(toStoredColor(0x00FF0000), 0x000000FFu);
    EXPECT_EQ(toStoredColor(0xAA112233), 0xAA332211u);
}

TEST(StreamWriter, AnimationHeaderForms) {
    StreamWriter current;
    writeHeader(current, currentHeader(11, "P"));
    EXPECT_EQ(hex(current.bytes()), "0b 01 00 00 00 50");

    AnimationHeader old;
    old.form = AnimationHeader::Form::Old;
    old.version = 11; // not written in the old form
    old.source = "ab";
    StreamWriter oldOut;
    writeHeader(oldOut, old);
    EXPECT_EQ(hex(oldOut.bytes()), "02 61 62 00 00 00 00");
}

TEST(StreamWriter, VisibleAndBlinkRecords) {
    EXPECT_EQ(encoded(VisibleRecord{currentHeader(10, "P"), 7}), "0a 01 00 00 00 50 07 00 00 00");

    BlinkRecord blink;
    blink.header = currentHeader();
    blink.blinkExtra = 1;
    blink.blinkType = 2;
    blink.blinkTextColor = 0x112233;
    blink.blinkPenColor = 0xFF0000;
    EXPECT_EQ(encoded(blink), "0a 00 00 00 00 01 00 00 00 02 00 00 00 11 22 33 00 ff 00 00 00 "
                              "ff ff ff 00");
}

TEST(StreamWriter, ColourTableRecordsAndTheirTypes) {
    BrushRecord brush;
    brush.header = currentHeader();
    brush.values = {1.0f, -2.5f};
    brush.colors = {0x0000FF};
    EXPECT_EQ(encoded(brush),
              "0a 00 00 00 00 02 00 00 00 00 00 80 3f 00 00 20 c0 01 00 00 00 00 00 ff 00");
    EXPECT_EQ(animationEntry(brush).typeId, 0x3002u);
    EXPECT_EQ(hex(animationEntry(brush).record), encoded(brush));

    PenRecord pen;
    TextColorRecord text;
    EXPECT_EQ(animationEntry(pen).typeId, 0x3008u);
    EXPECT_EQ(animationEntry(text).typeId, 0x300Au);
    EXPECT_EQ(hex(animationEntry(text).record), "0a 00 00 00 00 00 00 00 00 00 00 00 00");
}

TEST(StreamWriter, MoveAndSizeRecords) {
    HMoveRecord move;
    move.header = currentHeader();
    move.minOffset = -1;
    move.maxOffset = 100;
    move.minValue = 0.5f;
    move.maxValue = 10.0f;
    const std::string expected = "0a 00 00 00 00 ff ff ff ff 64 00 00 00 00 00 00 3f 00 00 20 41";
    EXPECT_EQ(hex(animationEntry(move).record), expected);
    EXPECT_EQ(animationEntry(move).typeId, 0x3004u);
    VMoveRecord vmove;
    static_cast<MoveRecord&>(vmove) = move;
    EXPECT_EQ(animationEntry(vmove).typeId, 0x3005u);
    EXPECT_EQ(hex(animationEntry(vmove).record), expected);

    SizeRecord size;
    size.header = currentHeader();
    size.sizeType = 6;
    size.minPercent = 10;
    size.maxValue = 100.0f;
    size.maxPercent = 200;
    size.sizeMode = 1;
    EXPECT_EQ(encoded(size), "0a 00 00 00 00 06 00 00 00 00 00 00 00 0a 00 00 00 00 00 c8 42 "
                             "c8 00 00 00 01 00 00 00");
    EXPECT_EQ(animationEntry(size).typeId, 0x3009u);
}

TEST(StreamWriter, ClickRecord) {
    ClickRecord click;
    click.header = currentHeader();
    click.texts = {"a"};
    click.flags = {1, 2};
    click.keyCode = 0x41;
    click.keyFlags = 2;
    EXPECT_EQ(encoded(click), "0a 00 00 00 00 01 00 00 00 01 61 02 00 00 00 01 00 00 00 02 00 "
                              "00 00 00 00 00 00 41 00 00 00 02 00 00 00");
    EXPECT_EQ(animationEntry(click).typeId, 0x3003u);
}

TEST(StreamWriter, InputRecordVersion10) {
    InputRecord input;
    input.header = currentHeader(10);
    input.inputType = 1;
    input.prompt = "p";
    input.upper.value = 1.0f;
    input.varId = 5;
    input.noCurrentValue = 1;
    const std::string expected = "0a 00 00 00 00 01 00 00 00 01 70 00 00 00 00 80 3f 00 00 00 00 "
                                 "05 00 00 00 01 00 00 00 00 00 00 00 00 00 00 00";
    EXPECT_EQ(encoded(input), expected);
    EXPECT_EQ(animationEntry(input).typeId, 0x3006u);

    // The old header form carries no version byte and always the version 10 layout.
    input.header.form = AnimationHeader::Form::Old;
    input.header.version = 11;
    EXPECT_EQ(encoded(input), "00 00 00 00 00" + expected.substr(14));

    input.upper = InputLimit{true, 0.0f, "U"};
    StreamWriter out;
    EXPECT_THROW(writeRecord(out, input), std::invalid_argument);
}

TEST(StreamWriter, InputRecordVersion11) {
    InputRecord input;
    input.header = currentHeader(11);
    input.inputType = 2;
    input.noCurrentValue = 1;
    input.upper = InputLimit{true, 0.0f, "U"};
    input.lower = InputLimit{false, 2.0f, ""};
    input.varId = 7;
    EXPECT_EQ(encoded(input), "0b 00 00 00 00 05 00 00 00 02 00 00 00 00 00 00 01 00 00 00 55 "
                              "00 00 00 40 07 00 00 00 00 00 00 00 00 00 00 00");
    // Lower program: bit 1.
    input.noCurrentValue = 0;
    input.upper = InputLimit{false, 0.0f, ""};
    input.lower = InputLimit{true, 0.0f, ""};
    EXPECT_EQ(encoded(input).substr(15, 11), "02 00 00 00");
}

TEST(StreamWriter, OutputRecord) {
    OutputRecord output;
    output.header = currentHeader();
    output.offText = "0";
    output.onText = "1";
    output.outputType = 1;
    output.decimals = 2;
    output.intDigits = 3;
    output.outputExtra = 4;
    EXPECT_EQ(encoded(output), "0a 00 00 00 00 01 30 01 31 01 00 00 00 02 00 00 00 03 00 00 00 "
                               "04 00 00 00");
    EXPECT_EQ(animationEntry(output).typeId, 0x3007u);
    EXPECT_EQ(animationEntry(VisibleRecord{}).typeId, 0x300Bu);
    EXPECT_EQ(animationEntry(BlinkRecord{}).typeId, 0x3001u);
}

// The worked example of the format notes: a rectangle with one visibility animation.
ObjectRecord example() {
    ObjectRecord r;
    r.objectId = 0x00020001;
    r.left = 10;
    r.top = 20;
    r.right = 110;
    r.bottom = 70;
    r.pen = 1;
    r.penWidthX = 1;
    r.penColor = 0xFF0000;
    r.brush = 1;
    r.brushColor = 0x00FF00;
    r.name = "R1";
    r.animations = {animationEntry(VisibleRecord{currentHeader(10, std::string("\x01\x02")), 0})};
    return r;
}

TEST(StreamWriter, ObjectWordsOperLogBlockAndExtraBytes) {
    ObjectRecord r;
    r.objectId = 0xAABBCCDD;
    r.wordALow = 0x01FF; // bit 0x100 belongs to the block
    r.wordBLow = 0x0042;
    EXPECT_EQ(objectWordA(r), 0xCCDD00FFu);
    EXPECT_EQ(objectWordB(r), 0xAABB0042u);
    r.operLogBlock = OperLogBlock{7, 1, "k"};
    EXPECT_EQ(objectWordA(r), 0xCCDD01FFu);
    r.extra = "XYZ";
    const std::string bytes = encodeObject(r);
    EXPECT_EQ(hex(bytes.substr(0, 19)), "0a ff 01 dd cc 42 00 bb aa 07 00 00 00 01 00 00 00 01 6b");
    EXPECT_EQ(bytes.substr(bytes.size() - 3), "XYZ");
    // The block adds 10 bytes in front of the rectangle.
    r.operLogBlock.reset();
    EXPECT_EQ(encodeObject(r).size(), bytes.size() - 10);
}

class StreamWriterRoundTrip : public HostTest {};

// The reader's test holds its bytes; here the plug-in reads what the writer makes of it.
TEST_F(StreamWriterRoundTrip, TheModuleReadsTheWorkedExample) {
    const std::string bytes = encodeObject(example());
    ASSERT_EQ(bytes.size(), 95u);
    FF::utils::MemoryBuffer buffer(bytes.data(), bytes.size());
    CDrawObj object;
    ASSERT_TRUE(object.deserialize(&buffer));
    EXPECT_EQ(buffer.position(), bytes.size());
    EXPECT_EQ(object.m_nObjectId, 0x00020001u);
    EXPECT_EQ(object.m_rect, (Rect32{10, 20, 110, 70}));
    EXPECT_EQ(object.m_logPen.color, 0x00FF0000u);
    EXPECT_EQ(object.m_logBrush.color, 0x0000FF00u);
    EXPECT_STREQ(object.m_strName.GetString(), "R1");
    ASSERT_EQ(object.AnimationCount(), 1);
    auto* visible = dynamic_cast<CAniVisible*>(object.AnimationAt(0));
    ASSERT_NE(visible, nullptr);
    EXPECT_EQ(visible->m_bufExpress.length(), 2u);
}

} // namespace
