// kestro render: the current window at a moment of the virtual clock, as PNG.
#include "tools/kestro/commands.h"
#include "tools/kestro/files.h"
#include "tools/kestro/live.h"
#include "tools/kestro/options.h"

#include <cstdio>
#include <memory>

namespace kestro::cli {

namespace {

int render(const Arguments& args) {
    const CommandDef& command = kRenderCommand;
    if (args.value("output").empty()) {
        return usageError(command, "the output file is missing (-o OUT.png)");
    }
    QSize size;
    if (args.has("size") && !parseSize(args.value("size"), &size)) {
        return usageError(command, sizeUsage(args.value("size")));
    }
    double at = 0.0;
    if (const int refused = parseAt(command, args, &at)) {
        return refused;
    }
    std::string error;
    if (!checkNotAnInput(args.value("output"), args.positional(), &error)) {
        return fail(command.name, error);
    }
    Player player;
    if (const int failed = loadPlayer(command, args, &player)) {
        return failed;
    }
    int result = Ok;
    {
        Session session(player.options);
        if (!prepareSession(command.name, player.settings, player.project, &session)) {
            return Failed;
        }
        const std::unique_ptr<LiveLink> live = LiveLink::forCommand(command.name, player, session);
        session.advance(at);
        const QSize wanted = size.isEmpty() ? session.windowSize() : size;
        if (!limits::imageFits(wanted, &error)) {
            return fail(command.name,
                        "window " + std::to_string(session.currentWindow()) + ": " + error);
        }
        const QImage image = session.render(size);
        const QByteArray png = pngBytes(image);
        if (png.isEmpty()) {
            result =
                fail(command.name,
                     "cannot render window " + std::to_string(session.currentWindow()) + " at " +
                         std::to_string(wanted.width()) + "x" + std::to_string(wanted.height()));
        } else if (!writeOutput(args.value("output"), png, &error)) {
            result = fail(command.name, error);
        }
        for (const SessionFault& fault : session.faults()) {
            std::fprintf(stderr, "kestro render: warning: window %d, object %d \"%s\": %s\n",
                         fault.window, fault.index + 1, fault.name.c_str(), fault.what.c_str());
        }
    }
    return result;
}

} // namespace

const CommandDef kRenderCommand = {
    "render",
    "kestro render [FILE] -o OUT.png [--window N] [--size WxH] [--at SECONDS] "
    "[--set TAG=VALUE]... [--refresh SECONDS] [--live] [--connect NAME=HOST:PORT]... [--plugins "
    "DIR]",
    "paint the current window at a moment of the virtual clock, as PNG",
    playerOptions({
        liveOption(),
        {{QStringLiteral("o"), QStringLiteral("output")},
         QStringLiteral("OUT.png"),
         QStringLiteral("the PNG to write"),
         false},
        {{QStringLiteral("size")},
         QStringLiteral("WxH"),
         QStringLiteral("scale the window to this size"),
         false},
        atOption(),
    }),
    projectArgument(),
    0,
    1,
    "one project file at most",
    Application::Gui,
    render,
};

} // namespace kestro::cli
