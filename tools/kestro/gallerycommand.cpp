// kestro gallery: every shape class in its orientations and parameters, as one PNG.
#include "tools/kestro/gallery.h"
#include "tools/kestro/options.h"
#include "tools/kestro/play.h"

#include <QString>

#include <cstdio>

namespace kestro::cli {

const char* const kGalleryUsage = "kestro gallery -o OUT.png [--plugins DIR]";

int galleryCommand(const Args& argv) {
    const std::string command = "gallery";
    Arguments args;
    std::string error;
    if (!args.parse(argv, {{"--output", "-o", true, false}, {"--plugins", nullptr, true, false}},
                    &error)) {
        return usageError(command, error, kGalleryUsage);
    }
    if (!args.positional().empty()) {
        return usageError(command, "no project is taken", kGalleryUsage);
    }
    if (args.value("--output").empty()) {
        return usageError(command, "the output file is missing (-o OUT.png)", kGalleryUsage);
    }
    PluginSet plugins;
    if (!loadPlugins(command, args, &plugins)) {
        return Failed;
    }
    gallery::Picture picture;
    if (!gallery::render(&plugins, &picture, &error)) {
        return fail(command, error);
    }
    // A cell whose object did not load, or did not draw, would leave a gap that looks like a
    // drawing fault: such a picture is not written.
    for (const LoadProblem& problem : picture.problems) {
        std::fprintf(stderr, "kestro gallery: %s\n", problem.text().c_str());
    }
    for (const SessionFault& fault : picture.faults) {
        std::fprintf(stderr, "kestro gallery: object %d \"%s\": %s\n", fault.index,
                     fault.name.c_str(), fault.what.c_str());
    }
    if (!picture.problems.empty() || !picture.faults.empty()) {
        return fail(command, "not every cell could be drawn");
    }
    const std::string output = args.value("--output");
    if (!picture.image.save(QString::fromStdString(output), "PNG")) {
        return fail(command, "cannot write " + output);
    }
    return Ok;
}

} // namespace kestro::cli
