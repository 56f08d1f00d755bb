// kestro trace: every paint call of the current window, per object, as JSON.
#include "tools/kestro/commands.h"
#include "tools/kestro/files.h"
#include "tools/kestro/live.h"
#include "tools/kestro/options.h"

#include "runtime/session/report.h"

#include <QJsonDocument>

#include <cstdio>
#include <memory>

namespace kestro::cli {

namespace {

int trace(const Arguments& args) {
    const CommandDef& command = kTraceCommand;
    double at = 0.0;
    if (const int refused = parseAt(command, args, &at)) {
        return refused;
    }
    const std::string output = args.value("output");
    std::string error;
    if (!checkNotAnInput(output, args.positional(), &error)) {
        return fail(command.name, error);
    }
    Player player;
    if (const int failed = loadPlayer(command, args, &player)) {
        return failed;
    }
    QByteArray json;
    {
        Session session(player.options);
        if (!prepareSession(command.name, player.settings, player.project, &session)) {
            return Failed;
        }
        const std::unique_ptr<LiveLink> live = LiveLink::forCommand(command.name, player, session);
        session.advance(at);
        QJsonObject trace = toJson(session.trace());
        trace[QStringLiteral("window")] = session.currentWindow();
        trace[QStringLiteral("time")] = session.time();
        QJsonArray faults;
        for (const SessionFault& fault : session.faults()) {
            faults.append(toJson(fault));
        }
        trace[QStringLiteral("faults")] = faults;
        json = QJsonDocument(trace).toJson(QJsonDocument::Indented);
    }
    return writeOutput(output, json, &error) ? Ok : fail(command.name, error);
}

} // namespace

const CommandDef kTraceCommand = {
    "trace",
    "kestro trace [FILE] [-o OUT.json] [--window N] [--at SECONDS] [--set TAG=VALUE]... "
    "[--refresh SECONDS] [--live] [--connect NAME=HOST:PORT]... [--plugins DIR]",
    "every paint call of the current window, per object, as JSON",
    playerOptions({
        liveOption(),
        {{QStringLiteral("o"), QStringLiteral("output")},
         QStringLiteral("OUT.json"),
         QStringLiteral("write the JSON there instead of to stdout"),
         false},
        atOption(),
    }),
    projectArgument(),
    0,
    1,
    "one project file at most",
    Application::Gui,
    trace,
};

} // namespace kestro::cli
