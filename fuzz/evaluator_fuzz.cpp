// The expression engine: arbitrary program bytes, run against a populated database and without
// a host, then listed by the disassembler. The verifier must refuse what it cannot run; nothing
// may crash, loop or allocate beyond what the program's own bytes describe.
#include "fuzz/fuzzsupport.h"

#include "kestrovalumen/host/script.h"
#include "runtime/host/rtdbhost.h"
#include "runtime/script/disassembler.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    kvfuzz::resetPopulatedHost();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kestro::RtdbScriptHost host;
    Script::ValueType result;
    const bool ran = script_SvrRunProg(data, static_cast<unsigned int>(size), result, &host);
    const double number = result.getFloat();
    const std::string text = result.getString();
    // A program never yields a number that is not finite, and a failed run leaves nothing.
    if (ran && result.kind() == Script::ValueType::Float && !std::isfinite(number)) {
        kvfuzz::finding("a program yielded a number that is not finite");
    }
    if (!ran && (result.kind() != Script::ValueType::Empty || number != 0.0 || !text.empty())) {
        kvfuzz::finding("a failed run left a value behind");
    }

    Script::ValueType hostless;
    script_SvrRunProg(data, static_cast<unsigned int>(size), hostless, nullptr);

    const std::string listing = kestro::script::disassemble(
        data, size, [](int index) { return index == 2 ? std::string("Mode") : std::string(); });
    (void)listing;
    return 0;
}
