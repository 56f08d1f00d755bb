// ctest-link: kestrolive
// kestro against a real broker: values published by mosquitto_pub reach the tags and the pixels
// (monitor), operators' clicks reach mosquitto_sub (run --live), and a write that cannot be
// delivered is refused with its reason, never sent later.
#include "tests/support/kestrorun.h"
#include "tests/support/livepeers.h"

#include <QCoreApplication>
#include <QImage>
#include <QTemporaryDir>

using namespace kvtest;

namespace {

const char* const kProject = R"json({
  "connections": [{"name": "broker", "kind": "mqtt", "host": "127.0.0.1", "port": PORT}],
  "tags": [
    {"name": "Level", "source": {"connection": "broker", "topic": "ROOT/level"}},
    {"name": "Pump", "type": "int",
     "source": {"connection": "broker", "topic": "ROOT/pump", "writeTopic": "ROOT/pump/set"}},
    {"name": "Lock", "type": "int", "source": {"connection": "broker", "topic": "ROOT/lock"}}
  ],
  "windows": [{"number": 1, "size": [120, 60], "objects": [
    {"class": "CDrawRect", "name": "Tank", "rect": [0, 0, 40, 60],
     "animations": [{"kind": "brush", "expression": "Level", "values": [0, 50],
                     "colors": ["#FF0000", "#00FF00"]}]},
    {"class": "CDrawRect", "name": "Button", "rect": [40, 0, 80, 60],
     "animations": [{"kind": "click", "flags": [0, 0, 0, 0, 0, 0, 0, 2],
                     "params": [-1, -1, -1, -1, -1, -1, -1, 1]}]},
    {"class": "CDrawRect", "name": "LockButton", "rect": [80, 0, 120, 60],
     "animations": [{"kind": "click", "flags": [0, 0, 0, 0, 0, 0, 0, 2],
                     "params": [-1, -1, -1, -1, -1, -1, -1, 2]}]}]}]
})json";

