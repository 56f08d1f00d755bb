// The record layouts, one row a record: the writer writes exactly the bytes worked out by hand,
// the reader gives the record back from them and refuses every shorter stream, and the plug-in
// loads an object holding it.
#include "runtime/stream/reader.h"
#include "runtime/stream/writer.h"

#include "kestrovalumen/core/drawobj.h"
#include "tests/support/hostfixture.h"
#include "tests/support/printers.h"
#include "tests/support/projecttestutil.h"

#include <stdexcept>

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

template <class Record>
Record withHeader(Record r, uint8_t version = 10) {
    r.header = header(version);
    return r;
}

struct LayoutRow {
    const char* name;
    AnimationRecord record;
    uint32_t typeId;
    const char* bytes;
};

std::vector<LayoutRow> layoutRows() {
    AnimationHeader old;
    old.form = AnimationHeader::Form::Old;
    old.version = 11; // not written in the old form
    old.source = "ab";
    BrushRecord brush = withHeader(BrushRecord{});
    brush.values = {1.0f, -2.5f};
    brush.colors = {0x0000FF};
    PenRecord pen;
    static_cast<ColorTableRecord&>(pen) = brush;
    HMoveRecord hmove = withHeader(HMoveRecord{});
    hmove.minOffset = -1;
    hmove.maxOffset = 100;
    hmove.minValue = 0.5f;
    hmove.maxValue = 10.0f;
    VMoveRecord vmove;
    static_cast<MoveRecord&>(vmove) = hmove;
    ClickRecord click = withHeader(ClickRecord{});
    click.texts = {"a"};
    click.flags = {1, 2};
    click.keyCode = 0x41;
    click.keyFlags = 2;
    InputRecord input10 = withHeader(InputRecord{});
    input10.inputType = 1;
    input10.prompt = "p";
    input10.upper.value = 1.0f;
    input10.varId = 5;
    input10.noCurrentValue = 1;
    InputRecord inputOld = input10;
    inputOld.header = old;
    inputOld.header.source = "";
    InputRecord input11 = withHeader(InputRecord{}, 11);
    input11.inputType = 2;
    input11.noCurrentValue = 1;
    input11.upper = InputLimit{true, 0.0f, "U"};
    input11.lower = InputLimit{false, 2.0f, ""};
    input11.varId = 7;
    InputRecord input11Lower = withHeader(InputRecord{}, 11);
    input11Lower.lower = InputLimit{true, 0.0f, ""};
    OutputRecord output{header(), "0", "1", 1, 2, 3, 4};
    // clang-format off
    return {
        {"visible", VisibleRecord{header(10, "P"), 7}, 0x300B, "0a 01 00 00 00 50 07 00 00 00"},
        {"visible, old header", VisibleRecord{old, 0}, 0x300B, "02 61 62 00 00 00 00 00 00 00 00"},
        {"blink", BlinkRecord{header(), 1, 2, 0x112233, 0xFF0000, 0xFFFFFF}, 0x3001,
         "0a 00 00 00 00 01 00 00 00 02 00 00 00 11 22 33 00 ff 00 00 00 ff ff ff 00"},
        {"fill colour", brush, 0x3002,
         "0a 00 00 00 00 02 00 00 00 00 00 80 3f 00 00 20 c0 01 00 00 00 00 00 ff 00"},
        {"outline colour", pen, 0x3008,
         "0a 00 00 00 00 02 00 00 00 00 00 80 3f 00 00 20 c0 01 00 00 00 00 00 ff 00"},
        {"text colour", withHeader(TextColorRecord{}), 0x300A, "0a 00 00 00 00 00 00 00 00 00 00 00 00"},
        {"horizontal move", hmove, 0x3004,
         "0a 00 00 00 00 ff ff ff ff 64 00 00 00 00 00 00 3f 00 00 20 41"},
        {"vertical move", vmove, 0x3005,
         "0a 00 00 00 00 ff ff ff ff 64 00 00 00 00 00 00 3f 00 00 20 41"},
        {"size", SizeRecord{header(), 6, 0.0f, 10, 100.0f, 200, 1}, 0x3009,
         "0a 00 00 00 00 06 00 00 00 00 00 00 00 0a 00 00 00 00 00 c8 42 c8 00 00 00 01 00 00 00"},
        {"click", click, 0x3003,
         "0a 00 00 00 00 01 00 00 00 01 61 02 00 00 00 01 00 00 00 02 00 00 00 00 00 00 00 41 00 00 "
         "00 02 00 00 00"},
        {"input, version 10", input10, 0x3006,
         "0a 00 00 00 00 01 00 00 00 01 70 00 00 00 00 80 3f 00 00 00 00 05 00 00 00 01 00 00 00 00 "
         "00 00 00 00 00 00 00"},
        // The old header carries no version byte and always the version 10 layout.
        {"input, old header", inputOld, 0x3006,
         "00 00 00 00 00 01 00 00 00 01 70 00 00 00 00 80 3f 00 00 00 00 05 00 00 00 01 00 00 00 00 "
         "00 00 00 00 00 00 00"},
        {"input, version 11, upper program", input11, 0x3006,
         "0b 00 00 00 00 05 00 00 00 02 00 00 00 00 00 00 01 00 00 00 55 00 00 00 40 07 00 00 00 00 "
         "00 00 00 00 00 00 00"},
        {"input, version 11, lower program", input11Lower, 0x3006,
         "0b 00 00 00 00 02 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
         "00 00 00 00 00 00"},
        {"output", output, 0x3007,
         "0a 00 00 00 00 01 30 01 31 01 00 00 00 02 00 00 00 03 00 00 00 04 00 00 00"},
    };
    // clang-format on
}

