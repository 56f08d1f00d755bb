// Stream buffers and small utilities (host library utils).
#pragma once

#include "kestrovalumen/host/hostapi.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace FF {
namespace utils {

//! A readable byte stream: the project stream handed to every deserialize.
class KV_HOST_API IBuffer {
public:
    virtual ~IBuffer() = default;
    //! Copies exactly count bytes and moves past them; false (and no move) when fewer remain.
    virtual bool read(void* destination, uint64_t count) = 0;
    //! Total bytes.
    virtual uint64_t length() const = 0;
    //! Bytes consumed so far.
    virtual uint64_t position() const = 0;
};

//! A growable byte buffer with a read position, held by value.
//
// The virtual operations are defined here, so that every user carries the class's type record
// (the host matches buffers by it). Reads are what loaders do most, a few bytes at a time, so
// the common read is done here too; everything else is the host's, out of line. Small contents
// (an animation's compiled expression) sit inside the buffer itself, without a heap block.
class KV_HOST_API MemoryBuffer : public IBuffer {
public:
    MemoryBuffer();
    MemoryBuffer(const void* bytes, uint64_t count);
    MemoryBuffer(const MemoryBuffer& other);
    MemoryBuffer& operator=(const MemoryBuffer& other);
    ~MemoryBuffer() override { release(); }

    //! Replaces the content with the next count bytes of source and rewinds; false (content
    //! unchanged, source not moved) when source is null or holds fewer bytes.
    bool from(IBuffer* source, unsigned long long count);
    //! Replaces the content with a copy of the given bytes and rewinds.
    void assign(const void* bytes, uint64_t count);
    //! The bytes (null when empty). Every refresh asks it of every animation's program.
    const unsigned char* data() const { return m_size == 0 ? nullptr : m_data; }

    bool read(void* destination, uint64_t count) override {
        // Record fields are a few bytes wide: their copies compile to plain moves here, and
        // every other read goes to the host.
        if (destination == nullptr || count > m_size - m_position) {
            return readBytes(destination, count);
        }
        const unsigned char* from = m_data + m_position;
        switch (count) {
        case 1:
            __builtin_memcpy(destination, from, 1);
            break;
        case 2:
            __builtin_memcpy(destination, from, 2);
            break;
        case 4:
            __builtin_memcpy(destination, from, 4);
            break;
        case 8:
            __builtin_memcpy(destination, from, 8);
            break;
        case 16:
            __builtin_memcpy(destination, from, 16);
            break;
        default:
            return readBytes(destination, count);
        }
        m_position += count;
        return true;
    }
    uint64_t length() const override { return m_size; }
    uint64_t position() const override { return m_position; }

    //! Moves the read position; false when it lies beyond the end.
    bool seek(uint64_t position);

private:
    //! Contents up to this size are kept inline.
    static constexpr uint64_t kInline = 32;

    //! Every read that the inline copies above do not cover, the refused ones included.
    bool readBytes(void* destination, uint64_t count);
    //! Frees a heap block; the content is left dangling for the caller to replace.
    void release();
    //! Takes bytes as the content (copied inline when small, else into a new block).
    void replace(const unsigned char* bytes, uint64_t count);

    unsigned char* m_data; //!< m_inline or a heap block of m_size bytes
    uint64_t m_size = 0;
    uint64_t m_position = 0;
    unsigned char m_inline[kInline];
};

//! printf-style formatting into a std::string.
struct KV_HOST_API String {
    static std::string format(const char* format, ...) __attribute__((format(printf, 1, 2)));
};

//! Thrown by the host's readers when a block of the stream is malformed.
class KV_HOST_API deserialize_block_error : public std::logic_error {
public:
    explicit deserialize_block_error(const std::string& what);
    ~deserialize_block_error() override;
};

} // namespace utils
} // namespace FF
