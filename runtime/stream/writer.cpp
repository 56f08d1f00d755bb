// Stream writer: encodes exactly the layouts that the plug-in's loaders read.
#include "runtime/stream/writer.h"

#include "runtime/stream/forms.h"

#include <cstring>
#include <iterator>
#include <stdexcept>

namespace kestro {

StreamWriter& StreamWriter::u8(uint8_t value) {
    m_bytes.push_back(static_cast<char>(value));
    return *this;
}

StreamWriter& StreamWriter::u16(uint16_t value) {
    appendUInt16(m_bytes, value);
    return *this;
}

StreamWriter& StreamWriter::i32(int32_t value) {
    appendInt32(m_bytes, value);
    return *this;
}

StreamWriter& StreamWriter::u32(uint32_t value) {
    appendUInt32(m_bytes, value);
    return *this;
}

StreamWriter& StreamWriter::f32(float value) {
    static_assert(sizeof(float) == 4, "records carry IEEE single precision");
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return u32(bits);
}

StreamWriter& StreamWriter::raw(const std::string& bytes) {
    m_bytes += bytes;
    return *this;
}

StreamWriter& StreamWriter::raw(const void* bytes, size_t count) {
    m_bytes.append(static_cast<const char*>(bytes), count);
    return *this;
}

StreamWriter& StreamWriter::hostString(const std::string& text) {
    appendHostString(m_bytes, text);
    return *this;
}

StreamWriter& StreamWriter::eventRecord(int32_t eventCode, const std::string& program) {
    appendEventRecord(m_bytes, eventCode, program);
    return *this;
}

std::string StreamWriter::take() {
    std::string bytes;
    bytes.swap(m_bytes);
    return bytes;
}

namespace {

// A counted block: int32 length, then the bytes.
void writeProgram(StreamWriter& out, const std::string& program) {
    out.i32(static_cast<int32_t>(program.size())).raw(program);
}

void writeLimit(StreamWriter& out, const InputLimit& limit) {
    if (limit.isProgram) {
        writeProgram(out, limit.program);
    } else {
        out.f32(limit.value);
    }
}

template <class Record>
AnimationEntry entryOf(uint32_t typeId, const Record& record) {
    StreamWriter out;
    writeRecord(out, record);
    return {typeId, out.take()};
}

constexpr uint32_t kOperLogBit = 0x100;

} // namespace

void writeHeader(StreamWriter& out, const AnimationHeader& header) {
    if (header.form == AnimationHeader::Form::Old) {
        out.hostString(header.source);
    } else {
        out.u8(header.version);
    }
    writeProgram(out, header.program);
}

void writeRecord(StreamWriter& out, const VisibleRecord& record) {
    writeHeader(out, record.header);
    out.i32(record.showType);
}

void writeRecord(StreamWriter& out, const BlinkRecord& record) {
    writeHeader(out, record.header);
    out.i32(record.blinkExtra).i32(record.blinkType);
    out.u32(toStoredColor(record.blinkTextColor))
        .u32(toStoredColor(record.blinkPenColor))
        .u32(toStoredColor(record.blinkBrushColor));
}

void writeRecord(StreamWriter& out, const ColorTableRecord& record) {
    writeHeader(out, record.header);
    out.i32(static_cast<int32_t>(record.values.size()));
    for (float value : record.values) {
        out.f32(value);
    }
    out.i32(static_cast<int32_t>(record.colors.size()));
    for (uint32_t color : record.colors) {
        out.u32(toStoredColor(color));
    }
}

void writeRecord(StreamWriter& out, const MoveRecord& record) {
    writeHeader(out, record.header);
    out.i32(record.minOffset).i32(record.maxOffset).f32(record.minValue).f32(record.maxValue);
}

void writeRecord(StreamWriter& out, const SizeRecord& record) {
    writeHeader(out, record.header);
    out.i32(record.sizeType).f32(record.minValue).i32(record.minPercent);
    out.f32(record.maxValue).i32(record.maxPercent).i32(record.sizeMode);
}

void writeRecord(StreamWriter& out, const ClickRecord& record) {
    writeHeader(out, record.header);
    out.i32(static_cast<int32_t>(record.texts.size()));
    for (const std::string& text : record.texts) {
        out.hostString(text);
    }
    for (const std::vector<int32_t>* array : {&record.flags, &record.params}) {
        out.i32(static_cast<int32_t>(array->size()));
        for (int32_t value : *array) {
            out.i32(value);
        }
    }
    out.i32(record.keyCode).i32(record.keyFlags);
}

void writeRecord(StreamWriter& out, const InputRecord& record) {
    writeHeader(out, record.header);
    const bool version10 =
        record.header.form == AnimationHeader::Form::Old || record.header.version == 10;
    if (version10) {
        if (record.upper.isProgram || record.lower.isProgram) {
            throw std::invalid_argument("input record version 10 has no program limits");
        }
        out.i32(record.inputType)
            .hostString(record.prompt)
            .hostString(record.switchText1)
            .hostString(record.switchText2);
        out.f32(record.upper.value).f32(record.lower.value);
        out.i32(record.varId).i32(record.noCurrentValue).i32(record.keyCode).i32(record.keyFlags);
        return;
    }
    int32_t flags = 0;
    if (record.noCurrentValue != 0) {
        flags |= 0x1;
    }
    if (record.lower.isProgram) {
        flags |= 0x2;
    }
    if (record.upper.isProgram) {
        flags |= 0x4;
    }
    out.i32(flags).i32(record.inputType);
    out.hostString(record.prompt).hostString(record.switchText1).hostString(record.switchText2);
    writeLimit(out, record.upper);
    writeLimit(out, record.lower);
    out.i32(record.varId).i32(record.keyCode).i32(record.keyFlags);
}

void writeRecord(StreamWriter& out, const OutputRecord& record) {
    writeHeader(out, record.header);
    out.hostString(record.offText).hostString(record.onText);
    out.i32(record.outputType).i32(record.decimals).i32(record.intDigits).i32(record.outputExtra);
}

const char* animationKindName(uint32_t typeId) {
    // In type-number order, from kAniBlink.
    static const char* const kNames[] = {"blink",  "brush", "click", "hmove",     "vmove",  "input",
                                         "output", "pen",   "size",  "textColor", "visible"};
    const uint32_t at = typeId - kAniBlink;
    return at < std::size(kNames) ? kNames[at] : "";
}

AnimationEntry animationEntry(const VisibleRecord& r) {
    return entryOf(kAniVisible, r);
}
AnimationEntry animationEntry(const BlinkRecord& r) {
    return entryOf(kAniBlink, r);
}
AnimationEntry animationEntry(const PenRecord& r) {
    return entryOf<ColorTableRecord>(kAniPen, r);
}
AnimationEntry animationEntry(const BrushRecord& r) {
    return entryOf<ColorTableRecord>(kAniBrush, r);
}
AnimationEntry animationEntry(const TextColorRecord& r) {
    return entryOf<ColorTableRecord>(kAniTextColor, r);
}
AnimationEntry animationEntry(const HMoveRecord& r) {
    return entryOf<MoveRecord>(kAniHMove, r);
}
AnimationEntry animationEntry(const VMoveRecord& r) {
    return entryOf<MoveRecord>(kAniVMove, r);
}
AnimationEntry animationEntry(const SizeRecord& r) {
    return entryOf(kAniSize, r);
}
AnimationEntry animationEntry(const ClickRecord& r) {
    return entryOf(kAniClick, r);
}
AnimationEntry animationEntry(const InputRecord& r) {
    return entryOf(kAniInput, r);
}
AnimationEntry animationEntry(const OutputRecord& r) {
    return entryOf(kAniOutput, r);
}

uint32_t objectWordA(const ObjectRecord& record) {
    uint32_t word = (record.objectId << 16) | (record.wordALow & ~kOperLogBit);
    if (record.operLogBlock) {
        word |= kOperLogBit;
    }
    return word;
}

uint32_t objectWordB(const ObjectRecord& record) {
    return (record.objectId & 0xFFFF0000u) | record.wordBLow;
}

void writeObject(StreamWriter& out, const ObjectRecord& record) {
    out.u8(record.version).u32(objectWordA(record)).u32(objectWordB(record));
    if (record.operLogBlock) {
        const OperLogBlock& block = *record.operLogBlock;
        out.u32(block.reserved).i32(block.operLog).hostString(block.text);
    }
    out.i32(record.left).i32(record.top).i32(record.right).i32(record.bottom);
    out.u8(record.pen).u8(record.penHighByte);
    out.u32(record.penStyle).i32(record.penWidthX).i32(record.penWidthY);
    out.u32(toStoredColor(record.penColor));
    out.u8(record.brush).u8(record.brushHighByte);
    out.u32(record.brushStyle).u32(toStoredColor(record.brushColor)).u32(record.brushHatch);
    out.u16(record.attr).u16(record.reserved);
    out.hostString(record.name);
    out.u32(record.value1).u32(record.value2);
    out.i32(static_cast<int32_t>(record.events.size()));
    for (const EventRecord& event : record.events) {
        out.eventRecord(event.eventCode, event.program);
    }
    out.i32(static_cast<int32_t>(record.animations.size()));
    for (const AnimationEntry& entry : record.animations) {
        out.u32(entry.typeId).raw(entry.record);
    }
    out.raw(record.extra);
}

std::string encodeObject(const ObjectRecord& record) {
    StreamWriter out;
    writeObject(out, record);
    return out.take();
}

} // namespace kestro
