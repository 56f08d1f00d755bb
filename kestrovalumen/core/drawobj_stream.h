// Reading helpers shared by the loaders of the object record and of the animation records.
#pragma once

#include "kestrovalumen/host/MfcToQt.h"
#include "kestrovalumen/host/utils.h"

#include <cstdint>
#include <type_traits>
#include <vector>

namespace kv {

//! Reads one field of its own width as raw little-endian bytes; false on a short read.
template <class T>
bool ReadField(FF::utils::IBuffer* buffer, T& field) {
    return buffer->read(&field, sizeof(T));
}

//! Bytes that the stream still holds.
inline uint64_t BytesLeft(const FF::utils::IBuffer* buffer) {
    return buffer->length() - buffer->position();
}

//! True when count entries of unitSize bytes each could still be in the stream. A negative
//! count never fits, and the product is formed in 64 bits so that no count can wrap.
inline bool CountFits(const FF::utils::IBuffer* buffer, int32_t count, unsigned unitSize) {
    if (count < 0) {
        return false;
    }
    return static_cast<uint64_t>(count) * unitSize <= BytesLeft(buffer);
}

//! Reads a program: an int32 length, then that many bytes. The length is sign-extended, so a
//! negative one becomes a size that no stream holds.
inline bool ReadProgram(FF::utils::IBuffer* buffer, FF::utils::MemoryBuffer& program) {
    int32_t length = 0;
    if (!ReadField(buffer, length)) {
        return false;
    }
    return program.from(buffer, static_cast<unsigned long long>(static_cast<int64_t>(length)));
}

//! Reads a counted run: an int32 count, then that many stored values, each converted into an
//! element of out (a std::vector or a SmallArray). A count that cannot be in the stream is
//! refused before out is resized.
template <class Stored, class Array, class Convert>
bool ReadCountedRun(FF::utils::IBuffer* buffer, Array& out, Convert convert) {
    int32_t count = 0;
    if (!ReadField(buffer, count) || !CountFits(buffer, count, sizeof(Stored))) {
        return false;
    }
    using T = std::remove_reference_t<decltype(*out.begin())>;
    out.assign(static_cast<size_t>(count), T());
    for (T& element : out) {
        Stored stored{};
        if (!ReadField(buffer, stored)) {
            return false;
        }
        element = convert(stored);
    }
    return true;
}

//! Reads a host string into out (left as it was unless the read succeeds). A malformed block
//! is the caller's business and passes on; any other failure inside the host reader only
//! fails this read.
bool ReadGuardedString(FF::utils::IBuffer* buffer, CString& out);

} // namespace kv
