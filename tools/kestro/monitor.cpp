// kestro monitor: a project run in real time against its live sources, headless: one JSON line
// per tag change and per change of state of the connections, and PNG snapshots, for unattended
// stations and tests.
#include "runtime/session/sessionpicture.h"
#include "tools/kestro/commands.h"
#include "tools/kestro/live.h"
#include "tools/kestro/options.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace kestro::cli {

namespace {

//! The lines, each flushed as it is written, so that a reader follows them as they come.
class Lines {
public:
    explicit Lines(std::FILE* out) : m_out(out) {}
    bool write(double time, QJsonObject line) {
        line.insert(QStringLiteral("time"), std::round(time * 1000.0) / 1000.0);
        const QByteArray bytes = QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
        m_ok = m_ok &&
               std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), m_out) ==
                   static_cast<size_t>(bytes.size()) &&
               std::fflush(m_out) == 0;
        return m_ok;
    }
    bool ok() const { return m_ok; }

private:
    std::FILE* m_out;
    bool m_ok = true;
};

QJsonObject noteLine(const live::LiveNote& note, const Project& project) {
    QJsonObject line;
    using Kind = live::LiveNote::Kind;
    if (note.kind == Kind::Connected || note.kind == Kind::Disconnected) {
        line.insert(QStringLiteral("connection"), QString::fromStdString(note.connection));
        line.insert(QStringLiteral("status"), note.kind == Kind::Connected
                                                  ? QStringLiteral("connected")
                                                  : QStringLiteral("disconnected"));
    } else {
        line.insert(QStringLiteral("tag"),
                    QString::fromStdString(project.tags[static_cast<size_t>(note.tag)].name));
        line.insert(QStringLiteral("status"), note.kind == Kind::TagBad ? QStringLiteral("bad")
                                              : note.kind == Kind::TagGood
                                                  ? QStringLiteral("good")
                                                  : QStringLiteral("write failed"));
    }
    if (!note.reason.empty()) {
        line.insert(QStringLiteral("reason"), QString::fromStdString(note.reason));
    }
    return line;
}

//! The value lines of the tags that changed since the last call.
class TagWatch {
public:
    explicit TagWatch(const Project& project) : m_project(project), m_seen(project.tags.size()) {}
    bool report(double time, Lines& lines) {
        const Rtdb& rtdb = Rtdb::instance();
        for (size_t i = 0; i < m_project.tags.size(); ++i) {
            const Variable* v = rtdb.variable(static_cast<int>(i));
            if (!v || !v->hasValue || m_seen[i] == v->changes) {
                continue;
            }
            m_seen[i] = v->changes;
            QJsonObject line;
            line.insert(QStringLiteral("tag"), QString::fromStdString(v->name));
            switch (v->type) {
            case VarType::Int:
                line.insert(QStringLiteral("value"), v->intValue);
                break;
            case VarType::Float:
                line.insert(QStringLiteral("value"), v->floatValue);
                break;
            case VarType::String:
                line.insert(QStringLiteral("value"), QString::fromStdString(v->stringValue));
                break;
            }
            if (!lines.write(time, line)) {
                return false;
            }
        }
        return true;
    }

private:
    const Project& m_project;
    std::vector<uint64_t> m_seen;
};

