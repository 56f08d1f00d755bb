// ctest-link: kestrolive
// The Modbus TCP connection against pymodbus servers (tests/runtime/live/modbus_peer.py): values
// in, writes out, and the faults of a device.
#include "runtime/live/modbus.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>

using namespace kestro;
using namespace kestro::live;
using Kind = LiveEvent::Kind;
using Table = TagSource::Table;
using Type = TagSource::Type;

namespace {

const QString kPython = "/usr/bin/python3";
constexpr int kWaitMs = 10000;

QString peerScript() {
    return qEnvironmentVariable("KV_SOURCE_DIR") + "/tests/runtime/live/modbus_peer.py";
}

//! Runs the peer as a client of the server on `port`: what it prints, or nullopt.
std::optional<std::string> peer(int port, const QStringList& args) {
    QProcess process;
    process.start(kPython, QStringList{peerScript()} + QStringList{args[0], QString::number(port)} +
                               args.mid(1));
    if (!process.waitForFinished(kWaitMs) || process.exitCode() != 0) {
        ADD_FAILURE() << "modbus_peer " << args.join(' ').toStdString() << ": "
                      << process.readAllStandardError().toStdString();
        return std::nullopt;
    }
    return process.readAllStandardOutput().trimmed().toStdString();
}

//! Asks the peer until it prints `expected`.
bool peerShows(int port, const QStringList& args, const std::string& expected) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (peer(port, args).value_or("") == expected) {
            return true;
        }
    }
    return false;
}

int readPort(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString(file.readAll()).trimmed().toInt() : 0;
}

//! The server that ctest starts around the program; every table holds addresses 0..999.
int sharedPort() {
    static const int port = readPort(qEnvironmentVariable("KV_BINARY_DIR") + "/modbus-peer.port");
    return port;
}

//! A server of one test's own, for the faults that would disturb the others.
class PrivateServer {
public:
    explicit PrivateServer(QStringList options = {}) : m_options(std::move(options)) {}
    ~PrivateServer() { kill(); }

    bool start(int port = 0) {
        const QString portFile = m_dir.filePath("port");
        QFile::remove(portFile);
        m_process.start(kPython, QStringList{peerScript(), "serve", "--port", QString::number(port),
                                             "--port-file", portFile} +
                                     m_options);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
        while (!QFile::exists(portFile)) {
            if (m_process.waitForFinished(20) || std::chrono::steady_clock::now() > deadline) {
                return false;
            }
        }
        m_port = readPort(portFile);
        return m_port > 0;
    }
    void kill() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(kWaitMs);
        }
    }
    int port() const { return m_port; }

private:
    QStringList m_options;
    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port = 0;
};

const char* kindName(Kind kind) {
    static const char* const names[] = {"Value",        "Bad",   "Connected",
                                        "Disconnected", "Error", "WriteFailed"};
    return names[int(kind)];
}

//! The events a connection posts, searched in order as they come.
class Events {
public:
    Inbox inbox;

    //! The first event past the last one found that matches, waiting for it up to a deadline.
    std::optional<LiveEvent> next(const std::function<bool(const LiveEvent&)>& match) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
        for (;;) {
            for (LiveEvent& event : inbox.take()) {
                m_seen.push_back(std::move(event));
            }
            for (; m_cursor < m_seen.size(); ++m_cursor) {
                if (match(m_seen[m_cursor])) {
                    return m_seen[m_cursor++];
                }
            }
            if (std::chrono::steady_clock::now() > deadline) {
                return std::nullopt;
            }
            QThread::msleep(10);
        }
    }
    //! Events of a kind among those searched so far.
    int count(Kind kind) const {
        int n = 0;
        for (size_t i = 0; i < m_cursor; ++i) {
            n += m_seen[i].kind == kind;
        }
        return n;
    }
    std::string recent() const {
        std::ostringstream out;
        for (size_t i = m_seen.size() > 12 ? m_seen.size() - 12 : 0; i < m_seen.size(); ++i) {
            const LiveEvent& e = m_seen[i];
            out << "\n  " << kindName(e.kind) << " tag " << e.tag << " " << e.number << " "
                << e.reason;
        }
        return out.str();
    }