class RecordLayouts : public HostTest {};

TEST_F(RecordLayouts, WrittenReadBackCutAndLoadedByThePlugIn) {
    for (const LayoutRow& row : layoutRows()) {
        SCOPED_TRACE(row.name);
        const AnimationEntry entry = animationEntry(row.record);
        EXPECT_EQ(entry.typeId, row.typeId);
        EXPECT_EQ(animationTypeOf(row.record), row.typeId);
        EXPECT_EQ(hex(entry.record), row.bytes);
        const AnimationHeader::Form form = headerOf(row.record).form;
        StreamReader in(entry.record);
        AnimationRecord decoded;
        ASSERT_TRUE(readAnimation(in, entry.typeId, form, &decoded));
        EXPECT_TRUE(in.atEnd());
        EXPECT_EQ(decoded.index(), row.record.index());
        EXPECT_EQ(animationEntry(decoded).record, entry.record);
        for (size_t length = 0; length < entry.record.size(); ++length) {
            const std::string cut = entry.record.substr(0, length);
            StreamReader shorter(cut);
            AnimationRecord partial;
            EXPECT_FALSE(readAnimation(shorter, entry.typeId, form, &partial)) << length;
        }
        if (form == AnimationHeader::Form::Old) {
            continue; // the plug-in takes the old header from the project's version
        }
        ObjectRecord object;
        object.animations = {entry};
        const std::string record = encodeObject(object);
        FF::utils::MemoryBuffer buffer(record.data(), record.size());
        CDrawObj loaded;
        EXPECT_TRUE(loaded.deserialize(&buffer));
        EXPECT_EQ(buffer.position(), record.size());
        EXPECT_EQ(loaded.AnimationCount(), 1);
    }
    InputRecord programInVersion10 = withHeader(InputRecord{});
    programInVersion10.upper = InputLimit{true, 0.0f, "U"};
    StreamWriter out;
    EXPECT_THROW(writeRecord(out, programInVersion10), std::invalid_argument);
}

// The rectangle with a visibility animation of the stream format's worked example.
const char* const kWorkedExample =
    "0a 00 00 01 00 00 00 02 00 0a 00 00 00 14 00 00 00 6e 00 00 00 46 00 00 00 01 00 00 00 00 "
    "00 01 00 00 00 00 00 00 00 ff 00 00 00 01 00 00 00 00 00 00 ff 00 00 00 00 00 00 00 00 00 "
    "00 02 52 31 00 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 0b 30 00 00 0a 02 00 00 00 01 "
    "02 00 00 00 00";

