// ctest-link: kestrolive
// The Modbus TCP connection against pymodbus servers (modbus_peer.py): values in, writes out, and
// the faults of a device.
#include "runtime/live/modbus.h"
#include "tests/support/livepeers.h"

using namespace kestro;
using namespace kestro::live;
using namespace kvtest;
using Kind = LiveEvent::Kind;
using Type = TagSource::Type;
constexpr Type I16 = Type::Int16, U16 = Type::UInt16, I32 = Type::Int32, U32 = Type::UInt32,
               F32 = Type::Float32, Bit = Type::Bool;

namespace {

constexpr TagSource::Table H = TagSource::Table::Holding, I = TagSource::Table::Input,
                           C = TagSource::Table::Coil, D = TagSource::Table::Discrete;
constexpr auto source = [](auto... args) { return modbusSource(args...); };

//! Asks the peer until it reads `expected`.
bool peerReads(int port, const QString& get, const std::string& expected) {
    for (const auto deadline = Clock::now() + 10s; Clock::now() < deadline;) {
        if (modbusPeer(port, "get " + get) == expected) {
            return true;
        }
    }
    return false;
}

//! A server of one test's own, for the faults that would disturb the others.
class PrivateServer {
public:
    bool start(int port = 0, const QStringList& options = {}) {
        const QString portFile = m_dir.filePath("port");
        QFile::remove(portFile);
        m_process.start("/usr/bin/python3", QStringList{qEnvironmentVariable("KV_SOURCE_DIR") +
                                                            "/tests/runtime/live/modbus_peer.py",
                                                        "serve", "--port", QString::number(port),
                                                        "--port-file", portFile} +
                                                options);
        for (const auto deadline = Clock::now() + 10s; !QFile::exists(portFile);) {
            if (m_process.waitForFinished(20) || Clock::now() > deadline) {
                return false;
            }
        }
        m_port = portIn(portFile);
        return m_port > 0;
    }
    void kill() {
        m_process.kill();
        m_process.waitForFinished();
    }
    ~PrivateServer() { kill(); }
    int port() const { return m_port; }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port = 0;
};

EventLog::Match is(Kind kind, int tag = -1, std::string reason = "") {
    return [=](const LiveEvent& e) {
        return e.kind == kind && e.tag == tag && e.connection == 3 &&
               e.reason.find(reason) != std::string::npos;
    };
}

EventLog::Match value(int tag, double number) {
    return [=](const LiveEvent& e) { return is(Kind::Value, tag)(e) && e.number == number; };
}

class ModbusConnectionTest : public ::testing::Test {
protected:
    int tag(const std::string& name, TagSource source, bool writable = false) {
        source.writable = writable;
        return tags.add(name, source);
    }
    void open(int at, double timeout = 1.0, double poll = 0.05) {
        ConnectionDef def;
        def.name = "plc1";
        def.kind = ConnectionDef::Kind::ModbusTcp;
        def.port = at;
        def.poll = poll;
        def.timeout = timeout;
        connection = std::make_unique<ModbusConnection>(3, def, tags.served, &inbox);
        connection->start();
    }
    bool write(int tag, double number, std::string* reason) {
        return connection->write(tag, {number, "", false}, reason);
    }