class KestroLive : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        port = std::stoi(brokerEnv("plain_port"));
        // A topic root of this run's own: retained messages of earlier runs stay out of it.
        root = "kv" + std::to_string(QCoreApplication::applicationPid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        QString text = QString::fromUtf8(kProject);
        text.replace("PORT", QString::number(port)).replace("ROOT", QString::fromStdString(root));
        QFile file(dir.filePath("live.json"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
    }
    void TearDown() override {
        for (const char* tag : {"level", "pump", "lock"}) { // no retained message left behind
            publishMessage(port, root + "/" + tag, "", true);
        }
    }
    QString path(const char* name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    int port = 0;
    std::string root;
};

TEST_F(KestroLive, PublishedValuesReachTheTagsAndThePixels) {
    ASSERT_TRUE(publishMessage(port, root + "/level", "75", true));
    // Three seconds leave a loaded machine time to connect before the second snapshot.
    const KestroResult monitor =
        runKestro({"monitor", path("live.json"), "--for", "3", "--snapshots", path("snaps"),
                   "--every", "3", "-o", path("lines.jsonl")});
    ASSERT_EQ(monitor.exitCode, 0) << monitor.err.toStdString();
    QFile file(path("lines.jsonl"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    std::vector<std::string> seen;
    for (const QJsonObject& line : jsonLines(file.readAll())) {
        const QString what = line.contains("status") ? line["status"].toString()
                                                     : line["value"].toVariant().toString();
        seen.push_back(
            (line["tag"].toString() + line["connection"].toString() + "=" + what).toStdString());
    }
    // Before the broker: the tags' initial values; then the connection and the published value.
    for (const char* expected : {"Level=0", "broker=connected", "broker.connected=1", "Level=75"}) {
        EXPECT_NE(std::find(seen.begin(), seen.end(), expected), seen.end()) << expected;
    }
    EXPECT_EQ(QImage(path("snaps/snapshot-0001.png")).pixelColor(20, 30), QColor(Qt::red));
    EXPECT_EQ(QImage(path("snaps/snapshot-0002.png")).pixelColor(20, 30), QColor(Qt::green));
}

TEST_F(KestroLive, ClicksWriteToTheBrokerOrAreRefusedWithTheirReason) {
    for (const char* tag : {"level", "pump", "lock"}) {
        ASSERT_TRUE(publishMessage(port, root + "/" + tag, "0", true));
    }
    Subscriber subscriber(port, root + "/pump");
    ASSERT_TRUE(subscriber.ready());
    QFile events(path("events"));
    ASSERT_TRUE(events.open(QIODevice::WriteOnly));
    events.write("click Button\nclick LockButton\n");
    events.close();
    const struct {
        QStringList extra;
        const char* button;   // the rejected reason of the first click ("" for none)
        std::string received; // by mosquitto_sub next: "retain|qos|topic|payload"
    } cases[] = {
        {{}, "", "0|0|" + root + "/pump/set|1"},
        {{"--connect", "broker=127.0.0.1:" + QString::number(freePort())},
         "broker: not connected",
         "0|0|" + root + "/pump/after|marker"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button);
        const KestroResult run = runKestro(
            QStringList{"run", path("live.json"), "--live", "--events", path("events")} + c.extra);
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        const std::vector<QJsonObject> lines = jsonLines(run.out);
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_EQ(lines[1]["rejected"][0]["reason"].toString().toStdString(), c.button);
        EXPECT_EQ(lines[2]["rejected"][0]["reason"].toString(),
                  "Lock: no write topic; the tag is read-only");
        // A refused write is not delivered later either: the next message is a marker.
        ASSERT_TRUE(publishMessage(port, root + "/pump/after", "marker"));
        EXPECT_EQ(subscriber.next(), c.received);
        if (c.extra.isEmpty()) {
            EXPECT_EQ(subscriber.next(), "0|0|" + root + "/pump/after|marker");
        }
    }
}

TEST(KestroLiveModbus, AnEntryIsWrittenToTheRegisterInItsWordOrder) {
    const int port = modbusServerPort();
    QTemporaryDir dir;
    QFile project(dir.filePath("plc.json")), events(dir.filePath("events"));
    ASSERT_TRUE(project.open(QIODevice::WriteOnly) && events.open(QIODevice::WriteOnly));
    project.write(QString(R"json({
  "connections": [{"name": "plc1", "kind": "modbusTcp", "port": %1, "poll": 0.05}],
  "tags": [
    {"name": "Speed", "type": "int", "source": {"connection": "plc1", "address": 700,
     "type": "int32", "wordOrder": "little", "writable": true}},
    {"name": "Fixed", "type": "int", "source": {"connection": "plc1", "table": "input",
     "address": 700}}
  ],
  "windows": [{"number": 1, "size": [100, 40], "objects": [
    {"class": "CDrawRect", "name": "Entry", "rect": [0, 0, 50, 40],
     "animations": [{"kind": "input", "var": "Speed", "upper": 100000, "lower": 0}]},
    {"class": "CDrawRect", "name": "FixedEntry", "rect": [50, 0, 100, 40],
     "animations": [{"kind": "input", "var": "Fixed", "upper": 100000, "lower": 0}]}]}]
})json")
                      .arg(port)
                      .toUtf8());
    project.close();
    events.write("key 70000\nclick Entry\nkey 5\nclick FixedEntry\nadvance 0.5\n");
    events.close();
    const KestroResult run =
        runKestro({"run", dir.filePath("plc.json"), "--live", "--events", dir.filePath("events")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const std::vector<QJsonObject> lines = jsonLines(run.out);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_FALSE(lines[2].contains("rejected"));
    EXPECT_EQ(lines[4]["rejected"][0]["reason"].toString(), "Fixed: read-only");
    // 70000 = 0x0001'1170: the low word first.
    EXPECT_EQ(modbusPeer(port, "get holding 700 2"), "4464 1");
}

} // namespace