private:
    std::vector<LiveEvent> m_seen;
    size_t m_cursor = 0;
};

std::function<bool(const LiveEvent&)> is(Kind kind, int tag = -1, std::string reason = "") {
    return [=](const LiveEvent& e) {
        return e.kind == kind && e.tag == tag && e.connection == 3 &&
               e.reason.find(reason) != std::string::npos;
    };
}

std::function<bool(const LiveEvent&)> value(int tag, double number) {
    return [=](const LiveEvent& e) {
        return e.kind == Kind::Value && e.tag == tag && e.connection == 3 && e.number == number;
    };
}

TagSource source(Table table, int address, Type type = Type::UInt16, bool writable = false) {
    TagSource s;
    s.connection = "plc1";
    s.table = table;
    s.address = address;
    s.type = type;
    s.writable = writable;
    return s;
}

class ModbusConnectionTest : public ::testing::Test {
protected:
    void TearDown() override {
        if (connection) {
            connection->stop();
        }
    }

    //! A tag of the connection, at a project index unlike its place among the served tags.
    int tag(const std::string& name, const TagSource& source) {
        defs.push_back(TagDef{});
        defs.back().name = name;
        defs.back().source = source;
        served.push_back({int(defs.size()) + 20, &defs.back()});
        return served.back().index;
    }
    void open(int port, double timeout = 1.0, double poll = 0.05) {
        ConnectionDef def;
        def.name = "plc1";
        def.kind = ConnectionDef::Kind::ModbusTcp;
        def.port = port;
        def.poll = poll;
        def.timeout = timeout;
        connection = std::make_unique<ModbusConnection>(3, def, served, &events.inbox);
        connection->start();
    }

    std::deque<TagDef> defs;
    std::vector<ServedTag> served;
    Events events;
    std::unique_ptr<ModbusConnection> connection;
};

TEST_F(ModbusConnectionTest, ValuesComeInFromEveryTable) {
    const int port = sharedPort();
    ASSERT_GT(port, 0) << "no Modbus server: run the tests through ctest";
    TagSource scaled = source(Table::Input, 7);
    scaled.scale = 0.5;
    scaled.offset = -1;
    TagSource little = source(Table::Holding, 103, Type::UInt32);
    little.littleWordOrder = true;
    const struct {
        const char* name;
        TagSource source;
        QStringList set; // by the peer before the connection starts
        double value;
    } rows[] = {
        {"int16", source(Table::Holding, 100, Type::Int16), {"set", "holding", "100", "65534"}, -2},
        {"float32 high word first",
         source(Table::Holding, 101, Type::Float32),
         {"set", "holding", "101", "0xc0a8", "0"},
         -5.25},
        {"uint32 low word first", little, {"set", "holding", "103", "0x2800", "0xee6b"}, 4e9},
        // The server's input registers hold 7 * address + 3.
        {"input register, scaled", scaled, {}, 25},
        {"coil set", source(Table::Coil, 100), {"set", "coil", "100", "1"}, 1},
        {"coil clear", source(Table::Coil, 101), {}, 0},
        // Its discrete inputs are on at every third address.
        {"discrete input on", source(Table::Discrete, 3), {}, 1},
        {"discrete input off", source(Table::Discrete, 4), {}, 0},
    };
    std::vector<int> tags;
    for (const auto& row : rows) {
        tags.push_back(tag(row.name, row.source));
        if (!row.set.isEmpty()) {
            ASSERT_TRUE(peer(port, row.set));
        }
    }
    open(port);
    ASSERT_TRUE(events.next(is(Kind::Connected))) << events.recent();
    for (size_t i = 0; i < tags.size(); ++i) {
        EXPECT_TRUE(events.next(value(tags[i], rows[i].value))) << rows[i].name << events.recent();
    }
    // Every poll reads again.
    ASSERT_TRUE(peer(port, {"set", "holding", "100", "7"}));
    EXPECT_TRUE(events.next(value(tags[0], 7))) << events.recent();
    EXPECT_EQ(events.count(Kind::Error) + events.count(Kind::Bad), 0) << events.recent();
}

