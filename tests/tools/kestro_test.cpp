// The kestro command line as a process: exit codes, refusals, repeatable output, outputs kept.
#include "tests/support/kestrorun.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <string>
#include <vector>

using kvtest::KestroResult;
using kvtest::sourcePath;

namespace {

class KestroCli : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(QFile::exists(kvtest::kestroProgram())) << "kestro is not built";
    }

    QString path(const QString& name) const { return QDir(m_dir.path()).filePath(name); }

    KestroResult run(const QStringList& args, const QString& stdoutFile = QString(),
                     bool smallFiles = false) const {
        return kvtest::runKestro(args, m_dir.path(), stdoutFile, smallFiles);
    }

    void write(const QString& name, const QByteArray& bytes) const {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QByteArray read(const QString& name) const {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
};

struct Call {
    QStringList args;
    int exitCode;
    const char* message; //!< in the error output, or in either on success
    int lines = -1;      //!< of an event run: the JSON lines printed before it ended
};

TEST_F(KestroCli, CallsAnswerWithTheirExitCodeAndMessage) {
    const QString navigation = sourcePath("examples/cookbook/navigation.json");
    // clang-format off
    const Call calls[] = {
        {{}, 2, "usage: kestro COMMAND"},
        {{"frob"}, 2, "kestro: unknown command \"frob\""},
        {{"--frob", "render"}, 2, "kestro: unknown option --frob"},
        {{"help"}, 0, "kestro render [FILE] -o OUT.png"},
        {{"help", "run", "trace"}, 2, "help takes one command"},
        {{"help", "frob"}, 2, "kestro: unknown command \"frob\""},
        {{"render"}, 2, "the output file is missing (-o OUT.png)"},
        {{"gallery"}, 2, "kestro gallery: the output file is missing"},
        {{"run"}, 2, "the event script is missing"},
        {{"render", "-o", "x.png", "--size", "0x5"}, 2,
         "--size takes WxH with each side 1 to 16384, not \"0x5\""},
        {{"play", "--size", "16385x5"}, 2, "each side 1 to 16384"},
        {{"render", "-o", "x.png", "--at", "soon"}, 2,
         "--at takes seconds from 0 to 604800, not \"soon\""},
        {{"trace", "--at", "604801"}, 2, "--at takes seconds from 0 to 604800"},
        {{"render", "-o", "x.png", "--refresh", "0.0009"}, 2,
         "--refresh takes a period in seconds from 0.001 to 604800"},
        {{"render", "huge.json", "-o", "x.png"}, 1,
         "kestro render: window 1: a picture of 32767x32767 needs 4096 MiB, more than the 256 MiB "
         "allowed"},
        {{"render", "-o", "x.png", "--frob"}, 2, "unknown option --frob"},
        {{"dump", "a.kvs", "-x"}, 2, "unknown option -x"},
        {{"trace", "--at"}, 2, "--at needs a value"},
        {{"render", "-o", "a.png", "--output=b.png"}, 2, "--output given twice"},
        {{"play", "--paused=yes"}, 2, "--paused takes no value"},
        {{"trace", "--window", "two"}, 2, "--window takes a window number"},
        {{"render", "-o", "x.png", "--set", "Nope"}, 2, "TAG=VALUE"},
        {{"trace", "a.json", "b.json"}, 2, "one project file at most"},
        {{"plugins", "a", "b"}, 2, "one plug-in directory at most"},
        {{"render", "gone.json", "-o", "x.png"}, 1, "cannot read gone.json"},
        {{"render", "empty", "-o", "x.png"}, 1, "cannot read empty: it is a folder"},
        {{"run", "--events", "empty"}, 1, "cannot read empty: it is a folder"},
        {{"render", "-o", "x.png", "--window", "99"}, 1, "no window 99"},
        {{"render", "-o", "x.png", "--set", "Nope=1"}, 1, "unknown tag \"Nope\""},
        {{"render", "-o", "x.png", "--plugins", "nowhere"}, 1,
         "cannot read the plug-in directory nowhere"},
        {{"render", "-o", "x.png", "--plugins", "empty"}, 1, "no plug-in found in empty"},
        {{"plugins", "empty"}, 1, "no plug-in found in empty"},
        {{"render", "-o", "x.png", "--connect", "plc=h:1"}, 1, "no connection 'plc' in the project"},
        {{"monitor", "--snapshots", "d"}, 2, "--snapshots DIR and --every SECONDS go together"},
        {{"simulate"}, 2, "the connection to publish to is missing (--to NAME)"},
        {{"simulate", "--to", "broker"}, 1, "no MQTT connection 'broker' in the project"},
        // A class that hides the drawing-object interface is still an object of its own class.
        {{"plugins"}, 0, "0x500E  yes       no             yes             -"}, // CDrawBalloon
        {{"render", "-o", "no/such/dir/x.png"}, 1, "cannot write"},
        {{"compile", "nowindow.json", "-o", "x.kvs"}, 1,
         "kestro compile: the project has no window"},
        {{"compile", "bad.json", "-o", "x.kvs"}, 1, "kestro compile: bad.json:3:"},
        {{"dump", "garbage.kvs"}, 1, "kestro dump: garbage.kvs:"},
        {{"run", navigation, "--events", "unknown.txt"}, 1,
         "kestro run: unknown.txt:2: no object \"Nobody\" in window 1", 2},
        {{"run", navigation, "--events", "syntax.txt"}, 1,
         "syntax.txt:2:7: blink tick 1, 2 or 3 expected", 0},
        {{"run", "zero.json", "--events", "quit.txt"}, 0,
         R"("expression":"1 / Z","failing":true,"index":0,"kind":"visible")", 4},
        // The click on Everything stops the runtime.
        {{"run", sourcePath("examples/animations.json"), "--events", "quit.txt"}, 0,
         "the runtime was stopped by line 1; 2 event(s) not run", 2},
    };
    // clang-format on
    write("nowindow.json", "{\"tags\": [{\"name\": \"A\"}]}");
    write("bad.json", "{\n  \"windows\": [\n    {\"number\": 1,,}\n  ]\n}\n");
    write("garbage.kvs", "KVS?garbage");
    write("huge.json", "{\"windows\": [{\"number\": 1, \"size\": [32767, 32767]}]}");
    write("unknown.txt", "refresh\nclick Nobody\nrefresh\n");
    write("syntax.txt", "refresh\nblink 7\n");
    write("quit.txt", "click Everything\nrefresh\nrefresh\n");
    write("zero.json", R"({"tags": [{"name": "Z"}], "windows": [{"number": 1, "objects": [
        {"class": "CDrawRect", "name": "Everything", "rect": [0, 0, 9, 9], "animations": [
        {"kind": "visible", "expression": "1 / Z"}]}]}]})");
    QDir(m_dir.path()).mkdir("empty");
    for (const Call& c : calls) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const KestroResult r = run(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
        const QString said = r.err + (c.exitCode == 0 ? QString::fromUtf8(r.out) : QString());
        EXPECT_TRUE(said.contains(QString::fromUtf8(c.message))) << said.toStdString();
        EXPECT_EQ(r.err.contains("usage: "), c.exitCode == 2) << r.err.toStdString();
        EXPECT_TRUE(c.lines < 0 || kvtest::jsonLines(r.out).size() == size_t(c.lines));
    }
    EXPECT_FALSE(QFile::exists(path("x.kvs")));
    const QString version = QString::fromUtf8(run({"--version"}).out);
    EXPECT_TRUE(version.contains(QRegularExpression("^kestro [0-9]+\\.[0-9]+\\.[0-9]+\n$")));
}

