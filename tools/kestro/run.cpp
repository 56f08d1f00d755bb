// kestro run: a session driven by a script of events, one JSON line per event.
#include "tools/kestro/commands.h"
#include "tools/kestro/options.h"

#include "runtime/session/eventscript.h"
#include "runtime/session/report.h"

#include <QFile>
#include <QJsonDocument>

#include <cstdio>
#include <iostream>
#include <iterator>
#include <map>
#include <sstream>

namespace kestro::cli {

const char* const kRunUsage =
    "kestro run [FILE] --events EVENTS [-o OUT.jsonl] [--capture PATH] [--window N] "
    "[--set TAG=VALUE]... [--refresh SECONDS] [--plugins DIR]";

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

class Reporter {
public:
    explicit Reporter(Session& session) : m_session(session) {}

    //! The state of the session and the calls since the mark.
    QJsonObject line(const CallMark& mark) {
        QJsonObject o;
        o[QStringLiteral("time")] = m_session.time();
        o[QStringLiteral("window")] = m_session.currentWindow();
        QJsonArray stack;
        for (int number : m_session.windowStack()) {
            stack.append(number);
        }
        o[QStringLiteral("stack")] = stack;
        o[QStringLiteral("stopped")] = m_session.stopped();
        const std::vector<ObjectState> states = m_session.objectStates();
        QJsonArray objects;
        for (const ObjectState& state : states) {
            objects.append(toJson(state, previousOf(state)));
        }
        for (const ObjectState& state : states) {
            m_last[{state.window, state.index}] = state;
        }
        o[QStringLiteral("objects")] = objects;
        o[QStringLiteral("calls")] = toJson(m_session.callsSince(mark), m_session);
        return o;
    }

private:
    const ObjectState* previousOf(const ObjectState& state) const {
        const auto found = m_last.find({state.window, state.index});
        return found == m_last.end() ? nullptr : &found->second;
    }

    Session& m_session;
    std::map<std::pair<int, int>, ObjectState> m_last;
};

} // namespace

int runCommand(const Args& argv) {
    const std::string command = "run";
    Arguments args;
    if (!parsePlayerArguments(command, argv,
                              {{"--events", nullptr, true, false},
                               {"--output", "-o", true, false},
                               {"--capture", nullptr, true, false}},
                              kRunUsage, &args)) {
        return Usage;
    }
    const std::string scriptPath = args.value("--events");
    if (scriptPath.empty()) {
        return usageError(command, "the event script is missing (--events EVENTS)", kRunUsage);
    }
    std::string scriptText;
    if (!readScript(scriptPath, &scriptText)) {
        return fail(command, "cannot read " + scriptPath);
    }
    std::vector<ScriptEvent> events;
    ScriptError scriptError;
    if (!parseEventScript(scriptText, &events, &scriptError)) {
        return fail(command, scriptPath + ":" + std::to_string(scriptError.line) + ":" +
                                 std::to_string(scriptError.column) + ": " + scriptError.message);
    }
    Player player;
    player.options.capturePath = args.value("--capture");
    if (!loadPlayer(command, args, &player)) {
        return Failed;
    }
    LineWriter out;
    if (!out.open(args.value("--output"))) {
        return fail(command, "cannot write " + args.value("--output"));
    }

    Session session(player.options);
    if (!prepareSession(command, args, player.project, &session)) {
        return Failed;
    }
    Reporter reporter(session);
    CallMark mark = session.mark();
    session.start();
    QJsonObject first = reporter.line(mark);
    first[QStringLiteral("step")] = 0;
    first[QStringLiteral("event")] = QStringLiteral("load");
    first[QStringLiteral("project")] = QString::fromStdString(player.source);
    QJsonArray problems;
    for (const LoadProblem& problem : session.problems()) {
        problems.append(toJson(problem));
    }
    first[QStringLiteral("problems")] = problems;
    if (!out.write(first)) {
        return fail(command, "cannot write the output");
    }

    for (size_t step = 0; step < events.size(); ++step) {
        const ScriptEvent& event = events[step];
        const std::string where = scriptPath + ":" + std::to_string(event.line) + ": ";
        mark = session.mark();
        QJsonObject extra;
        switch (event.kind) {
        case ScriptEvent::Kind::Advance:
            session.advance(event.seconds);
            break;
        case ScriptEvent::Kind::Refresh:
            session.refresh();
            break;
        case ScriptEvent::Kind::Blink:
            session.blinkTick(event.number);
            break;
        case ScriptEvent::Kind::Trigger:
            session.trigger(event.number);
            break;
        case ScriptEvent::Kind::Click:
            if (!session.click(event.name)) {
                return fail(command, where + "no object \"" + event.name + "\" in window " +
                                         std::to_string(session.currentWindow()));
            }
            break;
        case ScriptEvent::Kind::ClickAt: {
            const int hit = session.clickAt(event.x, event.y);
            extra[QStringLiteral("hit")] = hit >= 0 ? QJsonValue(hit) : QJsonValue();
            break;
        }
        case ScriptEvent::Kind::Sync:
            if (!session.sync(event.name, event.text)) {
                return fail(command, where + "no object \"" + event.name + "\" in window " +
                                         std::to_string(session.currentWindow()));
            }
            break;
        case ScriptEvent::Kind::Set: {
            std::string error;
            if (!session.setTag(event.name, event.text, &error)) {
                return fail(command, where + error);
            }
            break;
        }
        case ScriptEvent::Kind::Key:
            session.queueKeyboardAnswer(event.text, true);
            break;
        case ScriptEvent::Kind::KeyCancel:
            session.queueKeyboardAnswer(std::string(), false);
            break;
        case ScriptEvent::Kind::Window:
            if (!session.showWindow(event.number)) {
                return fail(command, where + "no window " + std::to_string(event.number) +
                                         " in the project");
            }
            break;
        }
        QJsonObject line = reporter.line(mark);
        for (auto it = extra.begin(); it != extra.end(); ++it) {
            line[it.key()] = it.value();
        }
        line[QStringLiteral("step")] = static_cast<int>(step + 1);
        line[QStringLiteral("line")] = event.line;
        line[QStringLiteral("event")] = QString::fromStdString(event.source);
        if (!out.write(line)) {
            return fail(command, "cannot write the output");
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

} // namespace kestro::cli