TEST_F(ModbusConnectionTest, WritesReachTheDeviceInItsWordOrder) {
    const int port = sharedPort();
    ASSERT_GT(port, 0) << "no Modbus server: run the tests through ctest";
    TagSource little = source(Table::Holding, 204, Type::Int32, true);
    little.littleWordOrder = true;
    TagSource littleFloat = source(Table::Holding, 206, Type::Float32, true);
    littleFloat.littleWordOrder = true;
    TagSource scaled = source(Table::Holding, 208, Type::UInt16, true);
    scaled.scale = 0.1;
    scaled.offset = -40;
    const struct {
        const char* name;
        TagSource source;
        double value;
        QStringList get; // what the peer reads back
        std::string words;
    } rows[] = {
        {"int16",
         source(Table::Holding, 200, Type::Int16, true),
         -2,
         {"get", "holding", "200", "1"},
         "65534"},
        {"int32 high word first",
         source(Table::Holding, 202, Type::Int32, true),
         -131071,
         {"get", "holding", "202", "2"},
         "65534 1"},
        {"int32 low word first", little, -131071, {"get", "holding", "204", "2"}, "1 65534"},
        {"float32 low word first", littleFloat, -5.25, {"get", "holding", "206", "2"}, "0 49320"},
        {"scaled", scaled, 25, {"get", "holding", "208", "1"}, "650"},
        {"bool register",
         source(Table::Holding, 209, Type::Bool, true),
         1,
         {"get", "holding", "209", "1"},
         "1"},
        {"coil on",
         source(Table::Coil, 200, Type::Bool, true),
         1,
         {"get", "coil", "200", "1"},
         "1"},
    };
    std::vector<int> tags;
    for (const auto& row : rows) {
        tags.push_back(tag(row.name, row.source));
    }
    open(port);
    ASSERT_TRUE(events.next(is(Kind::Connected))) << events.recent();
    for (size_t i = 0; i < tags.size(); ++i) {
        SCOPED_TRACE(rows[i].name);
        std::string reason;
        ASSERT_TRUE(connection->write(tags[i], {rows[i].value, "", false}, &reason)) << reason;
        EXPECT_TRUE(peerShows(port, rows[i].get, rows[i].words));
        // What the tag shows comes back from the device.
        EXPECT_TRUE(events.next(value(tags[i], rows[i].value))) << events.recent();
    }
    std::string reason;
    ASSERT_TRUE(connection->write(tags.back(), {0, "", false}, &reason)) << reason;
    EXPECT_TRUE(peerShows(port, {"get", "coil", "200", "1"}, "0")) << "coil off";
}

TEST_F(ModbusConnectionTest, WritesRefusedWithTheirReason) {
    const int port = sharedPort();
    ASSERT_GT(port, 0) << "no Modbus server: run the tests through ctest";
    const int level = tag("Level", source(Table::Holding, 220, Type::Int16, false));
    const int input = tag("Flow", source(Table::Input, 220, Type::Int16, true));
    const int setpoint = tag("Setpoint", source(Table::Holding, 221, Type::Int16, true));
    std::string reason;
    open(port);
    connection->stop();
    EXPECT_FALSE(connection->write(setpoint, {1, "", false}, &reason));
    EXPECT_EQ(reason, "plc1: not connected");

    connection.reset();
    open(port);
    ASSERT_TRUE(events.next(is(Kind::Connected))) << events.recent();
    const struct {
        int tag;
        WriteValue value;
        const char* reason;
    } rows[] = {
        {level, {1, "", false}, "Level: read-only"},
        {input, {1, "", false}, "Flow: read-only"},
        {setpoint, {40000, "", false}, "Setpoint: out of the range of int16"},
        {setpoint, {0, "on", true}, "Setpoint: a Modbus tag holds a number, not a text"},
        {7, {1, "", false}, "plc1: tag 7 is not one of its tags"},
    };
    for (const auto& row : rows) {
        reason.clear();
        EXPECT_FALSE(connection->write(row.tag, row.value, &reason));
        EXPECT_EQ(reason, row.reason);
    }
    EXPECT_TRUE(peerShows(port, {"get", "holding", "220", "2"}, "0 0"));
}

