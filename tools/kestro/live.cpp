// Live data on the command line.
#include "tools/kestro/live.h"

#include "runtime/host/rtdb.h"
#include "runtime/project/projectio.h"
#include "tools/kestro/options.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

#include <atomic>
#include <csignal>
#include <cstdio>

namespace kestro::cli {

namespace {

std::atomic<bool> g_stop{false};

void requestStop(int) {
    g_stop = true;
}

} // namespace

void stopOnSignals() {
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
}

bool stopRequested() {
    return g_stop;
}

OptionDef connectOption() {
    return {{QStringLiteral("connect")},
            QStringLiteral("NAME=HOST:PORT"),
            QStringLiteral("reach the connection NAME at HOST:PORT instead"),
            true};
}

OptionDef liveOption() {
    return {{QStringLiteral("live")},
            QString(),
            QStringLiteral("take live tags from their connections, not their simulations"),
            false};
}

bool applyConnectOptions(const CommandDef& command, const Arguments& args, Project* project) {
    for (const std::string& argument : args.values("connect")) {
        std::string error;
        if (!overrideConnection(*project, argument, &error)) {
            fail(command.name, "--connect " + argument + ": " + error);
            return false;
        }
    }
    return true;
}

Project withTlsPaths(Project project, const std::string& projectFile) {
    const QFileInfo file(QString::fromStdString(projectFile));
    const QDir base = file.exists() ? file.absoluteDir() : QDir::current();
    const auto resolve = [&base](std::string& path) {
        if (!path.empty()) {
            path =
                QDir::cleanPath(base.absoluteFilePath(QString::fromStdString(path))).toStdString();
        }
    };
    for (ConnectionDef& connection : project.connections) {
        resolve(connection.tlsCa);
        resolve(connection.tlsCert);
        resolve(connection.tlsKey);
    }
    return project;
}

LiveLink::LiveLink(Session& session, Project project, const std::string& projectFile,
                   NoteSink notes)
    : m_session(session),
      m_live(withTlsPaths(std::move(project), projectFile), live::makeConnection),
      m_notes(std::move(notes)) {
    const std::vector<TagDef>& tags = m_live.project().tags;
    for (size_t i = 0; i < tags.size(); ++i) {
        if (tags[i].source.live()) {
            m_session.stopSimulating(static_cast<int>(i));
        }
    }
    m_live.start();
    m_session.setTagFeed([this] { apply(); });
}

LiveLink::~LiveLink() {
    m_session.setTagFeed(nullptr);
    m_live.stop();
}

void LiveLink::apply() {
    for (const live::LiveNote& note : m_live.apply()) {
        if (m_notes) {
            m_notes(note);
        }
    }
}

bool LiveLink::waitForValues(double seconds) {
    QElapsedTimer clock;
    clock.start();
    const Rtdb& rtdb = Rtdb::instance();
    const Project& project = m_live.project();
    for (;;) {
        apply();
        bool all = true;
        for (size_t c = 0; c < project.connections.size(); ++c) {
            all = all && m_live.connected(static_cast<int>(c));
        }
        for (size_t t = 0; all && t < project.tags.size(); ++t) {
            const Variable* variable = rtdb.variable(static_cast<int>(t));
            all = !project.tags[t].source.live() || (variable && variable->hasValue);
        }
        if (all || clock.elapsed() >= static_cast<qint64>(seconds * 1000)) {
            return all;
        }
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
}

std::string describe(const live::LiveNote& note, const Project& project) {
    const std::string tag = note.tag >= 0 && note.tag < static_cast<int>(project.tags.size())
                                ? project.tags[static_cast<size_t>(note.tag)].name
                                : std::string();
    switch (note.kind) {
    case live::LiveNote::Kind::Connected:
        return note.connection + ": connected";
    case live::LiveNote::Kind::Disconnected:
        return note.connection + ": connection lost (" + note.reason + ")";
    case live::LiveNote::Kind::TagBad:
        return tag + ": bad value (" + note.reason + ")";
    case live::LiveNote::Kind::TagGood:
        return tag + ": good again";
    case live::LiveNote::Kind::WriteFailed:
        return tag + ": write failed (" + note.reason + ")";
    }
    return std::string();
}

std::unique_ptr<LiveLink> LiveLink::forCommand(const std::string& command, const Player& player,
                                               Session& session) {
    if (!player.live || player.project.connections.empty()) {
        return nullptr;
    }
    const Project* project = &player.project;
    auto link = std::make_unique<LiveLink>(
        session, player.project, player.source, [command, project](const live::LiveNote& note) {
            if (note.kind != live::LiveNote::Kind::Connected &&
                note.kind != live::LiveNote::Kind::TagGood) {
                std::fprintf(stderr, "kestro %s: warning: %s\n", command.c_str(),
                             describe(note, *project).c_str());
            }
        });
    if (!link->waitForValues(3.0)) {
        std::fprintf(stderr, "kestro %s: warning: not every live tag had a value after 3 s\n",
                     command.c_str());
    }
    return link;
}

} // namespace kestro::cli