TEST_F(KestroCli, RendersTracesAndRunsTheSameEveryTime) {
    ASSERT_EQ(run({"render", "-o", "a.png", "--at", "2.5"}).exitCode, 0);
    ASSERT_EQ(run({"render", "--output=b.png", "--at", "2.5"}).exitCode, 0);
    EXPECT_FALSE(QImage::fromData(read("a.png"), "PNG").isNull());
    EXPECT_EQ(read("a.png"), read("b.png"));
    ASSERT_EQ(run({"render", "-o", "small.png", "--size", "320x200"}).exitCode, 0);
    EXPECT_EQ(QImage(path("small.png")).size(), QSize(320, 200));

    const KestroResult r = run({"trace", "--at", "1"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonObject trace = QJsonDocument::fromJson(r.out).object();
    EXPECT_EQ(trace["time"].toDouble(), 1.0);
    EXPECT_FALSE(trace["objects"][0]["calls"][0]["kind"].toString().isEmpty());
    ASSERT_EQ(run({"trace", "--at", "1", "-o", "trace.json"}).exitCode, 0);
    EXPECT_EQ(read("trace.json"), r.out);

    const QStringList session = {"run", sourcePath("examples/plant.json"), "--events",
                                 sourcePath("examples/plant-session.txt")};
    const QByteArray lines = run(session).out;
    EXPECT_EQ(kvtest::jsonLines(lines).size(), 15u);
    EXPECT_EQ(run(session).out, lines);

    const QString tank = sourcePath("examples/tank.json");
    ASSERT_EQ(run({"compile", tank, "-o", "first.kvs"}).exitCode, 0);
    ASSERT_EQ(run({"dump", "first.kvs", "-o", "dumped.json"}).exitCode, 0);
    ASSERT_EQ(run({"compile", "dumped.json", "-o", "second.kvs"}).exitCode, 0);
    EXPECT_EQ(read("second.kvs"), read("first.kvs"));
}

// Outputs of the demo plant: each is larger than a file may be in smallFiles runs.
class KestroOutputs : public KestroCli {
protected:
    void SetUp() override {
        KestroCli::SetUp();
        ASSERT_TRUE(QFile::copy(sourcePath("examples/plant.json"), path("plant.json")));
        ASSERT_EQ(run({"compile", "plant.json", "-o", "plant.kvs"}).exitCode, 0);
        write("events.txt", "refresh\nrefresh\n");
    }

    //! Every command that writes, writing to output ("-" for the standard output).
    static std::vector<QStringList> writers(const QString& output) {
        return {{"render", "plant.kvs", "-o", output},
                {"trace", "plant.kvs", "-o", output},
                {"run", "plant.kvs", "--events", "events.txt", "-o", output},
                {"compile", "plant.json", "-o", output},
                {"dump", "plant.kvs", "-o", output},
                {"gallery", "-o", output}};
    }
};

TEST_F(KestroOutputs, AFullDeviceIsAFailure) {
    std::vector<QStringList> calls = writers("/dev/full");
    for (const QStringList& call : writers("-")) {
        calls.push_back(call);
    }
    calls.insert(calls.end(), {{"help"}, {"render", "--help"}, {"--version"}, {"plugins"}});
    for (const QStringList& call : calls) {
        SCOPED_TRACE(call.join(' ').toStdString());
        const bool toFile = call.contains("/dev/full");
        const KestroResult r = run(call, toFile ? QString() : QStringLiteral("/dev/full"));
        EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QString("cannot write ") +
                                   (toFile ? "/dev/full" : "the standard output") +
                                   ": No space left on device"))
            << r.err.toStdString();
    }
}

