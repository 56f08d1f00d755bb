// Stream buffers and small utilities of the host (library utils).
#include "kestrovalumen/host/utils.h"
#include "runtime/textformat.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace FF {
namespace utils {

MemoryBuffer::MemoryBuffer() = default;

MemoryBuffer::MemoryBuffer(const void* bytes, uint64_t count) {
    assign(bytes, count);
}

bool MemoryBuffer::from(IBuffer* source, unsigned long long count) {
    if (!source) {
        return false;
    }
    const uint64_t total = source->length();
    const uint64_t consumed = source->position();
    // A damaged count must be refused before it turns into an allocation.
    if (consumed > total || count > total - consumed) {
        return false;
    }
    std::vector<unsigned char> bytes(static_cast<size_t>(count));
    if (count > 0 && !source->read(bytes.data(), count)) {
        return false;
    }
    m_bytes.swap(bytes);
    m_position = 0;
    return true;
}

void MemoryBuffer::assign(const void* bytes, uint64_t count) {
    if (!bytes || count == 0) {
        m_bytes.clear();
    } else {
        const auto* first = static_cast<const unsigned char*>(bytes);
        m_bytes.assign(first, first + count);
    }
    m_position = 0;
}

const unsigned char* MemoryBuffer::data() const {
    return m_bytes.empty() ? nullptr : m_bytes.data();
}

bool MemoryBuffer::seek(uint64_t position) {
    if (position > m_bytes.size()) {
        return false;
    }
    m_position = position;
    return true;
}

bool MemoryBuffer::readBytes(void* destination, uint64_t count) {
    if (count > m_bytes.size() - m_position) {
        return false;
    }
    if (count == 0) {
        return true;
    }
    if (!destination) {
        return false;
    }
    std::memcpy(destination, m_bytes.data() + m_position, static_cast<size_t>(count));
    m_position += count;
    return true;
}

uint64_t MemoryBuffer::byteCount() const {
    return m_bytes.size();
}

uint64_t MemoryBuffer::readPosition() const {
    return m_position;
}

std::string String::format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = kestro::formatArgs(format, args);
    va_end(args);
    return text;
}

deserialize_block_error::deserialize_block_error(const std::string& what)
    : std::logic_error(what) {}

deserialize_block_error::~deserialize_block_error() = default;

} // namespace utils
} // namespace FF

namespace kestro {

std::string formatArgs(const char* format, va_list args) {
    if (!format) {
        return {};
    }
    va_list measure;
    va_copy(measure, args);
    const int needed = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    std::string text;
    if (needed > 0) {
        va_list write;
        va_copy(write, args);
        text.resize(static_cast<size_t>(needed));
        // The terminating zero goes into the string's own spare byte.
        std::vsnprintf(&text[0], static_cast<size_t>(needed) + 1, format, write);
        va_end(write);
    }
    return text;
}

std::string quotedText(const char* text, size_t length, ControlEscape control) {
    std::string out = "\"";
    for (size_t i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            if (control == ControlEscape::Unicode && c < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else if (control == ControlEscape::Hex && (c < 0x20 || c == 0x7F)) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

} // namespace kestro
