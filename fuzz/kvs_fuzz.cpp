// The .kvs container loader: arbitrary container bytes. A container either loads or is refused
// with a reason. Only the form the writer writes is accepted, so what loads is written back to
// the same bytes, and its dump (whose records may be anything: the container frames them
// without reading them) compiles to them again.
#include "fuzz/fuzzsupport.h"

#include "runtime/project/projectio.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    kvfuzz::resetPopulatedHost();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    kestro::Project project;
    kestro::ProjectError error;
    if (!kestro::readKvs(bytes, "fuzz.kvs", &project, &error)) {
        if (error.message.empty()) {
            kvfuzz::finding("a container was refused without a reason");
        }
        return 0;
    }
    if (kestro::writeKvs(project) != bytes) {
        kvfuzz::finding("a container that reads is not written back to the same bytes");
    }
    const std::string dumped = kestro::dumpProjectJson(project);
    kestro::Project recompiled;
    if (!kestro::compileProjectJson(dumped, "dump.json", &recompiled, &error) ||
        kestro::writeKvs(recompiled) != bytes) {
        kvfuzz::finding("the dump of a container does not compile to the same container");
    }
    return 0;
}
