// kestro plugins: the plug-ins loaded as the host loads them, one object of every class they
// register created and tested as the host tests it, then every plug-in unloaded again.
#include "tools/kestro/commands.h"
#include "tools/kestro/options.h"

#include "kestrovalumen/host/gui.h"
#include "kestrovalumen/host/rtti.h"
#include "runtime/host/logger.h"
#include "runtime/host/registry.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace kestro::cli {

namespace {

//! How one class answers the host's type tests.
struct ClassRow {
    std::string name;
    uint32_t number = 0;
    bool created = false;
    bool isObject = false;
    bool isDrawObject = false;
    bool ownDescriptor = false;
    int attr = -1; //!< through the drawing-object interface; -1 when the object hides it
};

const char* yesNo(bool value) {
    return value ? "yes" : "no";
}

//! Creates, tests and deletes one object of the class.
ClassRow inspect(rtti::clazz_c* descriptor) {
    ClassRow row;
    row.name = descriptor->class_name();
    row.number = descriptor->class_id();
    std::unique_ptr<rtti::object_c> object(descriptor->create_object());
    if (!object) {
        return row;
    }
    row.created = true;
    row.isObject = object->is_kind_of(rtti::object_c::static_clazz());
    row.isDrawObject = object->is_kind_of(draw_object_c::static_clazz());
    row.ownDescriptor = object->get_clazz() == descriptor && object->is_kind_of(descriptor);
    // Only what the object admits to through cast_to is used; no C++ cast across the boundary.
    if (rtti::object_c* drawable = object->cast_to(draw_object_c::static_clazz())) {
        row.attr = static_cast<draw_object_c*>(drawable)->GetAttr();
    }
    return row;
}

void printTable(const std::vector<ClassRow>& rows) {
    std::printf("%3s  %-24s %-7s %-9s %-14s %-15s %s\n", "#", "class", "number", "object_c",
                "draw_object_c", "own descriptor", "attr");
    int index = 0;
    for (const ClassRow& row : rows) {
        char attr[16] = "-";
        if (row.attr >= 0) {
            std::snprintf(attr, sizeof attr, "0x%04X", static_cast<unsigned>(row.attr));
        }
        std::printf("%3d  %-24s 0x%04X  %-9s %-14s %-15s %s\n", ++index, row.name.c_str(),
                    static_cast<unsigned>(row.number), yesNo(row.isObject), yesNo(row.isDrawObject),
                    yesNo(row.ownDescriptor), attr);
    }
}

int pluginsCommand(const Arguments& args) {
    const std::string command = kPluginsCommand.name;
    const std::string directory =
        args.positional().empty() ? pluginDirectory(args) : args.positional().front();
    // What the plug-ins report while they register shows where it happens.
    HostLog::instance().setEcho(stderr);
    PluginSet plugins;
    std::string error;
    if (!plugins.loadDirectory(directory, &error)) {
        return fail(command, error);
    }
    if (plugins.plugins().empty()) {
        return fail(command, "no plug-in found in " + directory);
    }
    bool ok = true;
    for (const LoadedPlugin& plugin : plugins.plugins()) {
        std::printf("plug-in: %s (__plugin_init -> %d), %s\n", plugin.identifier.c_str(),
                    plugin.initResult, plugin.path.c_str());
        std::printf("registered classes: %zu\n\n", plugin.classes.size());
        std::vector<ClassRow> rows;
        for (rtti::clazz_c* descriptor : plugin.classes) {
            rows.push_back(inspect(descriptor));
            const ClassRow& row = rows.back();
            if (!row.created) {
                std::fprintf(stderr, "kestro plugins: %s: no instance\n", row.name.c_str());
            } else if (!row.isObject || !row.ownDescriptor) {
                std::fprintf(stderr, "kestro plugins: %s does not answer to its own class\n",
                             row.name.c_str());
            }
            ok = ok && row.created && row.isObject && row.ownDescriptor;
        }
        printTable(rows);
        std::printf("\n");
        if (plugin.initResult != 1) {
            std::fprintf(stderr, "kestro plugins: %s: __plugin_init answered %d\n",
                         plugin.path.c_str(), plugin.initResult);
            ok = false;
        }
    }
    ClassRegistry& registry = ClassRegistry::instance();
    while (!plugins.plugins().empty()) {
        const LoadedPlugin& plugin = plugins.plugins().back();
        const std::string identifier = plugin.identifier;
        const std::vector<rtti::clazz_c*> classes = plugin.classes;
        const int result = plugins.unloadLast();
        // The descriptors are gone with the plug-in: compared as addresses only.
        const auto& registered = registry.classes();
        const bool withdrawn = std::none_of(classes.begin(), classes.end(), [&](auto* d) {
            return std::find(registered.begin(), registered.end(), d) != registered.end();
        });
        std::printf("%s: __plugin_cleanup -> %d; its classes %s\n", identifier.c_str(), result,
                    withdrawn ? "are withdrawn" : "are still registered");
        ok = ok && result == 1 && withdrawn;
    }
    const bool empty = registry.classes().empty();
    std::printf("objects deleted, plug-ins unloaded; registry %s\n",
                empty ? "is empty again" : "still holds classes");
    return ok && empty ? Ok : Failed;
}

} // namespace

const CommandDef kPluginsCommand = {
    "plugins",
    "kestro plugins [DIR]",
    "load the plug-ins, test one object of every class they register, unload them",
    {},
    {{QStringLiteral("DIR"),
      QStringLiteral("the plug-in directory (else $KESTRO_PLUGIN_DIR, else ../lib)")}},
    0,
    1,
    "one plug-in directory at most",
    Application::Gui,
    pluginsCommand,
};

} // namespace kestro::cli
