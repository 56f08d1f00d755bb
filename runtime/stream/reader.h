// Stream reader of the reference host: decodes the object records, animation records and shape
// fields that the stream writer encodes, into the same structs. Every read is bounded by the bytes
// left and checks counts before it allocates; a decoder returns false where the plug-in's loader
// would refuse the record. Values come back as stored (colours converted to 0x00RRGGBB as in the
// writer's structs, outline styles untouched), so that writing a decoded record gives its bytes.
#pragma once

#include "runtime/stream/shaperecords.h"
#include "runtime/stream/writer.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace kestro {

//! Little-endian reads over a byte range. A failed read leaves the position where it was.
class StreamReader {
public:
    //! Reads bytes in place: they must outlive the reader.
    explicit StreamReader(const std::string& bytes) : StreamReader(bytes.data(), bytes.size()) {}
    StreamReader(std::string&&) = delete;
    StreamReader(const char* data, size_t size) : m_data(data), m_size(size) {}

    bool u8(uint8_t* value);
    bool u16(uint16_t* value);
    bool i32(int32_t* value);
    bool u32(uint32_t* value);
    bool f32(float* value);
    //! count bytes as they are.
    bool raw(size_t count, std::string* bytes);
    //! A host string (CString stream form); false when the prefix or the text is cut off.
    bool hostString(std::string* text);
    //! An event-handler record (CEventDispatch stream form).
    bool eventRecord(EventRecord* event);
    //! A counted program block: int32 length, then the bytes.
    bool program(std::string* bytes);
    //! An int32 count that the plug-in accepts: not negative and count * unitSize bytes left.
    bool count(size_t unitSize, int32_t* value);

    size_t position() const { return m_pos; }
    size_t left() const { return m_size - m_pos; }
    bool atEnd() const { return m_pos == m_size; }
    //! The bytes read since the given position.
    std::string bytesSince(size_t start) const;
    //! Everything not read yet; the reader is then at the end.
    std::string rest();

private:
    bool fixed(void* value, size_t width);

    const char* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

// ---- animation records ----

//! One decoded animation record, of the kind its type number names.
using AnimationRecord =
    std::variant<VisibleRecord, BlinkRecord, PenRecord, BrushRecord, TextColorRecord, HMoveRecord,
                 VMoveRecord, SizeRecord, ClickRecord, InputRecord, OutputRecord>;

//! True for the type numbers 0x3001 to 0x300B.
bool isAnimationType(uint32_t typeId);

bool readHeader(StreamReader& in, AnimationHeader::Form form, AnimationHeader* header);
bool readRecord(StreamReader& in, AnimationHeader::Form form, VisibleRecord* record);
bool readRecord(StreamReader& in, AnimationHeader::Form form, BlinkRecord* record);
bool readRecord(StreamReader& in, AnimationHeader::Form form, ColorTableRecord* record);
bool readRecord(StreamReader& in, AnimationHeader::Form form, MoveRecord* record);
bool readRecord(StreamReader& in, AnimationHeader::Form form, SizeRecord* record);
bool readRecord(StreamReader& in, AnimationHeader::Form form, ClickRecord* record);
//! Version 10 or 11 layout after the header's version (10 in the old form); other versions fail.
bool readRecord(StreamReader& in, AnimationHeader::Form form, InputRecord* record);
bool readRecord(StreamReader& in, AnimationHeader::Form form, OutputRecord* record);

//! The record of the given type number; false for any other number.
bool readAnimation(StreamReader& in, uint32_t typeId, AnimationHeader::Form form,
                   AnimationRecord* record);
uint32_t animationTypeOf(const AnimationRecord& record);
const AnimationHeader& headerOf(const AnimationRecord& record);
//! The list entry of a decoded record (writer's animationEntry).
AnimationEntry animationEntry(const AnimationRecord& record);

// ---- the common object record ----

//! Rows up to the second stream value: everything before the event list.
bool readObjectHead(StreamReader& in, ObjectRecord* record);
//! The event count and the events.
bool readEvents(StreamReader& in, std::vector<EventRecord>* events);
//! The animation list; each entry's record is the span its decoder read. With decoded given,
//! the decoded records are appended there.
bool readAnimations(StreamReader& in, AnimationHeader::Form form,
                    std::vector<AnimationEntry>* entries,
                    std::vector<AnimationRecord>* decoded = nullptr);
//! The whole common record; the bytes after it go to record->extra.
bool readObject(StreamReader& in, AnimationHeader::Form form, ObjectRecord* record);

// ---- shape fields (the inverse of writeFields) ----

bool readFields(StreamReader& in, NoShapeFields* fields);
bool readFields(StreamReader& in, RoundRectFields* fields);
bool readFields(StreamReader& in, ArcFields* fields);
bool readFields(StreamReader& in, PercentDirectionFields* fields);
bool readFields(StreamReader& in, PercentFields* fields);
bool readFields(StreamReader& in, DirectionFields* fields);
//! The count comes back as points.size(); pointCount stays empty.
bool readFields(StreamReader& in, PolyFields* fields);
bool readFields(StreamReader& in, GuanFields* fields);
bool readFields(StreamReader& in, HalfBoxFields* fields);
bool readFields(StreamReader& in, Ball3DFields* fields);
bool readFields(StreamReader& in, Circle3DFields* fields);
bool readFields(StreamReader& in, CubeFields* fields);
bool readFields(StreamReader& in, PipeFields* fields);
bool readFields(StreamReader& in, Pipe3Fields* fields);
bool readFields(StreamReader& in, BalloonFields* fields);

} // namespace kestro
