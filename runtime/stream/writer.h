// Stream writer of the reference host: builds the object records and animation records that the
// plug-in's loaders read, from plain structs whose fields are named after the record items. Tools
// (the screen compiler) fill the structs; tests also use the primitive appends to build damaged
// records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestro {

//! Appends little-endian values and the host's forms to a byte stream.
class StreamWriter {
public:
    StreamWriter& u8(uint8_t value);
    StreamWriter& u16(uint16_t value);
    StreamWriter& i32(int32_t value);
    StreamWriter& u32(uint32_t value);
    //! IEEE single precision, little-endian.
    StreamWriter& f32(float value);
    //! Bytes as they are: the escape for anything the records below cannot express.
    StreamWriter& raw(const std::string& bytes);
    StreamWriter& raw(const void* bytes, size_t count);
    //! A host string (CString stream form).
    StreamWriter& hostString(const std::string& text);
    //! An event-handler record (CEventDispatch stream form).
    StreamWriter& eventRecord(int32_t eventCode, const std::string& program);

    const std::string& bytes() const { return m_bytes; }
    size_t size() const { return m_bytes.size(); }
    //! Hands the bytes over and leaves the writer empty.
    std::string take();

private:
    std::string m_bytes;
};

//! Records store colours as 0x00BBGGRR; the structs below hold 0x00RRGGBB and swap on writing.
constexpr uint32_t toStoredColor(uint32_t rgb) {
    return (rgb & 0xFF00FF00u) | ((rgb >> 16) & 0xFFu) | ((rgb & 0xFFu) << 16);
}

// ---- animation records ----

//! Type numbers that precede each animation record.
enum AnimationType : uint32_t {
    kAniBlink = 0x3001,
    kAniBrush = 0x3002,
    kAniClick = 0x3003,
    kAniHMove = 0x3004,
    kAniVMove = 0x3005,
    kAniInput = 0x3006,
    kAniOutput = 0x3007,
    kAniPen = 0x3008,
    kAniSize = 0x3009,
    kAniTextColor = 0x300A,
    kAniVisible = 0x300B,
};

//! The name a project file gives the animation kind ("visible", "textColor", ...); "" for any
//! other type number.
const char* animationKindName(uint32_t typeId);

//! The common header of every animation record. Projects older than 3.2.5.1841 are read with
//! the old form (the expression's source text in place of the version byte).
struct AnimationHeader {
    enum class Form { Current, Old };
    Form form = Form::Current;
    uint8_t version = 10; //!< current form only
    std::string source;   //!< old form only: the expression's source text
    std::string program;  //!< compiled expression program
};

struct VisibleRecord {
    AnimationHeader header;
    int32_t showType = 0;
};

struct BlinkRecord {
    AnimationHeader header;
    int32_t blinkExtra = 0;
    int32_t blinkType = 0;
    uint32_t blinkTextColor = 0; //!< 0x00RRGGBB
    uint32_t blinkPenColor = 0;
    uint32_t blinkBrushColor = 0x00FFFFFF;
};

//! Segment limits and one colour per limit (outline, fill and text colour animations).
struct ColorTableRecord {
    AnimationHeader header;
    std::vector<float> values;
    std::vector<uint32_t> colors; //!< 0x00RRGGBB
};
struct PenRecord : ColorTableRecord {};
struct BrushRecord : ColorTableRecord {};
struct TextColorRecord : ColorTableRecord {};

//! Horizontal and vertical movement.
struct MoveRecord {
    AnimationHeader header;
    int32_t minOffset = 0;
    int32_t maxOffset = 0;
    float minValue = 0.0f;
    float maxValue = 0.0f;
};
struct HMoveRecord : MoveRecord {};
struct VMoveRecord : MoveRecord {};

struct SizeRecord {
    AnimationHeader header;
    int32_t sizeType = 0;
    float minValue = 0.0f;
    int32_t minPercent = 0;
    float maxValue = 0.0f;
    int32_t maxPercent = 0;
    int32_t sizeMode = 0;
};

struct ClickRecord {
    AnimationHeader header;
    std::vector<std::string> texts; //!< one per action slot
    std::vector<int32_t> flags;
    std::vector<int32_t> params;
    int32_t keyCode = 0;
    int32_t keyFlags = 0;
};

