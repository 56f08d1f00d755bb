// Writers of the host's own stream forms.
#include "runtime/stream/forms.h"

namespace kestro {

namespace {

void appendLittleEndian(std::string& stream, uint64_t value, int width) {
    for (int i = 0; i < width; ++i) {
        stream.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

} // namespace

void appendHostString(std::string& stream, const std::string& text) {
    const uint64_t length = text.size();
    if (length < 0xFF) {
        appendLittleEndian(stream, length, 1);
    } else if (length < 0xFFFF) {
        stream.push_back('\xFF');
        appendLittleEndian(stream, length, 2);
    } else {
        stream.append("\xFF\xFF\xFF", 3);
        appendLittleEndian(stream, length, 4);
    }
    stream += text;
}

void appendEventRecord(std::string& stream, int32_t eventCode, const std::string& program) {
    appendInt32(stream, eventCode);
    appendInt32(stream, static_cast<int32_t>(program.size()));
    stream += program;
}

void appendInt32(std::string& stream, int32_t value) {
    appendLittleEndian(stream, static_cast<uint32_t>(value), 4);
}

void appendUInt32(std::string& stream, uint32_t value) {
    appendLittleEndian(stream, value, 4);
}

void appendUInt16(std::string& stream, uint16_t value) {
    appendLittleEndian(stream, value, 2);
}

} // namespace kestro
