// Stream reader: the inverse of the stream writer, with the plug-in's bounds on every count.
#include "runtime/stream/reader.h"

#include <cstring>
#include <iterator>

namespace kestro {

bool StreamReader::fixed(void* value, size_t width) {
    if (left() < width) {
        return false;
    }
    // Little-endian assembly, independent of the machine's byte order.
    uint64_t assembled = 0;
    for (size_t i = 0; i < width; ++i) {
        assembled |= static_cast<uint64_t>(static_cast<unsigned char>(m_data[m_pos + i]))
                     << (8 * i);
    }
    switch (width) {
    case 1:
        *static_cast<uint8_t*>(value) = static_cast<uint8_t>(assembled);
        break;
    case 2:
        *static_cast<uint16_t*>(value) = static_cast<uint16_t>(assembled);
        break;
    default:
        *static_cast<uint32_t*>(value) = static_cast<uint32_t>(assembled);
        break;
    }
    m_pos += width;
    return true;
}

bool StreamReader::u8(uint8_t* value) {
    return fixed(value, 1);
}

bool StreamReader::u16(uint16_t* value) {
    return fixed(value, 2);
}

bool StreamReader::u32(uint32_t* value) {
    return fixed(value, 4);
}

bool StreamReader::i32(int32_t* value) {
    uint32_t bits = 0;
    if (!u32(&bits)) {
        return false;
    }
    *value = static_cast<int32_t>(bits);
    return true;
}

bool StreamReader::f32(float* value) {
    uint32_t bits = 0;
    if (!u32(&bits)) {
        return false;
    }
    std::memcpy(value, &bits, sizeof bits);
    return true;
}

bool StreamReader::raw(size_t count, std::string* bytes) {
    if (left() < count) {
        return false;
    }
    bytes->assign(m_data + m_pos, count);
    m_pos += count;
    return true;
}

bool StreamReader::hostString(std::string* text) {
    const size_t start = m_pos;
    uint8_t shortLength = 0;
    if (!u8(&shortLength)) {
        return false;
    }
    uint64_t length = shortLength;
    if (shortLength == 0xFF) {
        uint16_t middle = 0;
        if (!u16(&middle)) {
            m_pos = start;
            return false;
        }
        length = middle;
        if (middle == 0xFFFF) {
            uint32_t wide = 0;
            if (!u32(&wide)) {
                m_pos = start;
                return false;
            }
            length = wide;
        }
    }
    if (length > left() || !raw(static_cast<size_t>(length), text)) {
        m_pos = start;
        return false;
    }
    return true;
}

bool StreamReader::program(std::string* bytes) {
    const size_t start = m_pos;
    int32_t length = 0;
    if (!i32(&length)) {
        return false;
    }
    if (length < 0 || static_cast<uint64_t>(length) > left()) {
        m_pos = start;
        return false;
    }
    return raw(static_cast<size_t>(length), bytes);
}

bool StreamReader::eventRecord(EventRecord* event) {
    const size_t start = m_pos;
    int32_t code = 0;
    if (!i32(&code) || !program(&event->program)) {
        m_pos = start;
        return false;
    }
    event->eventCode = code;
    return true;
}

bool StreamReader::count(size_t unitSize, int32_t* value) {
    const size_t start = m_pos;
    int32_t n = 0;
    if (!i32(&n)) {
        return false;
    }
    if (n < 0 || static_cast<uint64_t>(n) * unitSize > left()) {
        m_pos = start;
        return false;
    }
    *value = n;
    return true;
}

std::string StreamReader::bytesSince(size_t start) const {
    return start <= m_pos ? std::string(m_data + start, m_pos - start) : std::string();
}

std::string StreamReader::rest() {
    std::string bytes(m_data + m_pos, m_size - m_pos);
    m_pos = m_size;
    return bytes;
}

// ---- animation records ----

namespace {

bool readColor(StreamReader& in, uint32_t* color) {
    uint32_t stored = 0;
    if (!in.u32(&stored)) {
        return false;
    }
    *color = toStoredColor(stored); // the swap is its own inverse
    return true;
}

bool readInt32s(StreamReader& in, std::vector<int32_t>* values) {
    int32_t n = 0;
    if (!in.count(4, &n)) {
        return false;
    }
    values->assign(static_cast<size_t>(n), 0);
    for (int32_t& value : *values) {
        if (!in.i32(&value)) {
            return false;
        }
    }
    return true;
}

bool readLimit(StreamReader& in, bool isProgram, InputLimit* limit) {
    limit->isProgram = isProgram;
    return isProgram ? in.program(&limit->program) : in.f32(&limit->value);
}

template <class Record>
bool readAs(StreamReader& in, AnimationHeader::Form form, AnimationRecord* out) {
    Record record;
    if (!readRecord(in, form, &record)) {
        return false;
    }
    *out = std::move(record);
    return true;
}

constexpr uint32_t kOperLogBit = 0x100;

bool readPoints(StreamReader& in, uint16_t count, std::vector<Point32>* points) {
    if (static_cast<size_t>(count) * 8 > in.left()) {
        return false;
    }
    points->assign(count, Point32{});
    for (Point32& p : *points) {
        if (!in.i32(&p.first) || !in.i32(&p.second)) {
            return false;
        }
    }
    return true;
}

} // namespace

bool isAnimationType(uint32_t typeId) {
    return typeId >= kAniBlink && typeId <= kAniVisible;
}

bool readHeader(StreamReader& in, AnimationHeader::Form form, AnimationHeader* header) {
    header->form = form;
    if (form == AnimationHeader::Form::Old) {
        header->version = 10;
        if (!in.hostString(&header->source)) {
            return false;
        }
    } else if (!in.u8(&header->version)) {
        return false;
    }
    return in.program(&header->program);
}

bool readRecord(StreamReader& in, AnimationHeader::Form form, VisibleRecord* record) {
    return readHeader(in, form, &record->header) && in.i32(&record->showType);
}

bool readRecord(StreamReader& in, AnimationHeader::Form form, BlinkRecord* record) {
    return readHeader(in, form, &record->header) && in.i32(&record->blinkExtra) &&
           in.i32(&record->blinkType) && readColor(in, &record->blinkTextColor) &&
           readColor(in, &record->blinkPenColor) && readColor(in, &record->blinkBrushColor);
}

bool readRecord(StreamReader& in, AnimationHeader::Form form, ColorTableRecord* record) {
    if (!readHeader(in, form, &record->header)) {
        return false;
    }
    int32_t n = 0;
    if (!in.count(4, &n)) {
        return false;
    }
    record->values.assign(static_cast<size_t>(n), 0.0f);
    for (float& value : record->values) {
        if (!in.f32(&value)) {
            return false;
        }
    }
    int32_t m = 0;
    if (!in.count(4, &m)) {
        return false;
    }
    record->colors.assign(static_cast<size_t>(m), 0);
    for (uint32_t& color : record->colors) {
        if (!readColor(in, &color)) {
            return false;
        }
    }
    return true;
}

bool readRecord(StreamReader& in, AnimationHeader::Form form, MoveRecord* record) {
    return readHeader(in, form, &record->header) && in.i32(&record->minOffset) &&
           in.i32(&record->maxOffset) && in.f32(&record->minValue) && in.f32(&record->maxValue);
}

bool readRecord(StreamReader& in, AnimationHeader::Form form, SizeRecord* record) {
    return readHeader(in, form, &record->header) && in.i32(&record->sizeType) &&
           in.f32(&record->minValue) && in.i32(&record->minPercent) && in.f32(&record->maxValue) &&
           in.i32(&record->maxPercent) && in.i32(&record->sizeMode);
}

bool readRecord(StreamReader& in, AnimationHeader::Form form, ClickRecord* record) {
    if (!readHeader(in, form, &record->header)) {
        return false;
    }
    int32_t n = 0;
    if (!in.count(4, &n)) {
        return false;
    }
    record->texts.assign(static_cast<size_t>(n), std::string());
    for (std::string& text : record->texts) {
        if (!in.hostString(&text)) {
            return false;
        }
    }
    return readInt32s(in, &record->flags) && readInt32s(in, &record->params) &&
           in.i32(&record->keyCode) && in.i32(&record->keyFlags);
}

bool readRecord(StreamReader& in, AnimationHeader::Form form, InputRecord* record) {
    if (!readHeader(in, form, &record->header)) {
        return false;
    }
    const uint8_t version = record->header.version;
    if (version == 10) {
        record->upper = InputLimit{};
        record->lower = InputLimit{};
        return in.i32(&record->inputType) && in.hostString(&record->prompt) &&
               in.hostString(&record->switchText1) && in.hostString(&record->switchText2) &&
               in.f32(&record->upper.value) && in.f32(&record->lower.value) &&
               in.i32(&record->varId) && in.i32(&record->noCurrentValue) &&
               in.i32(&record->keyCode) && in.i32(&record->keyFlags);
    }
    if (version != 11) {
        return false;
    }
    int32_t flags = 0;
    if (!in.i32(&flags)) {
        return false;
    }
    record->noCurrentValue = flags & 0x1;
    return in.i32(&record->inputType) && in.hostString(&record->prompt) &&
           in.hostString(&record->switchText1) && in.hostString(&record->switchText2) &&
           readLimit(in, (flags & 0x4) != 0, &record->upper) &&
           readLimit(in, (flags & 0x2) != 0, &record->lower) && in.i32(&record->varId) &&
           in.i32(&record->keyCode) && in.i32(&record->keyFlags);
}

bool readRecord(StreamReader& in, AnimationHeader::Form form, OutputRecord* record) {
    return readHeader(in, form, &record->header) && in.hostString(&record->offText) &&
           in.hostString(&record->onText) && in.i32(&record->outputType) &&
           in.i32(&record->decimals) && in.i32(&record->intDigits) && in.i32(&record->outputExtra);
}

bool readAnimation(StreamReader& in, uint32_t typeId, AnimationHeader::Form form,
                   AnimationRecord* record) {
    switch (typeId) {
    case kAniVisible:
        return readAs<VisibleRecord>(in, form, record);
    case kAniBlink:
        return readAs<BlinkRecord>(in, form, record);
    case kAniPen:
        return readAs<PenRecord>(in, form, record);
    case kAniBrush:
        return readAs<BrushRecord>(in, form, record);
    case kAniTextColor:
        return readAs<TextColorRecord>(in, form, record);
    case kAniHMove:
        return readAs<HMoveRecord>(in, form, record);
    case kAniVMove:
        return readAs<VMoveRecord>(in, form, record);
    case kAniSize:
        return readAs<SizeRecord>(in, form, record);
    case kAniClick:
        return readAs<ClickRecord>(in, form, record);
    case kAniInput:
        return readAs<InputRecord>(in, form, record);
    case kAniOutput:
        return readAs<OutputRecord>(in, form, record);
    default:
        return false;
    }
}

uint32_t animationTypeOf(const AnimationRecord& record) {
    // In the order of the variant's alternatives.
    static constexpr uint32_t kTypes[] = {kAniVisible,   kAniBlink, kAniPen,   kAniBrush,
                                          kAniTextColor, kAniHMove, kAniVMove, kAniSize,
                                          kAniClick,     kAniInput, kAniOutput};
    static_assert(std::size(kTypes) == std::variant_size_v<AnimationRecord>);
    return kTypes[record.index()];
}

const AnimationHeader& headerOf(const AnimationRecord& record) {
    return std::visit([](const auto& r) -> const AnimationHeader& { return r.header; }, record);
}

AnimationEntry animationEntry(const AnimationRecord& record) {
    return std::visit([](const auto& r) { return animationEntry(r); }, record);
}

// ---- the common object record ----

bool readObjectHead(StreamReader& in, ObjectRecord* record) {
    uint32_t wordA = 0;
    uint32_t wordB = 0;
    if (!in.u8(&record->version) || !in.u32(&wordA) || !in.u32(&wordB)) {
        return false;
    }
    record->objectId = (wordA >> 16) | (wordB & 0xFFFF0000u);
    record->wordALow = static_cast<uint16_t>(wordA & 0xFFFFu & ~kOperLogBit);
    record->wordBLow = static_cast<uint16_t>(wordB & 0xFFFFu);
    record->operLogBlock.reset();
    if (wordA & kOperLogBit) {
        OperLogBlock block;
        if (!in.u32(&block.reserved) || !in.i32(&block.operLog) || !in.hostString(&block.text)) {
            return false;
        }
        record->operLogBlock = std::move(block);
    }
    return in.i32(&record->left) && in.i32(&record->top) && in.i32(&record->right) &&
           in.i32(&record->bottom) && in.u8(&record->pen) && in.u8(&record->penHighByte) &&
           in.u32(&record->penStyle) && in.i32(&record->penWidthX) && in.i32(&record->penWidthY) &&
           readColor(in, &record->penColor) && in.u8(&record->brush) &&
           in.u8(&record->brushHighByte) && in.u32(&record->brushStyle) &&
           readColor(in, &record->brushColor) && in.u32(&record->brushHatch) &&
           in.u16(&record->attr) && in.u16(&record->reserved) && in.hostString(&record->name) &&
           in.u32(&record->value1) && in.u32(&record->value2);
}

bool readEvents(StreamReader& in, std::vector<EventRecord>* events) {
    int32_t n = 0;
    if (!in.count(1, &n)) {
        return false;
    }
    events->clear();
    for (int32_t i = 0; i < n; ++i) {
        EventRecord event;
        if (!in.eventRecord(&event)) {
            return false;
        }
        events->push_back(std::move(event));
    }
    return true;
}

bool readAnimations(StreamReader& in, AnimationHeader::Form form,
                    std::vector<AnimationEntry>* entries, std::vector<AnimationRecord>* decoded) {
    int32_t m = 0;
    if (!in.count(4, &m)) {
        return false;
    }
    entries->clear();
    for (int32_t i = 0; i < m; ++i) {
        AnimationEntry entry;
        if (!in.u32(&entry.typeId)) {
            return false;
        }
        const size_t start = in.position();
        AnimationRecord record;
        if (!readAnimation(in, entry.typeId, form, &record)) {
            return false;
        }
        entry.record = in.bytesSince(start); // exactly what the decoder consumed
        entries->push_back(std::move(entry));
        if (decoded) {
            decoded->push_back(std::move(record));
        }
    }
    return true;
}

bool readObject(StreamReader& in, AnimationHeader::Form form, ObjectRecord* record) {
    if (!readObjectHead(in, record) || !readEvents(in, &record->events) ||
        !readAnimations(in, form, &record->animations)) {
        return false;
    }
    record->extra = in.rest();
    return true;
}

// ---- shape fields ----

bool readFields(StreamReader&, NoShapeFields*) {
    return true;
}

bool readFields(StreamReader& in, RoundRectFields* fields) {
    return in.i32(&fields->cornerWidth) && in.i32(&fields->cornerHeight);
}

bool readFields(StreamReader& in, ArcFields* fields) {
    return in.i32(&fields->endXPercent) && in.i32(&fields->endYPercent) &&
           in.i32(&fields->startXPercent) && in.i32(&fields->startYPercent);
}

bool readFields(StreamReader& in, PercentDirectionFields* fields) {
    return in.i32(&fields->percent) && in.i32(&fields->direction);
}

bool readFields(StreamReader& in, PercentFields* fields) {
    return in.i32(&fields->percent);
}

bool readFields(StreamReader& in, DirectionFields* fields) {
    return in.i32(&fields->direction);
}

bool readFields(StreamReader& in, PolyFields* fields) {
    uint16_t count = 0;
    fields->pointCount.reset();
    return in.u16(&count) && in.u16(&fields->reserved) && in.u16(&fields->closed) &&
           readPoints(in, count, &fields->points);
}

bool readFields(StreamReader& in, GuanFields* fields) {
    uint16_t count = 0;
    fields->pointCount.reset();
    return in.u16(&fields->pipeWidth) && in.u16(&count) && readPoints(in, count, &fields->path);
}

bool readFields(StreamReader& in, HalfBoxFields* fields) {
    return in.i32(&fields->cornerWidth) && in.i32(&fields->cornerHeight) &&
           in.i32(&fields->verticalSplit) && in.i32(&fields->otherHalf);
}

bool readFields(StreamReader& in, Ball3DFields* fields) {
    return in.i32(&fields->reserved1) && in.i32(&fields->reserved2);
}

bool readFields(StreamReader& in, Circle3DFields* fields) {
    return in.i32(&fields->ringWidth) && in.i32(&fields->reserved);
}

bool readFields(StreamReader& in, CubeFields* fields) {
    return in.i32(&fields->percent) && in.i32(&fields->frontLeft) && in.i32(&fields->frontBottom);
}

bool readFields(StreamReader& in, PipeFields* fields) {
    return in.i32(&fields->horizontal);
}

bool readFields(StreamReader& in, Pipe3Fields* fields) {
    return in.u16(&fields->elbowType) && in.i32(&fields->horzThick) && in.i32(&fields->vertThick);
}

bool readFields(StreamReader& in, BalloonFields* fields) {
    return in.i32(&fields->tailSide) && in.i32(&fields->tailAtEnd) && in.i32(&fields->tailPos);
}

} // namespace kestro
