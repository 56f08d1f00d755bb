// The record fields of the host's text class (CDrawText, class number 0x6001): what its loader
// reads after the common object record.
#pragma once

#include "runtime/stream/reader.h"
#include "runtime/stream/writer.h"

#include <cstdint>
#include <string>

namespace kestro {

constexpr uint32_t kDrawTextClass = 0x6001;

//! Host string, int32 pixel size, int32 alignment, colour (stored 0x00BBGGRR), int32 bold.
struct TextFields {
    std::string text;
    int32_t fontPixelSize = 12;
    int32_t alignment = 0x84; //!< Qt::Alignment: Qt::AlignCenter
    uint32_t color = 0;       //!< 0x00RRGGBB
    int32_t bold = 0;         //!< 0 or 1
};

void writeFields(StreamWriter& out, const TextFields& fields);
bool readFields(StreamReader& in, TextFields* fields);

} // namespace kestro