int monitor(const Arguments& args) {
    const CommandDef& command = kMonitorCommand;
    double duration = -1.0, every = 0.0;
    if (args.has("for") && !parseSeconds(args.value("for"), &duration)) {
        return usageError(command, secondsUsage("--for", args.value("for")));
    }
    if (args.has("snapshots") != args.has("every")) {
        return usageError(command, "--snapshots DIR and --every SECONDS go together");
    }
    if (args.has("every") && (!parseSeconds(args.value("every"), &every) || every < 0.01)) {
        return usageError(command, "--every takes seconds from 0.01 on, not \"" +
                                       args.value("every") + "\"");
    }
    Player player;
    if (const int failed = loadPlayer(command, args, &player)) {
        return failed;
    }
    const std::string output = args.value("output");
    std::FILE* out = output.empty() || output == "-" ? stdout : std::fopen(output.c_str(), "w");
    if (!out) {
        return fail(command.name, "cannot write " + output + ": " + std::strerror(errno));
    }
    const std::string snapshots = args.value("snapshots");
    if (!snapshots.empty() && !QDir().mkpath(QString::fromStdString(snapshots))) {
        return fail(command.name, "cannot make the directory " + snapshots);
    }
    Session session(player.options);
    if (!prepareSession(command.name, player.settings, player.project, &session)) {
        return Failed;
    }
    Lines lines(out);
    TagWatch tags(player.project);
    // The values at the start come first, before anything a connection brings.
    session.start();
    tags.report(0.0, lines);
    LiveLink link(session, player.project, player.source, [&](const live::LiveNote& note) {
        lines.write(session.time(), noteLine(note, player.project));
    });
    stopOnSignals();

    QElapsedTimer clock;
    clock.start();
    const double period = toSeconds(player.options.refreshPeriod);
    SessionPicture picture;
    int snapshot = 0;
    double nextSnapshot = 0.0;
    int result = Ok;
    while (!stopRequested() && lines.ok()) {
        const double now = clock.nsecsElapsed() / 1e9;
        const double until = duration >= 0.0 ? std::min(now, duration) : now;
        session.advance(until - session.time());
        if (!tags.report(session.time(), lines)) {
            break;
        }
        if (!snapshots.empty() && session.time() >= nextSnapshot) {
            const QString path =
                QDir(QString::fromStdString(snapshots))
                    .filePath(
                        QStringLiteral("snapshot-%1.png").arg(++snapshot, 4, 10, QLatin1Char('0')));
            // Only what changed since the last snapshot is painted again.
            std::string error;
            if (!picture.update(session, QSize(), session.takeDamage(), &error) ||
                !savePng(picture.image(), path.toStdString(), &error)) {
                result = fail(command.name, error);
                break;
            }
            QJsonObject line;
            line.insert(QStringLiteral("snapshot"), path);
            lines.write(session.time(), line);
            nextSnapshot += every;
        }
        if (duration >= 0.0 && session.time() >= duration) {
            break;
        }
        QCoreApplication::processEvents();
        QThread::usleep(static_cast<unsigned long>(std::max(0.0, period * 1e6 / 2)));
    }
    if (!lines.ok() && result == Ok) {
        result = fail(command.name, "cannot write " + (output.empty() ? "the output" : output));
    }
    if (out != stdout) {
        std::fclose(out);
    }
    return result;
}

} // namespace

const CommandDef kMonitorCommand = {
    "monitor",
    "kestro monitor [FILE] [--for SECONDS] [-o OUT.jsonl] [--snapshots DIR --every SECONDS] "
    "[--window N] [--set TAG=VALUE]... [--refresh SECONDS] [--connect NAME=HOST:PORT]... "
    "[--plugins DIR]",
    "run live and headless: a JSON line per tag and connection change, and snapshots",
    playerOptions({
        {{QStringLiteral("for")},
         QStringLiteral("SECONDS"),
         QStringLiteral("stop after this long (else at SIGINT or SIGTERM)"),
         false},
        {{QStringLiteral("o"), QStringLiteral("output")},
         QStringLiteral("OUT.jsonl"),
         QStringLiteral("write the lines there instead of to stdout"),
         false},
        {{QStringLiteral("snapshots")},
         QStringLiteral("DIR"),
         QStringLiteral("save the current window there as snapshot-NNNN.png"),
         false},
        {{QStringLiteral("every")},
         QStringLiteral("SECONDS"),
         QStringLiteral("the time between two snapshots"),
         false},
    }),
    projectArgument(),
    0,
    1,
    "one project file at most",
    Application::Gui,
    monitor,
};

} // namespace kestro::cli