TEST_F(RecordLayouts, TheWorkedObjectRecord) {
    ObjectRecord r;
    r.objectId = 0x00020001;
    r.left = 10;
    r.top = 20;
    r.right = 110;
    r.bottom = 70;
    r.pen = 1;
    r.penWidthX = 1;
    r.penColor = 0xFF0000; // stored 0x000000FF
    r.brush = 1;
    r.brushColor = 0x00FF00;
    r.name = "R1";
    r.animations = {animationEntry(VisibleRecord{header(10, "\x01\x02"), 0})};
    const std::string data = encodeObject(r);
    EXPECT_EQ(hex(data), kWorkedExample);

    StreamReader in(data);
    ObjectRecord back;
    ASSERT_TRUE(readObject(in, AnimationHeader::Form::Current, &back));
    EXPECT_EQ(back.version, 10);
    EXPECT_EQ(back.objectId, 0x00020001u);
    EXPECT_FALSE(back.operLogBlock.has_value());
    EXPECT_EQ(std::vector<int>({back.left, back.top, back.right, back.bottom}),
              std::vector<int>({10, 20, 110, 70}));
    EXPECT_EQ(back.penColor, 0xFF0000u);
    EXPECT_EQ(back.brushColor, 0x00FF00u);
    EXPECT_EQ(back.name, "R1");
    ASSERT_EQ(back.animations.size(), 1u);
    EXPECT_EQ(back.animations[0].typeId, uint32_t{kAniVisible});
    EXPECT_EQ(encodeObject(back), data);
    for (size_t length = 0; length < data.size(); ++length) {
        const std::string cut = data.substr(0, length);
        StreamReader shorter(cut);
        ObjectRecord partial;
        EXPECT_FALSE(readObject(shorter, AnimationHeader::Form::Current, &partial)) << length;
    }

    FF::utils::MemoryBuffer buffer(data.data(), data.size());
    CDrawObj object;
    ASSERT_TRUE(object.deserialize(&buffer));
    EXPECT_EQ(buffer.position(), data.size());
    EXPECT_EQ(object.m_nObjectId, 0x00020001u);
    EXPECT_EQ(object.m_rect, (Rect32{10, 20, 110, 70}));
    EXPECT_EQ(object.m_logPen.color, 0x00FF0000u);
    EXPECT_EQ(object.m_logBrush.color, 0x0000FF00u);
    EXPECT_STREQ(object.m_strName.GetString(), "R1");

    // An event program longer than the bytes left refuses the object, even where what follows
    // the event's length would pass for the rest of the record.
    ObjectRecord withEvent;
    withEvent.events = {{1, ""}};
    std::string damaged = encodeObject(withEvent);
    damaged[damaged.size() - 8] = 5;
    FF::utils::MemoryBuffer damagedBuffer(damaged.data(), damaged.size());
    CDrawObj refused;
    EXPECT_FALSE(refused.deserialize(&damagedBuffer));
}

TEST(ObjectRecordLayout, WordsOperationLogBlockEventsAndExtraBytes) {
    ObjectRecord r;
    r.objectId = 0xAABBCCDD;
    r.wordALow = 0x01FF; // bit 0x100 belongs to the block
    r.wordBLow = 0x0042;
    EXPECT_EQ(objectWordA(r), 0xCCDD00FFu);
    EXPECT_EQ(objectWordB(r), 0xAABB0042u);
    const size_t without = encodeObject(r).size();
    r.operLogBlock = OperLogBlock{7, 1, "k"};
    EXPECT_EQ(objectWordA(r), 0xCCDD01FFu);
    r.penStyle = 2; // kept as stored, although the plug-in draws it as 0
    r.events = {{11111, "\x01"}, {-1, ""}};
    r.extra = "XYZ";
    const std::string data = encodeObject(r);
    EXPECT_EQ(hex(data.substr(0, 19)), "0a ff 01 dd cc 42 00 bb aa 07 00 00 00 01 00 00 00 01 6b");
    EXPECT_EQ(data.size(), without + 10 + 9 + 8 + 3); // block, events, extra bytes
    StreamReader in(data);
    ObjectRecord back;
    ASSERT_TRUE(readObject(in, AnimationHeader::Form::Current, &back));
    EXPECT_EQ(back.wordALow, 0x00FF);
    ASSERT_TRUE(back.operLogBlock.has_value());
    EXPECT_EQ(back.operLogBlock->reserved, 7u);
    EXPECT_EQ(back.operLogBlock->text, "k");
    EXPECT_EQ(back.penStyle, 2u);
    ASSERT_EQ(back.events.size(), 2u);
    EXPECT_EQ(back.events[1].eventCode, -1);
    EXPECT_EQ(back.extra, "XYZ");
    EXPECT_EQ(encodeObject(back), data);

    // The last eight bytes of a bare record are the event and animation counts.
    const std::string bare = encodeObject(ObjectRecord{});
    for (const auto& [events, animations] :
         {std::pair{"ff ff ff ff", "00 00 00 00"}, std::pair{"05 00 00 00", "00 00 00 00"},
          std::pair{"00 00 00 00", "ff ff ff ff"}, std::pair{"00 00 00 00", "00 00 00 40"}}) {
        const std::string damaged =
            bare.substr(0, bare.size() - 8) + bytes(events) + bytes(animations);
        StreamReader damagedIn(damaged);
        ObjectRecord refused;
        EXPECT_FALSE(readObject(damagedIn, AnimationHeader::Form::Current, &refused))
            << events << " / " << animations;
    }
}

} // namespace
