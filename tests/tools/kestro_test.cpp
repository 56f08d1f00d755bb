// The kestro command line run as a process: exit codes and messages, refusals with their limits,
// help, output that is the same every time, and outputs that are never lost.
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
    const char* name;
    QStringList args;
    int exitCode;
    const char* message; //!< in the standard output on success, else in the error output
};

TEST_F(KestroCli, CallsAnswerWithTheirExitCodeAndMessage) {
    // clang-format off
    const Call calls[] = {
        {"no command", {}, 2, "usage: kestro COMMAND"},
        {"unknown command", {"frob"}, 2, "kestro: unknown command \"frob\""},
        {"help", {"help"}, 0, "kestro render [FILE] -o OUT.png"},
        {"no output", {"render"}, 2, "the output file is missing (-o OUT.png)"},
        {"gallery without output", {"gallery"}, 2, "kestro gallery: the output file is missing"},
        {"bad size", {"render", "-o", "x.png", "--size", "0x5"}, 2,
         "--size takes WxH with each side 1 to 16384, not \"0x5\""},
        {"side too long", {"play", "--size", "16385x5"}, 2, "each side 1 to 16384"},
        {"bad time", {"render", "-o", "x.png", "--at", "soon"}, 2,
         "--at takes seconds from 0 to 604800, not \"soon\""},
        {"time too long", {"trace", "--at", "604801"}, 2, "--at takes seconds from 0 to 604800"},
        {"picture too large", {"render", "huge.json", "-o", "x.png"}, 1,
         "kestro render: window 1: a picture of 32767x32767 needs 4096 MiB, more than the 256 "
         "MiB allowed"},
        {"unknown option", {"render", "-o", "x.png", "--frob"}, 2, "unknown option --frob"},
        {"value missing", {"trace", "--at"}, 2, "--at needs a value"},
        {"two files", {"trace", "a.json", "b.json"}, 2, "one project file at most"},
        {"no events", {"run"}, 2, "the event script is missing"},
        {"missing project", {"render", "gone.json", "-o", "x.png"}, 1, "gone.json"},
        {"unknown window", {"render", "-o", "x.png", "--window", "99"}, 1, "no window 99"},
        {"unknown tag", {"render", "-o", "x.png", "--set", "Nope=1"}, 1, "unknown tag \"Nope\""},
        {"set without value", {"render", "-o", "x.png", "--set", "Nope"}, 2, "TAG=VALUE"},
        {"window not a number", {"trace", "--window", "two"}, 2, "--window takes a window number"},
        {"option twice", {"render", "-o", "a.png", "--output=b.png"}, 2, "--output given twice"},
        {"value not taken", {"play", "--paused=yes"}, 2, "--paused takes no value"},
        {"unknown short option", {"dump", "a.kvs", "-x"}, 2, "unknown option -x"},
        {"no plug-in directory", {"render", "-o", "x.png", "--plugins", "nowhere"}, 1,
         "cannot read the plug-in directory nowhere"},
        {"no plug-in there", {"render", "-o", "x.png", "--plugins", "empty"}, 1,
         "no plug-in found in empty"},
        {"unwritable output", {"render", "-o", "no/such/dir/x.png"}, 1, "cannot write"},
        {"bad refresh", {"render", "-o", "x.png", "--refresh", "0.0009"}, 2,
         "--refresh takes a period in seconds from 0.001 to 604800"},
        {"compile without output", {"compile", "a.json"}, 2, "-o FILE.kvs"},
        {"compile missing file", {"compile", "gone.json", "-o", "x.kvs"}, 1,
         "cannot read gone.json"},
        {"compile what cannot run", {"compile", "nowindow.json", "-o", "x.kvs"}, 1,
         "kestro compile: the project has no window"},
        {"render what cannot run", {"render", "nowindow.json", "-o", "x.png"}, 1,
         "kestro render: the project has no window"},
        {"render a mistake", {"render", "bad.json", "-o", "x.png"}, 1,
         "kestro render: bad.json:3:"},
        {"compile a mistake", {"compile", "bad.json", "-o", "x.kvs"}, 1,
         "kestro compile: bad.json:3:"},
        {"dump garbage", {"dump", "garbage.kvs"}, 1, "kestro dump: garbage.kvs:"},
        {"two plug-in directories", {"plugins", "a", "b"}, 2, "one plug-in directory at most"},
        {"no plug-in", {"plugins", "empty"}, 1, "no plug-in found in empty"},
        {"folder as project", {"render", "empty", "-o", "x.png"}, 1,
         "cannot read empty: it is a folder"},
        {"folder as events", {"run", "--events", "empty"}, 1, "cannot read empty: it is a folder"},
        {"folder to compile", {"compile", "empty", "-o", "x.kvs"}, 1,
         "cannot read empty: it is a folder"},
        {"folder to dump", {"dump", "empty"}, 1, "cannot read empty: it is a folder"},
        {"help of two commands", {"help", "run", "trace"}, 2, "help takes one command"},
        {"help of no command", {"help", "frob"}, 2, "kestro: unknown command \"frob\""},
        {"unknown option of kestro", {"--frob", "render"}, 2, "kestro: unknown option --frob"},
    };
    // clang-format on
    write("nowindow.json", "{\"tags\": [{\"name\": \"A\"}]}");
    write("bad.json", "{\n  \"windows\": [\n    {\"number\": 1,,}\n  ]\n}\n");
    write("garbage.kvs", "KVS?garbage");
    write("huge.json", "{\"windows\": [{\"number\": 1, \"size\": [32767, 32767]}]}");
    QDir(m_dir.path()).mkdir("empty");
    for (const Call& c : calls) {
        SCOPED_TRACE(c.name);
        const KestroResult r = run(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
        const QString said = c.exitCode == 0 ? QString::fromUtf8(r.out) : r.err;
        EXPECT_TRUE(said.contains(QString::fromUtf8(c.message))) << said.toStdString();
        EXPECT_EQ(r.err.contains("usage: "), c.exitCode == 2) << r.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(path("x.kvs")));
    EXPECT_TRUE(QRegularExpression("^kestro [0-9]+\\.[0-9]+\\.[0-9]+\n$")
                    .match(QString::fromUtf8(run({"--version"}).out))
                    .hasMatch());
}

TEST_F(KestroCli, EveryCommandHasHelpForEachOption) {
    for (const char* name :
         {"render", "trace", "run", "play", "gallery", "compile", "dump", "plugins"}) {
        const QString command = name;
        const KestroResult help = run({command, "--help"});
        ASSERT_EQ(help.exitCode, 0) << command.toStdString() << ": " << help.err.toStdString();
        const QString text = QString::fromUtf8(help.out);
        const QString usage = text.section('\n', 0, 0);
        EXPECT_TRUE(usage.startsWith("usage: kestro " + command)) << text.toStdString();
        // Every option of the usage line has a line of help of its own.
        const QRegularExpression option("--[a-z-]+");
        for (auto it = option.globalMatch(usage); it.hasNext();) {
            const QString name = it.next().captured();
            EXPECT_TRUE(
                QRegularExpression("\n  (-., )?" + name + "[ .].* [a-z]").match(text).hasMatch())
                << command.toStdString() << ": no help for " << name.toStdString();
        }
        EXPECT_TRUE(text.contains("\n  -h, --help ")) << text.toStdString();
        EXPECT_EQ(run({"help", command}).out, help.out) << command.toStdString();
        EXPECT_EQ(run({command, "--frob", "-h"}).out, help.out) << command.toStdString();
    }
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
    EXPECT_EQ(trace["background"].toArray().size(), 1);
    int calls = 0;
    for (const QJsonValue& object : trace["objects"].toArray()) {
        EXPECT_TRUE(object["class"].toString().startsWith("CDraw"));
        for (const QJsonValue& call : object["calls"].toArray()) {
            for (const char* key : {"kind", "pen", "brush"}) {
                EXPECT_TRUE(call.toObject().contains(key)) << key;
            }
            ++calls;
        }
    }
    EXPECT_GT(calls, 0);
    ASSERT_EQ(run({"trace", "--at", "1", "-o", "trace.json"}).exitCode, 0);
    EXPECT_EQ(read("trace.json"), r.out);

    const QStringList session = {"run", sourcePath("examples/plant.json"), "--events",
                                 sourcePath("examples/plant-session.txt")};
    const QByteArray lines = run(session).out;
    EXPECT_EQ(kvtest::jsonLines(lines).size(), 15u);
    EXPECT_EQ(run(session).out, lines);
}

TEST_F(KestroCli, RunStopsAtAnEventItCannotDoOrAStop) {
    write("unknown.txt", "refresh\nclick Nobody\nrefresh\n");
    write("syntax.txt", "refresh\nblink 7\n");
    write("quit.txt", "click Everything\nrefresh\nrefresh\n"); // its click stops the runtime
    const struct {
        const char* project;
        const char* events;
        int exitCode;
        size_t lines; //!< printed before the stop, the load's included
        const char* message;
    } rows[] = {
        {"cookbook/navigation", "unknown.txt", 1, 2,
         "kestro run: unknown.txt:2: no object \"Nobody\" in window 1"},
        {"cookbook/navigation", "syntax.txt", 1, 0,
         "syntax.txt:2:7: blink tick 1, 2 or 3 expected"},
        {"animations", "quit.txt", 0, 2, "stopped by line 1; 2 event(s) not run"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.events);
        const KestroResult r =
            run({"run", sourcePath("examples/") + row.project + ".json", "--events", row.events});
        EXPECT_EQ(r.exitCode, row.exitCode);
        EXPECT_TRUE(r.err.contains(row.message)) << r.err.toStdString();
        const std::vector<QJsonObject> lines = kvtest::jsonLines(r.out);
        ASSERT_EQ(lines.size(), row.lines);
        if (row.exitCode == 0) {
            EXPECT_TRUE(lines.back()["stopped"].toBool());
            EXPECT_EQ(lines.back()["calls"]["stops"].toArray(), QJsonArray{QJsonValue(0)});
        }
    }
}

TEST_F(KestroCli, CompileAndDumpRoundTripAndRenderAlike) {
    const QString example = sourcePath("examples/tank.json");
    ASSERT_EQ(run({"compile", example, "-o", "first.kvs"}).exitCode, 0);
    ASSERT_EQ(run({"dump", "first.kvs", "-o", "dumped.json"}).exitCode, 0);
    ASSERT_EQ(run({"compile", "dumped.json", "-o", "second.kvs"}).exitCode, 0);
    EXPECT_FALSE(read("first.kvs").isEmpty());
    EXPECT_EQ(read("first.kvs"), read("second.kvs"));
    ASSERT_EQ(run({"render", "first.kvs", "-o", "a.png", "--at", "1"}).exitCode, 0);
    ASSERT_EQ(run({"render", example, "-o", "b.png", "--at", "1"}).exitCode, 0);
    EXPECT_EQ(read("a.png"), read("b.png"));
}

TEST_F(KestroCli, PluginsListsEveryClassAndUnloadsAgain) {
    const KestroResult r = run({"plugins"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QString out = QString::fromUtf8(r.out);
    EXPECT_TRUE(out.contains(QRegularExpression(
        "plug-in: vorn_kestrovalumen \\(__plugin_init -> 1\\), .*/libkestrovalumen.so\n"
        "registered classes: 33\n")))
        << out.toStdString();
    // A class that hides the drawing-object interface is still an object of its own class.
    EXPECT_TRUE(out.contains(QRegularExpression("CDrawBalloon +0x500E  yes +no +yes +-\n")));
    EXPECT_TRUE(
        out.contains("vorn_kestrovalumen: __plugin_cleanup -> 1; its classes are withdrawn"));
    EXPECT_TRUE(out.endsWith("registry is empty again\n")) << out.toStdString();
}

struct OutputCall {
    const char* name;
    QStringList args;
    const char* output; //!< the file the call writes; "" for the standard output
};

class KestroOutputs : public KestroCli {
protected:
    void SetUp() override {
        KestroCli::SetUp();
        // The demo plant: every output of it is larger than the file size the tests allow.
        ASSERT_TRUE(QFile::copy(sourcePath("examples/plant.json"), path("plant.json")));
        ASSERT_EQ(run({"compile", "plant.json", "-o", "plant.kvs"}).exitCode, 0);
        write("events.txt", "refresh\nrefresh\n");
    }

    //! Every command that writes, writing to output ("" for the standard output, as "-o -").
    static std::vector<OutputCall> writers(const char* output) {
        const QStringList to = {"-o", *output ? output : "-"};
        return {
            {"render", QStringList{"render", "plant.kvs"} + to, output},
            {"trace", QStringList{"trace", "plant.kvs"} + to, output},
            {"run", QStringList{"run", "plant.kvs", "--events", "events.txt"} + to, output},
            {"compile", QStringList{"compile", "plant.json"} + to, output},
            {"dump", QStringList{"dump", "plant.kvs"} + to, output},
            {"gallery", QStringList{"gallery"} + to, output},
        };
    }
};

TEST_F(KestroOutputs, AFullDeviceIsAFailure) {
    std::vector<OutputCall> calls = writers("/dev/full");
    for (const OutputCall& call : writers("")) {
        calls.push_back(call);
    }
    calls.push_back({"help", {"help"}, ""});
    calls.push_back({"command help", {"render", "--help"}, ""});
    calls.push_back({"version", {"--version"}, ""});
    calls.push_back({"plugins", {"plugins"}, ""});
    for (const OutputCall& call : calls) {
        SCOPED_TRACE(std::string(call.name) + " to " + (*call.output ? call.output : "stdout"));
        const KestroResult r =
            run(call.args, *call.output ? QString() : QStringLiteral("/dev/full"));
        EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
        const QString file = *call.output ? call.output : "the standard output";
        EXPECT_TRUE(r.err.contains("cannot write " + file + ": No space left on device"))
            << r.err.toStdString();
    }
}

TEST_F(KestroOutputs, AnInputIsNeverTheOutput) {
    ASSERT_TRUE(QFile::link("plant.json", path("alias.json")));
    // clang-format off
    const OutputCall calls[] = {
        {"compile over its project", {"compile", "plant.json", "-o", "plant.json"}, "plant.json"},
        {"compile over a link to it", {"compile", "plant.json", "-o", "alias.json"}, "alias.json"},
        {"dump over its container", {"dump", "plant.kvs", "-o", "./plant.kvs"}, "./plant.kvs"},
        {"render over its project", {"render", "plant.kvs", "-o", "plant.kvs"}, "plant.kvs"},
        {"trace over its project", {"trace", "alias.json", "-o", "plant.json"}, "plant.json"},
        {"run over its project",
         {"run", "plant.kvs", "--events", "events.txt", "-o", "plant.kvs"}, "plant.kvs"},
        {"run over its events",
         {"run", "plant.kvs", "--events", "events.txt", "-o", "events.txt"}, "events.txt"},
    };
    // clang-format on
    const QByteArray kvs = read("plant.kvs");
    const QByteArray json = read("plant.json");
    const QByteArray events = read("events.txt");
    for (const OutputCall& call : calls) {
        SCOPED_TRACE(call.name);
        const KestroResult r = run(call.args);
        EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QString("the output ") + call.output + " is the input"))
            << r.err.toStdString();
        EXPECT_EQ(read("plant.kvs"), kvs);
        EXPECT_EQ(read("plant.json"), json);
        EXPECT_EQ(read("events.txt"), events);
    }
}

TEST_F(KestroOutputs, AWriteFailingMidwayKeepsTheOldFile) {
    const QByteArray old = "the good file of an earlier run";
    for (const OutputCall& call : writers("old.out")) {
        SCOPED_TRACE(call.name);
        write("old.out", old);
        const QStringList before = QDir(m_dir.path()).entryList(QDir::Files);
        // Every output is larger than this, so the write fails part of the way through.
        const KestroResult r = run(call.args, QString(), true);
        EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("cannot write old.out: ")) << r.err.toStdString();
        EXPECT_EQ(read("old.out"), old);
        EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), before) << "a temporary file is left";
    }
}

TEST_F(KestroOutputs, ByteOrderMarksAreSkipped) {
    write("bom.json", "\xEF\xBB\xBF" + read("plant.json"));
    write("bom.txt", "\xEF\xBB\xBFrefresh\n");
    KestroResult r = run({"compile", "bom.json", "-o", "bom.kvs"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(read("bom.kvs"), read("plant.kvs"));
    r = run({"run", "bom.json", "--events", "bom.txt"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(kvtest::jsonLines(r.out).size(), 2u);
}

} // namespace
