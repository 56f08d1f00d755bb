// kestro trace: every paint call of the current window, per object, as JSON.
#include "tools/kestro/commands.h"
#include "tools/kestro/options.h"

#include "runtime/session/report.h"

#include <QFile>
#include <QJsonDocument>

#include <cstdio>

namespace kestro::cli {

const char* const kTraceUsage =
    "kestro trace [FILE] [-o OUT.json] [--window N] [--at SECONDS] [--set TAG=VALUE]... "
    "[--refresh SECONDS] [--plugins DIR]";

int traceCommand(const Args& argv) {
    const std::string command = "trace";
    Arguments args;
    double at = 0.0;
    if (!parsePlayerArguments(command, argv,
                              {{"--output", "-o", true, false}, {"--at", nullptr, true, false}},
                              kTraceUsage, &args) ||
        !atSeconds(command, args, kTraceUsage, &at)) {
        return Usage;
    }
    Player player;
    if (!loadPlayer(command, args, &player)) {
        return Failed;
    }
    QByteArray json;
    {
        Session session(player.options);
        if (!prepareSession(command, args, player.project, &session)) {
            return Failed;
        }
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
    const std::string output = args.value("--output");
    if (output.empty() || output == "-") {
        std::fwrite(json.constData(), 1, static_cast<size_t>(json.size()), stdout);
        return std::fflush(stdout) == 0 ? Ok : fail(command, "cannot write the standard output");
    }
    QFile file(QString::fromStdString(output));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(json) != json.size() ||
        !file.flush()) {
        return fail(command, "cannot write " + output);
    }
    return Ok;
}

} // namespace kestro::cli
