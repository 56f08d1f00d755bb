// Stream buffers and small utilities of the host (library utils).
#include "kestrovalumen/host/utils.h"
#include "runtime/host/textformat.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

namespace FF {
namespace utils {

MemoryBuffer::MemoryBuffer() : m_data(m_inline) {}

MemoryBuffer::MemoryBuffer(const void* bytes, uint64_t count) : m_data(m_inline) {
    assign(bytes, count);
}

MemoryBuffer::MemoryBuffer(const MemoryBuffer& other) : m_data(m_inline) {
    replace(other.m_data, other.m_size);
    m_position = other.m_position;
}

MemoryBuffer& MemoryBuffer::operator=(const MemoryBuffer& other) {
    if (this != &other) {
        replace(other.m_data, other.m_size);
        m_position = other.m_position;
    }
    return *this;
}

void MemoryBuffer::release() {
    if (m_data != m_inline) {
        delete[] m_data;
    }
}

void MemoryBuffer::replace(const unsigned char* bytes, uint64_t count) {
    // The new content is in place before the old block goes (the bytes may lie in it), and a
    // failed allocation changes nothing.
    unsigned char* block = m_inline;
    if (count > kInline) {
        block = new unsigned char[static_cast<size_t>(count)];
        std::memcpy(block, bytes, static_cast<size_t>(count));
    } else if (count > 0) {
        std::memmove(m_inline, bytes, static_cast<size_t>(count));
    }
    release();
    m_data = block;
    m_size = count;
    m_position = 0;
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
    // Read aside first: a failed read leaves the content as it was.
    if (count <= kInline) {
        unsigned char bytes[kInline];
        if (count > 0 && !source->read(bytes, count)) {
            return false;
        }
        replace(bytes, count);
        return true;
    }
    std::unique_ptr<unsigned char[]> block(new unsigned char[static_cast<size_t>(count)]);
    if (!source->read(block.get(), count)) {
        return false;
    }
    release();
    m_data = block.release();
    m_size = count;
    m_position = 0;
    return true;
}

void MemoryBuffer::assign(const void* bytes, uint64_t count) {
    if (!bytes) {
        count = 0;
    }
    replace(static_cast<const unsigned char*>(bytes), count);
}

bool MemoryBuffer::seek(uint64_t position) {
    if (position > m_size) {
        return false;
    }
    m_position = position;
    return true;
}

bool MemoryBuffer::readBytes(void* destination, uint64_t count) {
    if (count > m_size - m_position) {
        return false;
    }
    if (count == 0) {
        return true;
    }
    if (!destination) {
        return false;
    }
    std::memcpy(destination, m_data + m_position, static_cast<size_t>(count));
    m_position += count;
    return true;
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