TEST_F(KestroOutputs, AnInputIsNeverTheOutput) {
    ASSERT_TRUE(QFile::link("plant.json", path("alias.json")));
    const QStringList calls[] = {
        {"compile", "plant.json", "-o", "plant.json"},
        {"compile", "plant.json", "-o", "alias.json"},
        {"dump", "plant.kvs", "-o", "./plant.kvs"},
        {"render", "plant.kvs", "-o", "plant.kvs"},
        {"trace", "alias.json", "-o", "plant.json"},
        {"run", "plant.kvs", "--events", "events.txt", "-o", "plant.kvs"},
        {"run", "plant.kvs", "--events", "events.txt", "-o", "events.txt"},
    };
    const auto inputs = [this] {
        return std::vector<QByteArray>{read("plant.kvs"), read("plant.json"), read("events.txt")};
    };
    const std::vector<QByteArray> before = inputs();
    for (const QStringList& call : calls) {
        SCOPED_TRACE(call.join(' ').toStdString());
        const KestroResult r = run(call);
        EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("the output " + call.last() + " is the input"))
            << r.err.toStdString();
        EXPECT_TRUE(inputs() == before);
    }
}

TEST_F(KestroOutputs, AWriteFailingMidwayKeepsTheOldFile) {
    const QByteArray old = "the good file of an earlier run";
    for (const QStringList& call : writers("old.out")) {
        SCOPED_TRACE(call.join(' ').toStdString());
        write("old.out", old);
        const QStringList before = QDir(m_dir.path()).entryList(QDir::Files);
        const KestroResult r = run(call, QString(), true);
        EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("cannot write old.out: ")) << r.err.toStdString();
        EXPECT_EQ(read("old.out"), old);
        EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), before) << "a temporary file is left";
    }
}

} // namespace
