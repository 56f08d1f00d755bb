// kestro run: a session driven by a script of events, one JSON line per event. The events go
// through the session's dispatch (eventdispatch.h), their lines through its reporter (report.h):
// this is the command, its options and its output.
#include "tools/kestro/commands.h"
#include "tools/kestro/files.h"
#include "tools/kestro/live.h"
#include "tools/kestro/options.h"

#include "runtime/session/eventdispatch.h"
#include "runtime/session/eventscript.h"
#include "runtime/session/report.h"

#include <QFile>
#include <QJsonDocument>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <sstream>

namespace kestro::cli {

namespace {

bool readScript(const std::string& path, std::string* text, std::string* error) {
    if (path == "-") {
        std::ostringstream all;
        all << std::cin.rdbuf();
        *text = all.str();
        if (std::cin.bad()) {
            *error = "cannot read the standard input";
            return false;
        }
        return true;
    }
    QByteArray bytes;
    if (!readInput(path, &bytes, error)) {
        return false;
    }
    *text = bytes.toStdString();
    return true;
}

//! The lines go to stdout or a device, each flushed, or to a file that takes the place of the
//! old one when the run ends, also when an event fails, so that the lines of the events before
//! it stay. A write that fails leaves the old file as it was.
class LineWriter {
public:
    explicit LineWriter(const std::string& path) : m_path(path) {
        if (isStandardStream(path)) {
            return;
        }
        const QString name = QString::fromStdString(path);
        if (isDevice(path)) {
            m_file = std::make_unique<QFile>(name);
        } else {
            auto save = std::make_unique<QSaveFile>(name);
            m_save = save.get();
            m_file = std::move(save);
        }
    }
    ~LineWriter() {
        if (m_save && m_save->isOpen()) {
            m_save->cancelWriting();
        }
    }
    bool open(std::string* error) {
        if (m_file && !m_file->open(QIODevice::WriteOnly)) {
            return failed(error);
        }
        return true;
    }
    bool write(const QJsonObject& line, std::string* error) {
        const QByteArray bytes = QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
        if (!m_file) {
            errno = 0;
            if (std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout) !=
                static_cast<size_t>(bytes.size())) {
                *error = std::string("cannot write the standard output: ") +
                         std::strerror(errno ? errno : EIO);
                return false;
            }
            return finishStandardOutput(error);
        }
        errno = 0;
        if (m_file->write(bytes) != bytes.size() || (!m_save && !m_file->flush())) {
            return failed(error);
        }
        return true;
    }
    //! Puts the file in place; false with the reason when the last bytes cannot be written.
    bool finish(std::string* error) {
        errno = 0;
        if (m_save && !m_save->commit()) {
            return failed(error);
        }
        return true;
    }

private:
    bool failed(std::string* error) const {
        // The system's reason is the useful one; Qt does not always keep it.
        *error = "cannot write " + m_path + ": " +
                 (errno ? std::string(std::strerror(errno)) : m_file->errorString().toStdString());
        return false;
    }

    std::string m_path;
    std::unique_ptr<QFileDevice> m_file;
    QSaveFile* m_save = nullptr; //!< m_file, when it is a file replaced at the end
};

//! The exit code after the lines so far are put in place: result, unless that fails.
int finishLines(const std::string& command, LineWriter* out, int result) {
    std::string error;
    if (!out->finish(&error)) {
        return fail(command, error);
    }
    return result;
}

int run(const Arguments& args) {
    const CommandDef& command = kRunCommand;
    const std::string scriptPath = args.value("events");
    if (scriptPath.empty()) {
        return usageError(command, "the event script is missing (--events EVENTS)");
    }
    // Every usage error comes before a failure: the options first, then the files.
    Player player;
    player.options.capturePath = args.value("capture");
    if (const int failed = loadPlayer(command, args, &player)) {
        return failed;
    }
    const std::string output = args.value("output");
    std::string scriptText;
    std::string error;
    if (!readScript(scriptPath, &scriptText, &error) ||
        !checkNotAnInput(output,
                         {scriptPath, args.positional().empty() ? "" : args.positional().front()},
                         &error)) {
        return fail(command.name, error);
    }
    std::vector<ScriptEvent> events;
    ScriptError scriptError;
    if (!parseEventScript(scriptText, &events, &scriptError)) {
        return fail(command.name, scriptPath + ":" + std::to_string(scriptError.line) + ":" +
                                      std::to_string(scriptError.column) + ": " +
                                      scriptError.message);
    }
    LineWriter out(output);
    if (!out.open(&error)) {
        return fail(command.name, error);
    }

    Session session(player.options);
    if (!prepareSession(command.name, player.settings, player.project, &session)) {
        return Failed;
    }
    const std::unique_ptr<LiveLink> live = LiveLink::forCommand(command.name, player, session);
    EventReporter reporter(session);
    CallMark mark = session.mark();
    session.start();
    if (!out.write(reporter.loadLine(mark, player.source), &error)) {
        return fail(command.name, error);
    }
    // Each line carries its event's records: none is kept past its line.
    session.forgetRecords();
    for (size_t step = 0; step < events.size(); ++step) {
        const ScriptEvent& event = events[step];
        mark = session.mark();
        const EventOutcome outcome = dispatchEvent(session, event);
        if (!outcome.done) {
            return finishLines(command.name, &out,
                               fail(command.name, scriptPath + ":" + std::to_string(event.line) +
                                                      ": " + outcome.error));
        }
        if (!out.write(reporter.eventLine(static_cast<int>(step + 1), event, outcome, mark),
                       &error)) {
            return fail(command.name, error);
        }
        session.forgetRecords();
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
    return finishLines(command.name, &out, Ok);
}

} // namespace

const CommandDef kRunCommand = {
    "run",
    "kestro run [FILE] --events EVENTS [-o OUT.jsonl] [--capture PATH] [--window N] "
    "[--set TAG=VALUE]... [--refresh SECONDS] [--live] [--connect NAME=HOST:PORT]... [--plugins "
    "DIR]",
    "run a script of events; one JSON line of state and host calls per event",
    playerOptions({
        liveOption(),
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
