// The peers of the live tests: the fixture's MQTT broker (tests/runtime/live/broker.py), brokers
// of a test's own, the mosquitto command-line clients, and waiting on a connection's events.
#pragma once

#include "runtime/live/live.h"

#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace kvtest {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

//! A value of KV_BINARY_DIR/livebroker/broker.env, which the fixture starting the broker writes.
inline std::string brokerEnv(const std::string& key) {
    static const std::map<std::string, std::string> values = [] {
        std::map<std::string, std::string> read;
        std::ifstream file(qEnvironmentVariable("KV_BINARY_DIR").toStdString() +
                           "/livebroker/broker.env");
        for (std::string line; std::getline(file, line);) {
            const size_t equals = line.find('=');
            read[line.substr(0, equals)] = line.substr(equals + 1);
        }
        return read;
    }();
    const auto found = values.find(key);
    EXPECT_NE(found, values.end()) << "no " << key << " in broker.env: run the tests with ctest";
    return found == values.end() ? std::string() : found->second;
}

//! A port of 127.0.0.1 that nothing listens on now.
inline int freePort() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

//! Runs a program to its end, input on its standard input; whether it exited with 0.
inline bool runProgram(const std::string& program, const QStringList& args,
                       const QByteArray& input = {}) {
    QProcess process;
    process.start(QString::fromStdString(program), args);
    process.write(input);
    process.closeWriteChannel();
    const bool done = process.waitForFinished(30000);
    process.kill();
    process.waitForFinished();
    return done && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

//! Publishes a message with mosquitto_pub to the broker on 127.0.0.1:port.
inline bool publishMessage(int port, const std::string& topic, const QByteArray& message,
                           bool retain = false) {
    return runProgram(brokerEnv("mosquitto_pub"),
                      QStringList{"-h", "127.0.0.1", "-p", QString::number(port), "-t",
                                  QString::fromStdString(topic), "-s"} +
                          (retain ? QStringList{"-r"} : QStringList{}),
                      message);
}

//! mosquitto_sub on every topic under root, with qos 1 and the retain flag as published.
class Subscriber {
public:
    Subscriber(int port, const std::string& root) : m_probe("|" + root + "/ready|") {
        m_process.start(QString::fromStdString(brokerEnv("mosquitto_sub")),
                        {"-h", "127.0.0.1", "-p", QString::number(port), "-V", "mqttv5",
                         "--retain-as-published", "-q", "1", "-t",
                         QString::fromStdString(root + "/#"), "-F", ">%r|%q|%t|%p"});
        m_process.waitForStarted();
        // It says nothing of its subscription: once it shows a message, it is subscribed.
        const auto deadline = Clock::now() + 15s;
        while (!m_ready && Clock::now() < deadline &&
               publishMessage(port, root + "/ready", "ready")) {
            m_ready = !line(500ms).empty();
        }
    }
    ~Subscriber() {
        m_process.kill();
        m_process.waitForFinished();
    }
    bool ready() const { return m_ready; }
    //! The next message but the probes, as "retain|qos|topic|payload"; "" when none came.
    std::string next() {
        std::string found;
        do {
            found = line(15s);
        } while (found.find(m_probe) != std::string::npos);
        return found;
    }

private:
    std::string line(std::chrono::milliseconds timeout) {
        const auto deadline = Clock::now() + timeout;
        while (!m_process.canReadLine() && Clock::now() < deadline &&
               m_process.state() != QProcess::NotRunning) {
            m_process.waitForReadyRead(100);
        }
        const std::string text = m_process.readLine().trimmed().toStdString();
        return text.empty() || text[0] != '>' ? std::string() : text.substr(1);
    }

    const std::string m_probe;
    QProcess m_process;
    bool m_ready = false;
};

//! A broker of a test's own on 127.0.0.1:port, to kill and start again. It logs to log().
class OwnBroker {
public:
    explicit OwnBroker(int port) : m_port(port) {
        QFile config(m_dir.filePath("broker.conf"));
        config.open(QIODevice::WriteOnly);
        config.write(QString("user %1\nlistener %2 127.0.0.1\nallow_anonymous true\n"
                             "log_dest file %3\nlog_type all\n")
                         .arg(QString::fromLocal8Bit(getpwuid(getuid())->pw_name))
                         .arg(port)
                         .arg(m_dir.filePath("broker.log"))
                         .toUtf8());
    }
    ~OwnBroker() { kill(); }
    //! Starts it and waits until it takes connections.
    bool start() {
        m_process.start(QString::fromStdString(brokerEnv("mosquitto")),
                        {"-c", m_dir.filePath("broker.conf")});
        const auto deadline = Clock::now() + 15s;
        while (m_process.state() != QProcess::NotRunning && Clock::now() < deadline) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(m_port));
            if (probe.waitForConnected(200)) {
                return true;
            }
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }
    //! Kills it, as a crash would.
    void kill() {
        m_process.kill();
        m_process.waitForFinished();
    }
    std::string log() const {
        QFile file(m_dir.filePath("broker.log"));
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
    }

private:
    QTemporaryDir m_dir;
    const int m_port;
    QProcess m_process;
};

//! The events a connection posted, gathered from its inbox.
class EventLog {
public:
    explicit EventLog(kestro::live::Inbox* inbox) : m_inbox(inbox) {}
    //! Takes the inbox's events until done(events) holds or the time is up; whether it held.
    template <class Done>
    bool waitFor(Done done) {
        const auto deadline = Clock::now() + 20s;
        for (;;) {
            for (kestro::live::LiveEvent& event : m_inbox->take()) {
                events.push_back(std::move(event));
            }
            if (done(events) || Clock::now() > deadline) {
                return done(events);
            }
            std::this_thread::sleep_for(5ms);
        }
    }
    bool waitForCount(kestro::live::LiveEvent::Kind kind, size_t count) {
        return waitFor([&](const auto&) { return this->count(kind) >= count; });
    }
    size_t count(kestro::live::LiveEvent::Kind kind) const {
        size_t n = 0;
        for (const kestro::live::LiveEvent& event : events) {
            n += event.kind == kind ? 1 : 0;
        }
        return n;
    }

    std::vector<kestro::live::LiveEvent> events;

private:
    kestro::live::Inbox* m_inbox;
};

} // namespace kvtest
