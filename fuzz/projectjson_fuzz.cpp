// The screen compiler: arbitrary project-file text. A file either compiles or is refused with a
// position; what compiles must survive the container and the dump unchanged:
// readKvs(writeKvs(p)) and compileProjectJson(dumpProjectJson(p)) give the same container.
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
    const std::string json(reinterpret_cast<const char*>(data), size);
    kestro::Project project;
    kestro::ProjectError error;
    if (!kestro::compileProjectJson(json, "fuzz.json", &project, &error)) {
        if (error.message.empty()) {
            kvfuzz::finding("a project file was refused without a reason");
        }
        (void)error.text();
        return 0;
    }
    const std::string kvs = kestro::writeKvs(project);

    kestro::Project reread;
    if (!kestro::readKvs(kvs, "fuzz.kvs", &reread, &error) || kestro::writeKvs(reread) != kvs) {
        kvfuzz::finding("the container of a compiled project does not read back the same");
    }

    const std::string dumped = kestro::dumpProjectJson(project);
    kestro::Project recompiled;
    if (!kestro::compileProjectJson(dumped, "dump.json", &recompiled, &error) ||
        kestro::writeKvs(recompiled) != kvs) {
        kvfuzz::finding("the dump of a compiled project does not compile to the same container");
    }
    return 0;
}
