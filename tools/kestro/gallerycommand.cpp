// kestro gallery: every shape class in its orientations and parameters, as one PNG.
#include "tools/kestro/commands.h"
#include "tools/kestro/files.h"
#include "tools/kestro/gallery.h"
#include "tools/kestro/options.h"

#include <QString>

#include <cstdio>

namespace kestro::cli {

namespace {

int galleryCommand(const Arguments& args) {
    const CommandDef& command = kGalleryCommand;
    if (args.value("output").empty()) {
        return usageError(command, "the output file is missing (-o OUT.png)");
    }
    PluginSet plugins;
    if (!loadPlugins(command.name, args, &plugins)) {
        return Failed;
    }
    gallery::Picture picture;
    std::string error;
    if (!gallery::render(&plugins, &picture, &error)) {
        return fail(command.name, error);
    }
    // A cell whose object did not load, or did not draw, would leave a gap that looks like a
    // drawing fault: such a picture is not written.
    for (const LoadProblem& problem : picture.problems) {
        std::fprintf(stderr, "kestro gallery: %s\n", problem.text().c_str());
    }
    for (const SessionFault& fault : picture.faults) {
        std::fprintf(stderr, "kestro gallery: object %d \"%s\": %s\n", fault.index + 1,
                     fault.name.c_str(), fault.what.c_str());
    }
    if (!picture.problems.empty() || !picture.faults.empty()) {
        return fail(command.name, "not every cell could be drawn");
    }
    const std::string output = args.value("output");
    const QByteArray png = pngBytes(picture.image);
    if (png.isEmpty()) {
        return fail(command.name, "cannot encode the picture as PNG");
    }
    if (!writeOutput(output, png, &error)) {
        return fail(command.name, error);
    }
    return Ok;
}

} // namespace

const CommandDef kGalleryCommand = {
    "gallery",
    "kestro gallery -o OUT.png [--plugins DIR]",
    "every shape class in its orientations and parameters, as PNG",
    {
        {{QStringLiteral("o"), QStringLiteral("output")},
         QStringLiteral("OUT.png"),
         QStringLiteral("the PNG to write"),
         false},
        pluginsOption(),
    },
    {},
    0,
    0,
    "no project is taken",
    Application::Gui,
    galleryCommand,
};

} // namespace kestro::cli
