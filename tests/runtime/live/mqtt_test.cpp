// ctest-link: kestrolive
// The MQTT connection against real brokers: the fixture's (plain, TLS, password) and the tests'
// own.
#include "runtime/live/mqtt.h"
#include "runtime/script/numbers.h"
#include "tests/support/livepeers.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace kestro;
using namespace kestro::live;
using namespace kvtest;
using Kind = LiveEvent::Kind;
using Form = TagSource::Payload;
using testing::HasSubstr;

namespace {

// Topics of this run and test only: the fixture's broker keeps retained messages for the suite.
std::string topicRoot() {
    return "kestro/" + std::to_string(getpid()) + "/" +
           testing::UnitTest::GetInstance()->current_test_info()->name();
}

int fixturePort(const char* listener) {
    return std::atoi(brokerEnv(listener).c_str());
}

ConnectionDef brokerAt(int port, const char* host = "127.0.0.1") {
    ConnectionDef def;
    def.name = "broker";
    def.host = host;
    def.port = port;
    def.keepAlive = 5;
    return def;
}

// The tags of a project, and the events about them as text.
struct Tags : ServedTags {
    int add(const char* name, VarType type, std::string topic, Form form = Form::Number,
            const char* pointer = "", std::string writeTopic = "", int qos = 0,
            bool retain = false) {
        TagSource source;
        source.connection = "broker";
        source.topic = std::move(topic);
        source.payload = form;
        source.jsonPointer = pointer;
        source.writeTopic = std::move(writeTopic);
        source.qos = qos;
        source.retain = retain;
        return ServedTags::add(name, source, type);
    }

