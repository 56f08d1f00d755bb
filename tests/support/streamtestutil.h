// Helpers of the loader tests: buffers over bytes, one that throws, the project version.
#pragma once

#include "kestrovalumen/host/utils.h"
#include "runtime/host/gui.h"
#include "runtime/host/logger.h"
#include "tests/support/reports.h"

#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

namespace streamtest {

inline FF::utils::MemoryBuffer bufferOf(const std::string& bytes) {
    return FF::utils::MemoryBuffer(bytes.data(), bytes.size());
}

inline std::string bytesOf(const FF::utils::MemoryBuffer& buffer) {
    return buffer.length() ? std::string(reinterpret_cast<const char*>(buffer.data()),
                                         static_cast<size_t>(buffer.length()))
                           : std::string();
}

//! Serves bytes like a memory buffer but throws the given exception from the read that starts
//! at throwAt.
template <class Exception>
class ThrowingBuffer : public FF::utils::IBuffer {
public:
    ThrowingBuffer(std::string bytes, uint64_t throwAt)
        : m_bytes(std::move(bytes)), m_throwAt(throwAt) {}

    bool read(void* destination, uint64_t count) override {
        if (m_position == m_throwAt) {
            if constexpr (std::is_constructible_v<Exception, const char*>) {
                throw Exception("injected");
            } else {
                throw Exception();
            }
        }
        if (count > m_bytes.size() - m_position) {
            return false;
        }
        std::memcpy(destination, m_bytes.data() + m_position, static_cast<size_t>(count));
        m_position += count;
        return true;
    }
    uint64_t length() const override { return m_bytes.size(); }
    uint64_t position() const override { return m_position; }

private:
    std::string m_bytes;
    uint64_t m_throwAt;
    uint64_t m_position = 0;
};

inline void setVersion(int major, int minor, int build, int revision) {
    kestro::Gui::instance().setProjectVersion({major, minor, build, revision, {}});
}

using kvtest::monitorCodes;

} // namespace streamtest
