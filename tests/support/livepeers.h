// The peers of the live tests: the fixtures' MQTT broker (tests/runtime/live/broker.py) and Modbus
// server (modbus_peer.py), brokers of a test's own, the mosquitto command-line clients, the tags a
// connection serves, and waiting on a connection's events.
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

#include <algorithm>
#include <chrono>
#include <deque>
#include <fstream>
#include <functional>
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

//! The number a ctest fixture wrote to a file; 0 when there is none.
inline int portIn(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString(file.readAll()).trimmed().toInt() : 0;
}

//! The Modbus server ctest starts around the live tests; every table holds addresses 0..999.
inline int modbusServerPort() {
    const int port = portIn(qEnvironmentVariable("KV_BINARY_DIR") + "/modbus-peer.port");
    EXPECT_GT(port, 0) << "no Modbus server: run the tests through ctest";
    return port;
}

//! modbus_peer.py as a client of the server on `port`: "set holding 3 7", "get coil 3 1". What
//! it prints, or why it failed.
inline std::string modbusPeer(int port, const QString& command) {
    QStringList args = command.split(' ');
    args.insert(1, QString::number(port));
    QProcess process;
    process.start("/usr/bin/python3", QStringList{qEnvironmentVariable("KV_SOURCE_DIR") +
                                                  "/tests/runtime/live/modbus_peer.py"} +
                                          args);
    if (!process.waitForFinished(30000) || process.exitCode() != 0) {
        return "failed: " + process.readAllStandardError().toStdString();
    }
    return process.readAllStandardOutput().trimmed().toStdString();
}

//! A Modbus tag's source on the connection "plc1".
inline kestro::TagSource
modbusSource(kestro::TagSource::Table table, int address,
             kestro::TagSource::Type type = kestro::TagSource::Type::UInt16, bool little = false,
             double scale = 1, double offset = 0) {
    kestro::TagSource s;
    s.connection = "plc1";
    s.table = table;
    s.address = address;
    s.type = type;
    s.littleWordOrder = little;
    s.scale = scale;
    s.offset = offset;
    return s;
}

//! The tags a connection serves, at project indices from `first` on.
struct ServedTags {
    explicit ServedTags(int first = 0) : first(first) {}
    int add(const std::string& name, const kestro::TagSource& source,
            kestro::VarType type = kestro::VarType::Float) {
        kestro::TagDef& def = defs.emplace_back();
        def.name = name;
        def.type = type;
        def.source = source;
        served.push_back({first + int(defs.size()) - 1, &def});
        return served.back().index;
    }

    const int first;
    std::deque<kestro::TagDef> defs; // stable addresses
    std::vector<kestro::live::ServedTag> served;
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
    //! The log once it holds text, or as it stands after ten seconds: the broker writes it a
    //! moment after the event, later still under a sanitizer.
    std::string logOnceItHas(const std::string& text) const {
        for (const auto deadline = Clock::now() + 10s;; std::this_thread::sleep_for(10ms)) {
            std::string now = log();
            if (now.find(text) != std::string::npos || Clock::now() > deadline) {
                return now;
            }
        }
    }

private:
    QTemporaryDir m_dir;
    const int m_port;
    QProcess m_process;
};

//! The events a connection posted, gathered from its inbox as they come.
class EventLog {
public:
    using Kind = kestro::live::LiveEvent::Kind;
    using Match = std::function<bool(const kestro::live::LiveEvent&)>;

    explicit EventLog(kestro::live::Inbox* inbox) : m_inbox(inbox) {}
    //! Takes the inbox's events until done(events) holds or the time is up; whether it held.
    template <class Done>
    bool waitFor(Done done) {
        for (const auto deadline = Clock::now() + 20s;; std::this_thread::sleep_for(5ms)) {
            for (kestro::live::LiveEvent& event : m_inbox->take()) {
                events.push_back(std::move(event));
            }
            if (done(events)) {
                return true;
            }
            if (Clock::now() > deadline) {
                ADD_FAILURE() << "waited in vain; the last events:" << recent();
                return false;
            }
        }
    }
    bool waitForCount(Kind kind, size_t count) {
        return waitFor([&](const auto&) { return this->count(kind) >= count; });
    }
    //! Waits for the first event that matches past the last one found so.
    bool next(const Match& match) {
        return waitFor([&](const auto&) {
            while (m_searched < events.size()) {
                if (match(events[m_searched++])) {
                    return true;
                }
            }
            return false;
        });
    }
    size_t count(Kind kind) const {
        return size_t(std::count_if(events.begin(), events.end(),
                                    [kind](const auto& event) { return event.kind == kind; }));
    }
    std::string recent() const {
        std::string text;
        for (size_t i = events.size() > 12 ? events.size() - 12 : 0; i < events.size(); ++i) {
            const kestro::live::LiveEvent& e = events[i];
            text += "\n  kind " + std::to_string(int(e.kind)) + " tag " + std::to_string(e.tag) +
                    " " + std::to_string(e.number) + " " + e.reason;
        }
        return text;
    }

    std::vector<kestro::live::LiveEvent> events;

private:
    kestro::live::Inbox* m_inbox;
    size_t m_searched = 0;
};

} // namespace kvtest
