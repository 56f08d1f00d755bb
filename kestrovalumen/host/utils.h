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
// The virtual operations are defined here, forwarding to the host's out-of-line functions, so
// that every user carries the class's type record (the host matches buffers by it).
class KV_HOST_API MemoryBuffer : public IBuffer {
public:
    MemoryBuffer();
    MemoryBuffer(const void* bytes, uint64_t count);
    ~MemoryBuffer() override {}

    //! Replaces the content with the next count bytes of source and rewinds; false (content
    //! unchanged, source not moved) when source is null or holds fewer bytes.
    bool from(IBuffer* source, unsigned long long count);
    //! Replaces the content with a copy of the given bytes and rewinds.
    void assign(const void* bytes, uint64_t count);
    //! The bytes (null when empty).
    const unsigned char* data() const;

    bool read(void* destination, uint64_t count) override { return readBytes(destination, count); }
    uint64_t length() const override { return byteCount(); }
    uint64_t position() const override { return readPosition(); }

    //! Moves the read position; false when it lies beyond the end.
    bool seek(uint64_t position);

private:
    bool readBytes(void* destination, uint64_t count);
    uint64_t byteCount() const;
    uint64_t readPosition() const;

    std::vector<unsigned char> m_bytes;
    uint64_t m_position = 0;
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