    const int port = modbusServerPort(); // the shared server's
    ServedTags tags{21};                 // project indices unlike the places among the served tags
    Inbox inbox;
    EventLog events{&inbox};
    std::unique_ptr<ModbusConnection> connection;
};

TEST_F(ModbusConnectionTest, ValuesComeInFromEveryTable) {
    const struct {
        const char* name;
        TagSource source;
        QString set; // by the peer before the connection starts
        double value;
    } rows[] = {
        {"int16", source(H, 100, I16), "holding 100 65534", -2},
        {"float32 high word first", source(H, 101, F32), "holding 101 0xc0a8 0", -5.25},
        {"uint32 low first", source(H, 103, U32, true), "holding 103 0x2800 0xee6b", 4e9},
        // The server's input registers hold 7 * address + 3.
        {"input register, scaled", source(I, 7, U16, false, 0.5, -1), "", 25},
        {"coil set", source(C, 100), "coil 100 1", 1},
        {"coil clear", source(C, 101), "", 0},
        // Its discrete inputs are on at every third address.
        {"discrete input on", source(D, 3), "", 1},
        {"discrete input off", source(D, 4), "", 0},
    };
    std::vector<int> tags;
    for (const auto& row : rows) {
        tags.push_back(tag(row.name, row.source));
        ASSERT_TRUE(row.set.isEmpty() || modbusPeer(port, "set " + row.set).empty());
    }
    open(port);
    ASSERT_TRUE(events.next(is(Kind::Connected)));
    for (size_t i = 0; i < tags.size(); ++i) {
        EXPECT_TRUE(events.next(value(tags[i], rows[i].value))) << rows[i].name;
    }
    // Every poll reads again.
    ASSERT_EQ(modbusPeer(port, "set holding 100 7"), "");
    EXPECT_TRUE(events.next(value(tags[0], 7)));
    EXPECT_EQ(events.count(Kind::Error) + events.count(Kind::Bad), 0) << events.recent();
}

TEST_F(ModbusConnectionTest, WritesReachTheDeviceInItsWordOrderOrAreRefused) {
    const struct {
        const char* name;
        TagSource source;
        double value;
        QString get;       // what the peer reads back
        std::string words; // and what it finds
    } rows[] = {
        {"int16", source(H, 200, I16), -2, "holding 200 1", "65534"},
        {"int32 high word first", source(H, 202, I32), -131071, "holding 202 2", "65534 1"},
        {"int32 low first", source(H, 204, I32, true), -131071, "holding 204 2", "1 65534"},
        {"float32 low first", source(H, 206, F32, true), -5.25, "holding 206 2", "0 49320"},
        {"scaled", source(H, 208, U16, false, 0.1, -40), 25, "holding 208 1", "650"},
        {"coil on", source(C, 200, Bit), 1, "coil 200 1", "1"},
    };
    std::vector<int> tags;
    for (const auto& row : rows) {
        tags.push_back(tag(row.name, row.source, true));
    }
    const int level = tag("Level", source(H, 220, I16));
    const int flow = tag("Flow", source(I, 220, I16), true);
    open(port);
    ASSERT_TRUE(events.next(is(Kind::Connected)));
    std::string reason;
    for (size_t i = 0; i < std::size(rows); ++i) {
        ASSERT_TRUE(write(tags[i], rows[i].value, &reason)) << reason;
        EXPECT_TRUE(peerReads(port, rows[i].get, rows[i].words)) << rows[i].name;
        // What the tag shows comes back from the device.
        EXPECT_TRUE(events.next(value(tags[i], rows[i].value))) << rows[i].name;
    }
    ASSERT_TRUE(write(tags.back(), 0, &reason)) << reason;
    EXPECT_TRUE(peerReads(port, "coil 200 1", "0")) << "coil off";

    const struct {
        int tag;
        WriteValue value;
        const char* reason;
    } refused[] = {
        {level, {1, "", false}, "Level: read-only"},
        {flow, {1, "", false}, "Flow: read-only"},
        {tags[0], {40000, "", false}, "int16: out of the range of int16"},
        {tags[0], {0, "on", true}, "int16: a Modbus tag holds a number, not a text"},
        {7, {1, "", false}, "plc1: tag 7 is not one of its tags"},
    };
    for (const auto& row : refused) {
        EXPECT_FALSE(connection->write(row.tag, row.value, &reason));
        EXPECT_EQ(reason, row.reason);
    }
    connection->stop();
    EXPECT_FALSE(write(tags[0], 1, &reason));
    EXPECT_EQ(reason, "plc1: not connected");
}

TEST_F(ModbusConnectionTest, ExceptionRepliesFailTheirRequestAndWrite) {
    const int good = tag("Good", source(H, 300));
    const int outside = tag("Outside", source(H, 2000));
    const int valve = tag("Valve", source(C, 3000, Bit), true);
    ASSERT_EQ(modbusPeer(port, "set holding 300 42"), "");
    open(port);
    const std::string failure = "plc1: reading holding registers 2000: illegal data address (2)";
    EXPECT_TRUE(events.next(is(Kind::Error, -1, failure)));
    EXPECT_TRUE(events.next(is(Kind::Bad, outside, failure)));
    EXPECT_TRUE(events.next(value(good, 42))) << "the other requests go on";
    EXPECT_TRUE(events.next(is(Kind::Error, -1, "plc1: reading coils 3000: illegal data address")));

    std::string reason;
    ASSERT_TRUE(write(valve, 1, &reason)) << reason;
    EXPECT_TRUE(events.next(is(Kind::WriteFailed, valve, "Valve: write failed: illegal data")));
}

TEST_F(ModbusConnectionTest, ReconnectsWhenTheServerComesBack) {
    PrivateServer server;
    ASSERT_TRUE(server.start());
    server.kill();
    const int level = tag("Level", source(H, 1));
    open(server.port());
    ASSERT_TRUE(events.next(is(Kind::Disconnected, -1, "plc1: ")));
    for (int number : {11, 12}) {
        ASSERT_TRUE(server.start(server.port()));
        ASSERT_EQ(modbusPeer(server.port(), "set holding 1 " + QString::number(number)), "");
        ASSERT_TRUE(events.next(is(Kind::Connected)));
        EXPECT_TRUE(events.next(value(level, number)));
        server.kill();
        EXPECT_TRUE(events.next(is(Kind::Disconnected, -1, "plc1: ")));
    }
}

TEST_F(ModbusConnectionTest, ASlowDeviceIsNotPolledFasterThanItAnswers) {
    PrivateServer server;
    ASSERT_TRUE(server.start(0, {"--delay", "0.3"}));
    const int level = tag("Level", source(H, 0));
    // Polls due every 10 ms wait for the last one's reply: were they sent regardless, they would
    // queue at the server until their replies came later than the timeout.
    open(server.port(), 1.0, 0.01);
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(events.next(value(level, 0)));
    }
    EXPECT_EQ(events.count(Kind::Error), 0) << events.recent();

    connection->stop();
    open(server.port(), 0.1);
    const std::string failure = "plc1: reading holding registers 0: timeout";
    EXPECT_TRUE(events.next(is(Kind::Error, -1, failure)));
    EXPECT_TRUE(events.next(is(Kind::Bad, level, failure)));
}

} // namespace
