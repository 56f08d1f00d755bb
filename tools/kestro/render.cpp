// kestro render: the current window at a moment of the virtual clock, as PNG.
#include "tools/kestro/commands.h"
#include "tools/kestro/options.h"

#include <cstdio>

namespace kestro::cli {

const char* const kRenderUsage =
    "kestro render [FILE] -o OUT.png [--window N] [--size WxH] [--at SECONDS] "
    "[--set TAG=VALUE]... [--refresh SECONDS] [--plugins DIR]";

int renderCommand(const Args& argv) {
    const std::string command = "render";
    Arguments args;
    std::string error;
    if (!args.parse(argv,
                    playerOptions({{"--output", "-o", true, false},
                                   {"--size", nullptr, true, false},
                                   {"--at", nullptr, true, false}}),
                    &error)) {
        return usageError(command, error, kRenderUsage);
    }
    if (args.positional().size() > 1) {
        return usageError(command, "one project file at most", kRenderUsage);
    }
    if (args.value("--output").empty()) {
        return usageError(command, "the output file is missing (-o OUT.png)", kRenderUsage);
    }
    QSize size;
    if (args.has("--size") && !parseSize(args.value("--size"), &size)) {
        return usageError(command, "--size takes WxH, not \"" + args.value("--size") + "\"",
                          kRenderUsage);
    }
    double at = 0.0;
    if (args.has("--at") && !parseSeconds(args.value("--at"), &at)) {
        return usageError(command, "--at takes seconds, not \"" + args.value("--at") + "\"",
                          kRenderUsage);
    }
    SessionOptions options;
    if (!sessionOptions(command, args, &options)) {
        return Failed;
    }

    Project project;
    std::string source;
    PluginSet plugins;
    if (!loadProject(command, args, &project, &source) || !loadPlugins(command, args, &plugins)) {
        return Failed;
    }
    int result = Ok;
    {
        options.plugins = &plugins;
        Session session(options);
        if (!prepareSession(command, args, project, &session)) {
            return Failed;
        }
        session.advance(at);
        if (!session.savePng(args.value("--output"), size, &error)) {
            result = fail(command, error);
        }
        for (const SessionFault& fault : session.faults()) {
            std::fprintf(stderr, "kestro render: warning: window %d, object %d \"%s\": %s\n",
                         fault.window, fault.index, fault.name.c_str(), fault.what.c_str());
        }
    }
    return result;
}

} // namespace kestro::cli
