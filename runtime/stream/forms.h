// Writers of the host's own stream forms: the host string and the event-handler record, as their
// readers (CString::deserialize, CEventDispatch::deserialize) expect them. Tools and tests use
// them to build project streams.
#pragma once

#include <cstdint>
#include <string>

namespace kestro {

//! Appends text as a host string: its length prefix, then its bytes.
void appendHostString(std::string& stream, const std::string& text);
//! Appends an event-handler record: the event code, the program length, the program bytes.
void appendEventRecord(std::string& stream, int32_t eventCode, const std::string& program);
//! Appends value as little-endian bytes of its width.
void appendInt32(std::string& stream, int32_t value);
void appendUInt32(std::string& stream, uint32_t value);
void appendUInt16(std::string& stream, uint16_t value);

} // namespace kestro
