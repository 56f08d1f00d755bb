// kestro run: a session driven by a script of events, one JSON line per event. The events go
// through the session's dispatch (eventdispatch.h), their lines through its reporter (report.h):
// this is the command, its options and its output.
#include "tools/kestro/commands.h"
#include "tools/kestro/options.h"

#include "runtime/session/eventdispatch.h"
#include "runtime/session/eventscript.h"
#include "runtime/session/report.h"

#include <QFile>
#include <QJsonDocument>

#include <cstdio>
#include <iostream>
#include <sstream>

namespace kestro::cli {

namespace {

bool readScript(const std::string& path, std::string* text) {
    if (path == "-") {
        std::ostringstream all;
        all << std::cin.rdbuf();
        *text = all.str();
        return !std::cin.bad();
    }
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    *text = file.readAll().toStdString();
    return true;
}

//! The lines go to stdout or a file, each flushed, so that a failing event leaves the lines of
//! the events before it.
class LineWriter {
public:
    bool open(const std::string& path) {
        if (path.empty() || path == "-") {
            m_out = stdout;
            return true;
        }
        m_out = std::fopen(path.c_str(), "wb");
        m_own = m_out != nullptr;
        return m_own;
    }
    ~LineWriter() {
        if (m_own) {
            std::fclose(m_out);
        }
    }
    bool write(const QJsonObject& line) {
        const QByteArray bytes = QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
        return std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), m_out) ==
                   static_cast<size_t>(bytes.size()) &&
               std::fflush(m_out) == 0;
    }

private:
    std::FILE* m_out = nullptr;
    bool m_own = false;
};

int run(const Arguments& args) {
    const CommandDef& command = kRunCommand;
    const std::string scriptPath = args.value("events");
    if (scriptPath.empty()) {
        return usageError(command, "the event script is missing (--events EVENTS)");
    }
    std::string scriptText;
    if (!readScript(scriptPath, &scriptText)) {
        return fail(command.name, "cannot read " + scriptPath);
    }
    std::vector<ScriptEvent> events;
    ScriptError scriptError;
    if (!parseEventScript(scriptText, &events, &scriptError)) {
        return fail(command.name, scriptPath + ":" + std::to_string(scriptError.line) + ":" +
                                      std::to_string(scriptError.column) + ": " +
                                      scriptError.message);
    }
    Player player;
    player.options.capturePath = args.value("capture");
    if (const int failed = loadPlayer(command, args, &player)) {
        return failed;
    }
    LineWriter out;
    if (!out.open(args.value("output"))) {
        return fail(command.name, "cannot write " + args.value("output"));
    }

    Session session(player.options);
    if (!prepareSession(command.name, player.settings, player.project, &session)) {
        return Failed;
    }
    EventReporter reporter(session);
    CallMark mark = session.mark();
    session.start();
    if (!out.write(reporter.loadLine(mark, player.source))) {
        return fail(command.name, "cannot write the output");
    }
    for (size_t step = 0; step < events.size(); ++step) {
        const ScriptEvent& event = events[step];
        mark = session.mark();
        const EventOutcome outcome = dispatchEvent(session, event);
        if (!outcome.done) {
            return fail(command.name,
                        scriptPath + ":" + std::to_string(event.line) + ": " + outcome.error);
        }
        if (!out.write(reporter.eventLine(static_cast<int>(step + 1), event, outcome, mark))) {
            return fail(command.name, "cannot write the output");
        }
        if (session.stopped()) {
            const size_t left = events.size() - step - 1;
            if (left > 0) {
                std::fprintf(stderr,
                             "kestro run: the runtime was stopped by line %d; %zu event(s) not "
                             "run\n",
                             event.line, left);
            }
            break;
        }
    }
    return Ok;
}

} // namespace

const CommandDef kRunCommand = {
    "run",
    "kestro run [FILE] --events EVENTS [-o OUT.jsonl] [--capture PATH] [--window N] "
    "[--set TAG=VALUE]... [--refresh SECONDS] [--plugins DIR]",
    "run a script of events; one JSON line of state and host calls per event",
    playerOptions({
        {{QStringLiteral("events")},
         QStringLiteral("EVENTS"),
         QStringLiteral("the event script, one event per line (- reads stdin)"),
         false},
        {{QStringLiteral("o"), QStringLiteral("output")},
         QStringLiteral("OUT.jsonl"),
         QStringLiteral("write the lines there instead of to stdout"),
         false},
        {{QStringLiteral("capture")},
         QStringLiteral("PATH"),
         QStringLiteral("save the screen captures of the objects as PNG (%n: the number)"),
         false},
    }),
    projectArgument(),
    0,
    1,
    "one project file at most",
    Application::Gui,
    run,
};

} // namespace kestro::cli