    // "Connected", "Disconnected", "Error", "Level=12.5", "Name'pump", "Level!why"
    std::vector<std::string> describe(const std::vector<LiveEvent>& events, size_t from = 0) const {
        std::vector<std::string> texts;
        for (size_t i = from; i < events.size(); ++i) {
            const LiveEvent& e = events[i];
            const char* kinds[] = {"", "", "Connected", "Disconnected", "Error", "WriteFailed"};
            if (e.kind != Kind::Value && e.kind != Kind::Bad) {
                texts.push_back(kinds[static_cast<int>(e.kind)]);
                continue;
            }
            char number[script::kNumberTextSize];
            const std::string& name = defs.at(static_cast<size_t>(e.tag)).name;
            texts.push_back(e.kind == Kind::Bad ? name + "!" + e.reason
                            : e.isText
                                ? name + "'" + e.text
                                : name + "=" +
                                      std::string(number, script::formatNumber(e.number, number)));
        }
        return texts;
    }
};

struct InRow {
    std::string topic; // under the test's root
    QByteArray message;
    std::vector<std::string> want; // the events it gives; strays show up at the next row
};

TEST(Mqtt, EachMessageGivesEveryTagWhoseTopicItMatchesAValueOrABadValue) {
    const std::string root = topicRoot();
    Tags tags;
    tags.add("Level", VarType::Float, root + "/level");
    tags.add("Flow", VarType::Float, root + "/shared", Form::Json, "/v");
    tags.add("Name", VarType::String, root + "/shared", Form::Json, "/name");
    tags.add("Any", VarType::Float, root + "/wild/+");
    tags.add("State", VarType::String, root + "/state", Form::Text);
    tags.add("Broken", VarType::Float, root + "/#/x");
    const int port = fixturePort("plain_port");
    ASSERT_TRUE(publishMessage(port, root + "/state", "initial", true));
    Inbox inbox;
    MqttConnection connection(2, brokerAt(port), tags.served, &inbox);
    connection.start();
    EventLog log(&inbox);
    ASSERT_TRUE(log.waitFor([](const auto& events) { return events.size() >= 3; }));
    EXPECT_EQ(
        tags.describe(log.events),
        (std::vector<std::string>{"Connected", "Broken!cannot subscribe to \"" + root + "/#/x\"",
                                  "State'initial"}));
    EXPECT_EQ(log.events[0].connection, 2);
    // clang-format off
    const InRow rows[] = {
        {"/level", " 12.5 ", {"Level=12.5"}},
        {"/shared", R"({"v":3,"name":"pump"})", {"Flow=3", "Name'pump"}},
        {"/shared", R"({"v":"x"})", {"Flow!/v is a string, not a number", "Name!no member /name"}},
        {"/other", "1", {}},
        {"/wild/a", "7", {"Any=7"}},
        {"/wild/a/b", "8", {}},
        {"/state", "open", {"State'open"}},
        {"/level", "abc", {"Level!\"abc\" is not a number"}},
        {"/level", QByteArray(70000, '1'), {"Level!message of 70000 bytes is over the 65536 limit"}},
        {"/shared", R"({"v":)", {"Flow!invalid JSON at offset 5", "Name!invalid JSON at offset 5"}},
        {"/level", "-4", {"Level=-4"}},
    };
    // clang-format on
    for (const InRow& row : rows) {
        SCOPED_TRACE(row.topic + " " + row.message.left(40).toStdString());
        const size_t before = log.events.size();
        ASSERT_TRUE(publishMessage(port, root + row.topic, row.message));
        log.waitFor([&](const auto& events) { return events.size() >= before + row.want.size(); });
        EXPECT_EQ(tags.describe(log.events, before), row.want);
    }
}

struct OutRow {
    int tag;
    WriteValue value;
    std::string want; // "retain|qos|topic|payload" as the subscriber saw it, or "!" and the reason
};

TEST(Mqtt, AWriteIsPublishedAtOnceToTheWriteTopicOrRefusedWithTheReason) {
    const std::string root = topicRoot();
    Tags tags;
    const int set =
        tags.add("Set", VarType::Float, root + "/set", Form::Number, "", root + "/w/set", 1, false);
    const int mode =
        tags.add("Mode", VarType::String, "", Form::Text, "", root + "/w/mode", 0, true);
    const int cfg =
        tags.add("Cfg", VarType::Float, "", Form::Json, "/a/b", root + "/w/cfg", 1, true);
    const int level = tags.add("Level", VarType::Float, root + "/level");
    const int port = fixturePort("plain_port");
    Inbox inbox;
    MqttConnection connection(0, brokerAt(port), tags.served, &inbox);
    std::string reason;
    EXPECT_FALSE(connection.write(set, {1, "", false}, &reason));
    EXPECT_EQ(reason, "broker: not connected");
    Subscriber subscriber(port, root);
    ASSERT_TRUE(subscriber.ready());
    connection.start();
    EventLog log(&inbox);
    ASSERT_TRUE(log.waitForCount(Kind::Connected, 1));
    // clang-format off
    const OutRow rows[] = {
        {set, {12.5, "", false}, "0|1|" + root + "/w/set|12.5"},
        {mode, {0, "auto", true}, "1|0|" + root + "/w/mode|auto"},
        {cfg, {3, "", false}, "1|1|" + root + "/w/cfg|{\"a\":{\"b\":3}}"},
        {set, {0, "7.50", true}, "0|1|" + root + "/w/set|7.5"},
        {level, {1, "", false}, "!Level: no write topic; the tag is read-only"},
        {set, {std::nan(""), "", false}, "!Set: nan is not a finite number"},
        {99, {1, "", false}, "!broker: tag 99 is not one of its tags"},
    };
    // clang-format on
    for (const OutRow& row : rows) {
        SCOPED_TRACE(row.want);
        const bool sent = connection.write(row.tag, row.value, &reason);
        EXPECT_EQ(sent ? subscriber.next() : "!" + reason, row.want);
    }
    connection.stop();
    EXPECT_FALSE(connection.write(set, {1, "", false}, &reason));
    EXPECT_EQ(reason, "broker: not connected");
}

TEST(Mqtt, ASimulatorHearsTheHostsWritesAndTheHostHearsThePlantsValues) {
    const std::string root = topicRoot();
    Tags tags;
    const int level =
        tags.add("Level", VarType::Float, root + "/level", Form::Json, "/v", root + "/level/set");
    const int port = fixturePort("plain_port");
    Inbox hostInbox, plantInbox;
    MqttConnection host(0, brokerAt(port), tags.served, &hostInbox);
    MqttConnection plant(0, brokerAt(port), tags.served, &plantInbox,
                         MqttConnection::Listen::WriteTopics);
    EventLog hostLog(&hostInbox), plantLog(&plantInbox);
    host.start();
    plant.start();
    ASSERT_TRUE(hostLog.waitForCount(Kind::Connected, 1));
    ASSERT_TRUE(plantLog.waitForCount(Kind::Connected, 1));
    std::string reason;
    ASSERT_TRUE(host.write(level, {42, "", false}, &reason)) << reason;
    ASSERT_TRUE(plantLog.waitForCount(Kind::Value, 1));
    ASSERT_TRUE(plant.publishValue(level, {7.5, "", false}, &reason)) << reason;
    ASSERT_TRUE(hostLog.waitForCount(Kind::Value, 1));
    host.stop();
    plant.stop();
    EXPECT_EQ(tags.describe(hostLog.events), (std::vector<std::string>{"Connected", "Level=7.5"}));
    EXPECT_EQ(tags.describe(plantLog.events), (std::vector<std::string>{"Connected", "Level=42"}));
}

struct AcceptRow {
    const char* listener;
    const char* host;
    std::string ca, cert, key; // TLS when ca or cert is set
    const char* password;      // with the user "operator"; nullptr: no credentials
    std::string want;          // "Connected", or what the reason of the refusal says
};

TEST(Mqtt, ConnectsOnlyToABrokerWhoseCertificateVerifiesForTheHostAndThatTakesTheUser) {
    const std::string ca = brokerEnv("ca"), other = brokerEnv("other_ca");
    const std::string cert = brokerEnv("client_cert"), key = brokerEnv("client_key");
    const char* tls = "tls_port";
    // clang-format off
    const AcceptRow rows[] = {
        {tls, "localhost", ca, cert, key, nullptr, "Connected"},
        {tls, "127.0.0.1", ca, cert, key, nullptr, "Connected"},
        {tls, "localhost", other, cert, key, nullptr, ": TLS: certificate verify failed"},
        {tls, "localhost", "", "", "", nullptr, ": TLS: certificate verify failed"},
        {tls, "127.1", ca, cert, key, nullptr, ": TLS: host name verification failed"},
        {tls, "localhost", ca, "", "", nullptr, "localhost:"},
        {tls, "localhost", ca + ".missing", cert, key, nullptr, "TLS: cannot read " + ca + ".missing"},
        {tls, "localhost", ca, cert, "", nullptr, "TLS: a client certificate and its key go together"},
        {tls, "localhost", "", cert, key, nullptr, "TLS: a client certificate needs a CA file to verify the broker with"},
        {"password_port", "127.0.0.1", "", "", "", "s3cret", "Connected"},
        {"password_port", "127.0.0.1", "", "", "", "wrong", ": the broker refused the connection: not authorised"},
        {"password_port", "127.0.0.1", "", "", "", nullptr, ": the broker refused the connection: not authorised"},
    };
    // clang-format on
    for (const AcceptRow& row : rows) {
        SCOPED_TRACE(std::string(row.host) + " " + row.ca + " " + row.cert + " " + row.key);
        ConnectionDef def = brokerAt(fixturePort(row.listener), row.host);
        def.tls = row.listener == tls;
        def.tlsCa = row.ca;
        def.tlsCert = row.cert;
        def.tlsKey = row.key;
        def.hasCredentials = row.password != nullptr;
        def.username = "operator";
        def.password = row.password ? row.password : "";
        Inbox inbox;
        MqttConnection connection(0, def, {}, &inbox);
        connection.start();
        EventLog log(&inbox);
        ASSERT_TRUE(log.waitFor([](const auto& events) {
            return !events.empty() && events.back().kind != Kind::Error;
        }));
        connection.stop();
        if (row.want == "Connected") {
            EXPECT_EQ(Tags().describe(log.events), std::vector<std::string>{"Connected"});
            continue;
        }
        EXPECT_EQ(Tags().describe(log.events), (std::vector<std::string>{"Error", "Disconnected"}));
        EXPECT_EQ(log.events[0].reason, log.events.back().reason);
        EXPECT_THAT(log.events.back().reason, HasSubstr(row.want));
    }
}

TEST(Mqtt, ABrokerThatGoesAwayIsReconnectedAndItsValuesResume) {
    const int port = freePort();
    OwnBroker broker(port);
    const std::string root = topicRoot();
    Tags tags;
    const int level = tags.add("Level", VarType::Float, root + "/level", Form::Number, "",
                               root + "/level/set", 1);
    Inbox inbox;
    ConnectionDef def = brokerAt(port);
    def.clientId = "kestro-test";
    MqttConnection connection(0, def, tags.served, &inbox);
    EventLog log(&inbox);
    connection.start(); // nothing listens yet
    ASSERT_TRUE(log.waitForCount(Kind::Error, 1));
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(broker.start());
        ASSERT_TRUE(log.waitForCount(Kind::Connected, static_cast<size_t>(round)));
        ASSERT_TRUE(publishMessage(port, root + "/level", QByteArray::number(round)));
        ASSERT_TRUE(log.waitForCount(Kind::Value, static_cast<size_t>(round)));
        EXPECT_EQ(tags.describe(log.events).back(), "Level=" + std::to_string(round));
        if (round == 1) {
            broker.kill();
            const size_t errors = log.count(Kind::Error);
            ASSERT_TRUE(log.waitForCount(Kind::Error, errors + 1)); // an attempt while it is away
            std::string reason;
            EXPECT_FALSE(connection.write(level, {1, "", false}, &reason));
            EXPECT_EQ(reason, "broker: not connected");
        }
    }
    connection.stop();
    EXPECT_THAT(broker.log(), HasSubstr("kestro-test 1 " + root + "/level\n")); // qos 1
    EXPECT_THAT(broker.logOnceItHas("Client kestro-test disconnected.\n"),
                HasSubstr("Client kestro-test disconnected.\n")); // not dropped
    std::vector<std::string> states;
    for (const LiveEvent& event : log.events) {
        if (event.kind == Kind::Error || event.kind == Kind::Disconnected) {
            EXPECT_THAT(event.reason, HasSubstr("127.0.0.1:" + std::to_string(port) + ": "));
        }
        if (event.kind == Kind::Connected || event.kind == Kind::Disconnected) {
            states.push_back(event.kind == Kind::Connected ? "up" : "down");
        }
    }
    EXPECT_EQ(states, (std::vector<std::string>{"down", "up", "down", "up"}));
}

TEST(Mqtt, NothingIsSentBeforeTheBrokerAnswers) {
    QTcpServer silent; // takes the connection and never answers it
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    Tags tags;
    const int set = tags.add("Set", VarType::Float, "", Form::Number, "", "set");
    Inbox inbox;
    MqttConnection connection(0, brokerAt(silent.serverPort()), tags.served, &inbox);
    connection.start();
    ASSERT_TRUE(silent.waitForNewConnection(15000));
    std::string reason;
    EXPECT_FALSE(connection.write(set, {1, "", false}, &reason));
    EXPECT_EQ(reason, "broker: not connected");
    connection.stop();
    EXPECT_EQ(inbox.pending(), 0u);
}

} // namespace
