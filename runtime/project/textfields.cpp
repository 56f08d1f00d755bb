// Record fields of the host's text class.
#include "runtime/project/textfields.h"

namespace kestro {

void writeFields(StreamWriter& out, const TextFields& fields) {
    out.hostString(fields.text).i32(fields.fontPixelSize).i32(fields.alignment);
    out.u32(toStoredColor(fields.color)).i32(fields.bold);
}

bool readFields(StreamReader& in, TextFields* fields) {
    uint32_t stored = 0;
    if (!in.hostString(&fields->text) || !in.i32(&fields->fontPixelSize) ||
        !in.i32(&fields->alignment) || !in.u32(&stored) || !in.i32(&fields->bold)) {
        return false;
    }
    fields->color = toStoredColor(stored);
    return true;
}

} // namespace kestro
