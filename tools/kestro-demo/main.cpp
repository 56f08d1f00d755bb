// kestro-demo <plug-in>: loads a drawing plug-in as the host does, creates one object of every
// class it registers, shows how each answers the host's type tests, and unloads it again.
#include "kestrovalumen/host/gui.h"
#include "kestrovalumen/host/rtti.h"
#include "runtime/host/logger.h"
#include "runtime/host/registry.h"

#include <QByteArray>
#include <QtGlobal>

#include <dlfcn.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

using PluginInit = int (*)(char*);
using PluginCleanup = int (*)();

struct Row {
    std::string name;
    uint32_t number = 0;
    bool isObject = false;
    bool isDrawObject = false;
    bool ownDescriptor = false;
    int attr = -1; //!< through the drawing-object interface; -1 when the object hides it
};

const char* YesNo(bool value) {
    return value ? "yes" : "no";
}

//! Creates, tests and deletes one object of the class.
bool Inspect(rtti::clazz_c* descriptor, Row* row) {
    row->name = descriptor->class_name();
    row->number = descriptor->class_id();
    std::unique_ptr<rtti::object_c> object(descriptor->create_object());
    if (!object) {
        return false;
    }
    row->isObject = object->is_kind_of(rtti::object_c::static_clazz());
    row->isDrawObject = object->is_kind_of(draw_object_c::static_clazz());
    row->ownDescriptor = object->get_clazz() == descriptor && object->is_kind_of(descriptor);
    // Only what the object admits to through cast_to is used; no C++ cast across the boundary.
    if (rtti::object_c* drawable = object->cast_to(draw_object_c::static_clazz())) {
        row->attr = static_cast<draw_object_c*>(drawable)->GetAttr();
    }
    return true;
}

void PrintTable(const std::vector<Row>& rows) {
    std::printf("%3s  %-24s %-7s %-9s %-14s %-15s %s\n", "#", "class", "number", "object_c",
                "draw_object_c", "own descriptor", "attr");
    int index = 0;
    for (const Row& row : rows) {
        char attr[16] = "-";
        if (row.attr >= 0) {
            std::snprintf(attr, sizeof attr, "0x%04X", static_cast<unsigned>(row.attr));
        }
        std::printf("%3d  %-24s 0x%04X  %-9s %-14s %-15s %s\n", ++index, row.name.c_str(),
                    static_cast<unsigned>(row.number), YesNo(row.isObject), YesNo(row.isDrawObject),
                    YesNo(row.ownDescriptor), attr);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <path to the plug-in>\n", argv[0]);
        return 2;
    }
    // Nothing here draws, but a plug-in may touch Qt's GUI classes: never ask for a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    kestro::HostLog::instance().setEcho(stderr);

    void* module = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        std::fprintf(stderr, "cannot load %s: %s\n", argv[1], dlerror());
        return 1;
    }
    auto init = reinterpret_cast<PluginInit>(dlsym(module, "__plugin_init"));
    auto cleanup = reinterpret_cast<PluginCleanup>(dlsym(module, "__plugin_cleanup"));
    if (!init || !cleanup) {
        std::fprintf(stderr, "%s is not a plug-in: entry points missing\n", argv[1]);
        dlclose(module);
        return 1;
    }

    kestro::ClassRegistry& registry = kestro::ClassRegistry::instance();
    char identifier[64] = {};
    const int initResult = init(identifier);
    identifier[sizeof identifier - 1] = '\0';
    std::printf("plug-in: %s (__plugin_init -> %d)\n", identifier, initResult);
    std::printf("registered classes: %zu\n\n", registry.classes().size());

    bool ok = initResult == 1;
    std::vector<Row> rows;
    for (rtti::clazz_c* descriptor : registry.classes()) {
        Row row;
        if (!Inspect(descriptor, &row)) {
            std::fprintf(stderr, "%s: no instance\n", row.name.c_str());
            ok = false;
        }
        ok = ok && row.isObject && row.ownDescriptor;
        rows.push_back(row);
    }
    PrintTable(rows);

    const int cleanupResult = cleanup();
    const bool empty = registry.classes().empty();
    std::printf("\nobjects deleted; __plugin_cleanup -> %d; registry %s\n", cleanupResult,
                empty ? "is empty again" : "still holds classes");
    ok = ok && cleanupResult == 1 && empty;

    dlclose(module);
    return ok ? 0 : 1;
}
