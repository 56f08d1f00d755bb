// The expression compiler: arbitrary source text. What compiles must pass the engine's verifier
// (a compiled program is never "damaged") and list; what does not compile must name a position
// inside the source.
#include "fuzz/fuzzsupport.h"

#include "kestrovalumen/host/script.h"
#include "runtime/host/rtdbhost.h"
#include "runtime/host/script.h"
#include "runtime/script/compiler.h"
#include "runtime/script/disassembler.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

// The database's tags by name; any other name resolves by its length, so that most tags of a
// fuzzed text resolve (reaching the code generator) and some do not.
int Resolve(const std::string& tag) {
    for (size_t i = 0; i < kvfuzz::kTagNames.size(); ++i) {
        if (kvfuzz::kTagNames[i] == tag) {
            return static_cast<int>(i);
        }
    }
    return static_cast<int>(tag.size() % 13) - 1;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    kvfuzz::resetPopulatedHost();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string source(reinterpret_cast<const char*>(data), size);
    const kestro::script::CompileResult compiled = kestro::script::compile(source, Resolve);
    if (!compiled.ok()) {
        const kestro::script::CompileError& error = compiled.error;
        if (!compiled.bytes.empty() || error.offset > source.size() || error.line < 1 ||
            error.column < 1) {
            kvfuzz::finding("a compile error without a position inside the source");
        }
        (void)error.text();
        return 0;
    }
    if (compiled.bytes.empty()) {
        kvfuzz::finding("a successful compile without a program");
    }
    kestro::RtdbScriptHost host;
    Script::ValueType result;
    if (!script_SvrRunProg(compiled.bytes.data(), static_cast<unsigned int>(compiled.bytes.size()),
                           result, &host)) {
        // Failing at run time is allowed (a division by zero, a string where a number belongs);
        // failing the verifier is not.
        if (kestro::ScriptService::instance().lastError().rfind("damaged program", 0) == 0) {
            kvfuzz::finding("the engine refuses a compiled program");
        }
    }
    const std::string listing =
        kestro::script::disassemble(compiled.bytes.data(), compiled.bytes.size());
    if (listing.rfind("invalid program", 0) == 0) {
        kvfuzz::finding("the disassembler refuses a compiled program");
    }
    return 0;
}
