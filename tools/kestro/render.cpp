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
    if (!parsePlayerArguments(command, argv,
                              {{"--output", "-o", true, false},
                               {"--size", nullptr, true, false},
                               {"--at", nullptr, true, false}},
                              kRenderUsage, &args)) {
        return Usage;
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
    if (!atSeconds(command, args, kRenderUsage, &at)) {
        return Usage;
    }
    Player player;
    if (!loadPlayer(command, args, &player)) {
        return Failed;
    }
    int result = Ok;
    {
        Session session(player.options);
        if (!prepareSession(command, args, player.project, &session)) {
            return Failed;
        }
        session.advance(at);
        std::string error;
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