//! A limit of the value input: a constant, or (record version 11 only) a program.
struct InputLimit {
    bool isProgram = false;
    float value = 0.0f;
    std::string program;
};

//! Written in the version 10 layout for the old header or version 10, else in the version 11
//! layout. A program limit in the version 10 layout throws std::invalid_argument.
struct InputRecord {
    AnimationHeader header;
    int32_t inputType = 0;
    std::string prompt;
    std::string switchText1;
    std::string switchText2;
    InputLimit upper;
    InputLimit lower;
    int32_t varId = 0;
    int32_t noCurrentValue = 0;
    int32_t keyCode = 0;
    int32_t keyFlags = 0;
};

struct OutputRecord {
    AnimationHeader header;
    std::string offText;
    std::string onText;
    int32_t outputType = 0;
    int32_t decimals = -1;
    int32_t intDigits = 0;
    int32_t outputExtra = 0;
};

//! One entry of an object's animation list: the type number and the record bytes after it.
//! Any bytes may be given, for types or records that the structs above do not cover.
struct AnimationEntry {
    uint32_t typeId = 0;
    std::string record;
};

void writeHeader(StreamWriter& out, const AnimationHeader& header);
void writeRecord(StreamWriter& out, const VisibleRecord& record);
void writeRecord(StreamWriter& out, const BlinkRecord& record);
void writeRecord(StreamWriter& out, const ColorTableRecord& record);
void writeRecord(StreamWriter& out, const MoveRecord& record);
void writeRecord(StreamWriter& out, const SizeRecord& record);
void writeRecord(StreamWriter& out, const ClickRecord& record);
void writeRecord(StreamWriter& out, const InputRecord& record);
void writeRecord(StreamWriter& out, const OutputRecord& record);

//! The list entry of a record: its type number and its bytes.
AnimationEntry animationEntry(const VisibleRecord& record);
AnimationEntry animationEntry(const BlinkRecord& record);
AnimationEntry animationEntry(const PenRecord& record);
AnimationEntry animationEntry(const BrushRecord& record);
AnimationEntry animationEntry(const TextColorRecord& record);
AnimationEntry animationEntry(const HMoveRecord& record);
AnimationEntry animationEntry(const VMoveRecord& record);
AnimationEntry animationEntry(const SizeRecord& record);
AnimationEntry animationEntry(const ClickRecord& record);
AnimationEntry animationEntry(const InputRecord& record);
AnimationEntry animationEntry(const OutputRecord& record);

// ---- the common object record ----

struct EventRecord {
    int32_t eventCode = 0;
    std::string program;
};

//! The optional operation-log block; its presence sets bit 0x100 of the first word.
struct OperLogBlock {
    uint32_t reserved = 0;
    int32_t operLog = 1;
    std::string text; //!< language key of the log text
};

struct ObjectRecord {
    uint8_t version = 10;
    uint32_t objectId = 0;
    uint16_t wordALow = 0; //!< other bits of the first word (bit 0x100 is the block's)
    uint16_t wordBLow = 0; //!< other bits of the second word
    std::optional<OperLogBlock> operLogBlock;
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;  //!< exclusive
    int32_t bottom = 0; //!< exclusive
    uint8_t pen = 0;
    uint8_t penHighByte = 0; //!< second byte of the outline flag
    uint32_t penStyle = 0;
    int32_t penWidthX = 0;
    int32_t penWidthY = 0;
    uint32_t penColor = 0; //!< 0x00RRGGBB
    uint8_t brush = 0;
    uint8_t brushHighByte = 0;
    uint32_t brushStyle = 0;
    uint32_t brushColor = 0; //!< 0x00RRGGBB
    uint32_t brushHatch = 0;
    uint16_t attr = 0;
    uint16_t reserved = 0;
    std::string name;
    uint32_t value1 = 0;
    uint32_t value2 = 0;
    std::vector<EventRecord> events;
    std::vector<AnimationEntry> animations;
    //! Bytes after the common record: the shape's own fields.
    std::string extra;
};

//! Words A and B of the record for its id and low bits.
uint32_t objectWordA(const ObjectRecord& record);
uint32_t objectWordB(const ObjectRecord& record);

void writeObject(StreamWriter& out, const ObjectRecord& record);
//! The whole record as bytes.
std::string encodeObject(const ObjectRecord& record);

} // namespace kestro
