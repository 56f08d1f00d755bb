// Animation records written as worked out by hand, read back, refused when cut, loaded.
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
    HMoveRecord hmove = withHeader(HMoveRecord{});
    hmove.minOffset = -1;
    hmove.maxOffset = 100;
    hmove.minValue = 0.5f;
    hmove.maxValue = 10.0f;
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
    // clang-format off
    return {
        {"visible", VisibleRecord{header(10, "P"), 7}, 0x300B, "0a 01 00 00 00 50 07 00 00 00"},
        {"visible, old header", VisibleRecord{old, 0}, 0x300B, "02 61 62 00 00 00 00 00 00 00 00"},
        {"fill colour", brush, 0x3002,
         "0a 00 00 00 00 02 00 00 00 00 00 80 3f 00 00 20 c0 01 00 00 00 00 00 ff 00"},
        {"horizontal move", hmove, 0x3004,
         "0a 00 00 00 00 ff ff ff ff 64 00 00 00 00 00 00 3f 00 00 20 41"},
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

// The rectangle with a visibility animation of the stream format's worked example: its bytes
// are the screen compiler's test.
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
    StreamReader in(data);
    ObjectRecord back;
    ASSERT_TRUE(readObject(in, AnimationHeader::Form::Current, &back));
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
    EXPECT_EQ(object.m_logPen.color, 0x00FF0000u);

    // An event program longer than the bytes left refuses the object, even where what follows
    // the event's length would pass for the rest of the record.
    ObjectRecord withEvent;
    withEvent.events = {{1, ""}};
    std::string damaged = encodeObject(withEvent);
    damaged[damaged.size() - 8] = 5;
    FF::utils::MemoryBuffer damagedBuffer(damaged.data(), damaged.size());
    CDrawObj refused;
    EXPECT_FALSE(refused.deserialize(&damagedBuffer));
    // The last eight bytes of a bare record are the event and animation counts.
    const std::string bare = encodeObject(ObjectRecord{});
    for (const char* counts : {"ff ff ff ff 00 00 00 00", "05 00 00 00 00 00 00 00",
                               "00 00 00 00 ff ff ff ff", "00 00 00 00 00 00 00 40"}) {
        const std::string cut = bare.substr(0, bare.size() - 8) + bytes(counts);
        StreamReader cutIn(cut);
        EXPECT_FALSE(readObject(cutIn, AnimationHeader::Form::Current, &back)) << counts;
    }
}

TEST(StreamReader, EventRecordsLongerThanTheBytesLeft) {
    for (const char* damaged :
         {"67 2b 00 00 ff ff ff ff", "67 2b 00 00 04 00 00 00 01 02 03", "67 2b 00"}) {
        SCOPED_TRACE(damaged);
        const std::string data = bytes(damaged);
        StreamReader in(data);
        EventRecord event;
        EXPECT_FALSE(in.eventRecord(&event));
        EXPECT_EQ(in.position(), 0u);
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

} // namespace