TEST_F(ModbusConnectionTest, ExceptionRepliesFailTheirRequestAndWrite) {
    const int port = sharedPort();
    ASSERT_GT(port, 0) << "no Modbus server: run the tests through ctest";
    const int good = tag("Good", source(Table::Holding, 300));
    const int outside = tag("Outside", source(Table::Holding, 2000));
    const int valve = tag("Valve", source(Table::Coil, 3000, Type::Bool, true));
    ASSERT_TRUE(peer(port, {"set", "holding", "300", "42"}));
    open(port);
    ASSERT_TRUE(events.next(is(Kind::Connected))) << events.recent();
    const std::string failure = "plc1: reading holding registers 2000: illegal data address (2)";
    EXPECT_TRUE(events.next(is(Kind::Error, -1, failure))) << events.recent();
    EXPECT_TRUE(events.next(is(Kind::Bad, outside, failure))) << events.recent();
    EXPECT_TRUE(events.next(value(good, 42))) << "the other requests go on" << events.recent();
    EXPECT_TRUE(events.next(is(Kind::Error, -1, "coils 3000: illegal data address (2)")))
        << events.recent();

    std::string reason;
    ASSERT_TRUE(connection->write(valve, {1, "", false}, &reason)) << reason;
    EXPECT_TRUE(
        events.next(is(Kind::WriteFailed, valve, "Valve: write failed: illegal data address (2)")))
        << events.recent();
}

TEST_F(ModbusConnectionTest, ReconnectsWhenTheServerComesBack) {
    PrivateServer server;
    ASSERT_TRUE(server.start());
    const int port = server.port();
    server.kill();
    const int level = tag("Level", source(Table::Holding, 1));
    open(port);
    ASSERT_TRUE(events.next(is(Kind::Disconnected, -1, "plc1: "))) << events.recent();

    for (const char* number : {"11", "12"}) {
        SCOPED_TRACE(number);
        ASSERT_TRUE(server.start(port));
        ASSERT_TRUE(peer(port, {"set", "holding", "1", number}));
        ASSERT_TRUE(events.next(is(Kind::Connected))) << events.recent();
        EXPECT_TRUE(events.next(value(level, QString(number).toInt()))) << events.recent();
        server.kill();
        EXPECT_TRUE(events.next(is(Kind::Disconnected, -1, "plc1: "))) << events.recent();
    }
}

TEST_F(ModbusConnectionTest, ASlowDeviceIsNotPolledFasterThanItAnswers) {
    PrivateServer server({"--delay", "0.3"});
    ASSERT_TRUE(server.start());
    const int level = tag("Level", source(Table::Holding, 0));
    // Polls due every 10 ms wait for the last one's reply: were they sent regardless, they would
    // queue at the server until their replies came later than the timeout.
    open(server.port(), 1.0, 0.01);
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(events.next(value(level, 0))) << events.recent();
    }
    EXPECT_EQ(events.count(Kind::Error), 0) << events.recent();

    connection->stop();
    open(server.port(), 0.1);
    const std::string failure = "plc1: reading holding registers 0: timeout";
    EXPECT_TRUE(events.next(is(Kind::Error, -1, failure))) << events.recent();
    EXPECT_TRUE(events.next(is(Kind::Bad, level, failure))) << events.recent();
}

} // namespace
