// What the user docs and examples show compiles, runs and does what their event scripts say.
#include "runtime/project/projectcheck.h"
#include "runtime/project/projectio.h"
#include "tests/support/kestrorun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QRegularExpression>

#include <algorithm>
#include <map>
#include <vector>

using namespace kestro;
using kvtest::sourcePath;

namespace {

QString textOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList filesIn(const QString& directory, const QString& pattern) {
    QStringList files;
    for (const QString& name : QDir(sourcePath(directory)).entryList({pattern}, QDir::Files)) {
        files << sourcePath(directory + "/" + name);
    }
    return files;
}

QString collapsed(const QString& text) {
    return text.simplified().remove(' ');
}

// Every ```json block is a whole project that can run, every ```jsonc fragment of the cookbook
// stands as written in a recipe, every picture shown exists.
TEST(Docs, EveryJsonBlockIsAProjectThatCanRun) {
    QString recipes;
    for (const QString& file : filesIn("examples/cookbook", "*.json")) {
        recipes += collapsed(textOf(file));
    }
    const QRegularExpression fence("^```([^\n]*)\n(.*?)^```",
                                   QRegularExpression::MultilineOption |
                                       QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpression image(R"(!\[[^\]]*\]\(([^)\s]+)\))");
    std::map<QString, int> counts; // a parser that finds nothing must not pass
    for (const QString& file : QStringList{sourcePath("README.md")} + filesIn("docs", "*.md")) {
        const QString name = QFileInfo(file).fileName(), text = textOf(file);
        for (const QRegularExpressionMatch& m : fence.globalMatch(text)) {
            const QString block = m.captured(2), kind = m.captured(1).trimmed();
            SCOPED_TRACE(name.toStdString() + ":" +
                         std::to_string(text.left(m.capturedStart()).count('\n') + 1));
            if (kind == "json") {
                ++counts[name];
                Project project;
                ProjectError error;
                ASSERT_TRUE(
                    compileProjectJson(block.toStdString(), name.toStdString(), &project, &error))
                    << error.text();
                EXPECT_FALSE(checkRunnable(project)) << checkRunnable(project).message;
            } else if (kind == "jsonc" && name == "cookbook.md") {
                ++counts["jsonc"];
                EXPECT_TRUE(recipes.contains(collapsed(block))) << "a fragment in no recipe";
            }
        }
        for (const QRegularExpressionMatch& m : image.globalMatch(text)) {
            ++counts["pictures"];
            EXPECT_TRUE(QFileInfo::exists(QFileInfo(file).dir().filePath(m.captured(1))))
                << name.toStdString() << " shows " << m.captured(1).toStdString();
        }
    }
    // The projects of the docs' pictures, each with its picture.
    for (const QString& file : filesIn("docs/images/projects", "*.json")) {
        ++counts["pictures"];
        Project project;
        ProjectError error;
        EXPECT_TRUE(loadProjectFile(file.toStdString(), &project, &error)) << error.text();
        EXPECT_FALSE(checkRunnable(project)) << file.toStdString();
        EXPECT_TRUE(
            QFileInfo::exists(sourcePath("docs/images/") + QFileInfo(file).baseName() + ".png"));
    }
    EXPECT_GE(counts["README.md"], 1);
    EXPECT_GE(counts["screen-format.md"], 1);
    EXPECT_GE(counts["jsonc"], 7);
    EXPECT_GE(counts["pictures"], 10);
}

// What an example shows after a step of its event script: a field of a named object, or of the
// event's line itself when the object is "".
struct Expectation {
    int step;
    const char* object;
    const char* field; // "fill.color": a member of a member; "calls.writes.0": an element
    const char* value; // strings as they are, anything else as compact JSON
};

struct Example {
    const char* project; // in examples/, without .json
    std::vector<Expectation> expected;
    const char* events = nullptr; // in examples/; by default the project's .events
};

// clang-format off
const Example kExamples[] = {
    {"cookbook/pump-button",
     {{2, "Pump", "fill.color", "#3cc85a"}, {2, "State", "text", "Running"},
      {4, "Pump", "fill.color", "#c4cdd5"}, {4, "State", "text", "Stopped"}}},
    // Level [42, 22, 118, 182]: 160 pixels for 0 to 100, the bottom edge stays.
    {"cookbook/tank-level",
     {{0, "Level", "rect", "[42,86,118,182]"}, {0, "Value", "text", "60.0"},
      {2, "Level", "rect", "[42,142,118,182]"}, {6, "Level", "rect", "[42,22,118,182]"},
      {6, "Value", "text", "150.0"}, {8, "Level", "rect", "[42,182,118,182]"}}},
    // show: 11 shown, 1 in the hidden phase of the blink.
    {"cookbook/alarm-acknowledge",
     {{2, "Lamp", "fill.color", "#e53935"}, {2, "Message", "text", "HIGH LEVEL"},
      {3, "Lamp", "show", "1"}, {4, "Lamp", "show", "11"}, {5, "Lamp", "show", "1"},
      {7, "Lamp", "show", "11"}, {8, "Lamp", "show", "11"}}},
    {"cookbook/setpoint-entry",
     {{0, "SetPoint", "text", "50.0"}, {2, "", "line", "3"}, {2, "", "event", "click SetPoint"},
      {2, "", "rejected", "null"}, {3, "SetPoint", "text", "42.5"},
      {5, "", "rejected.0.object", "1"}, {5, "", "rejected.0.name", "SetPoint"},
      {5, "", "rejected.0.reason", "\"95\" is out of the range 20 to 80"},
      {6, "SetPoint", "text", "42.5"}, {8, "", "rejected.0.reason", "\"abc\" is not a number"},
      {9, "SetPoint", "text", "42.5"}}},
    {"cookbook/navigation",
     {{0, "", "window", "1"}, {1, "", "window", "2"}, {1, "", "stack", "[1,2]"},
      {1, "", "calls.windowsOpened", "[2]"}, {2, "", "window", "1"}, {2, "", "stack", "[1]"},
      {2, "", "calls.windowsClosed", "[2]"}, {2, "Details", "changed", "true"},
      {2, "Title", "changed", "false"}}},
    {"cookbook/value-units",
     {{0, "Temperature", "text", "71.4"}, {0, "Pressure", "text", "2500"},
      {3, "Temperature", "text", "-3.2"}, {3, "Pressure", "text", "1012"}}},
    {"cookbook/temperature-colour",
     {{2, "Badge", "fill.color", "#3c8ce0"}, {4, "Badge", "fill.color", "#3cc85a"},
      {6, "Badge", "fill.color", "#3cc85a"}, {8, "Badge", "fill.color", "#e53935"}}},
    // T-102 starts mid-way in 20..84 %; 5 s (about a quarter of its 24 s period) later it is near
    // the top, above the alarm limit of 75 %. The suction flow stops at the refresh after V-101
    // closes.
    {"plant",
     {{0, "T102Value", "text", "52.0"},
      {0, "T102AlarmBalloon", "visible", "false"}, {1, "", "time", "2"},
      {2, "", "calls.writes.0.value", "0"}, {2, "SuctionFlowArrow", "visible", "true"},
      {3, "FI101Value", "text", "0.0"}, {3, "SuctionFlowArrow", "visible", "false"},
      {4, "", "calls.writes.0.value", "1"}, {7, "", "window", "2"},
      {8, "", "calls.writes.0.tag", "P101.Run"}, {8, "", "calls.writes.0.value", "0"},
      {10, "", "calls.writes.0.value", "1"}, {11, "", "window", "1"},
      {13, "", "calls.writes.0.tag", "T102.SP"}, {13, "", "calls.writes.0.value", "82.5"},
      {14, "T102Value", "text", "82.9"}, {14, "T102AlarmBalloon", "visible", "true"}},
     "plant-session.txt"},
};
// clang-format on

QString valueText(const QJsonValue& value) {
    if (value.isString()) {
        return value.toString();
    }
    const QByteArray json = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}

QJsonValue member(QJsonValue value, const QString& path) {
    for (const QString& part : path.split('.')) {
        value = value.isArray() ? value.toArray().at(part.toInt()) : value.toObject().value(part);
    }
    return value;
}

TEST(Docs, EveryExampleDoesWhatItsScriptShows) {
    EXPECT_EQ(std::count_if(std::begin(kExamples), std::end(kExamples),
                            [](const Example& e) { return !e.events; }),
              filesIn("examples/cookbook", "*.json").size())
        << "every recipe needs its row";
    for (const Example& example : kExamples) {
        SCOPED_TRACE(example.project);
        const QString base = sourcePath("examples/") + example.project;
        const QString events =
            example.events ? sourcePath("examples/") + example.events : base + ".events";
        const kvtest::KestroResult r =
            kvtest::runKestro({"run", base + ".json", "--events", events});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const std::vector<QJsonObject> steps = kvtest::jsonLines(r.out); // the load is step 0
        ASSERT_FALSE(steps.empty());
        EXPECT_EQ(steps[0]["problems"], QJsonArray()) << "loads with warnings";
        for (const Expectation& e : example.expected) {
            SCOPED_TRACE("step " + std::to_string(e.step) + ", " + e.object + " " + e.field);
            ASSERT_LT(static_cast<size_t>(e.step), steps.size());
            QJsonValue holder = steps[e.step];
            if (*e.object) {
                holder = QJsonValue();
                for (const QJsonValue& object : steps[e.step]["objects"].toArray()) {
                    if (object["name"].toString() == e.object) {
                        holder = object;
                    }
                }
                ASSERT_TRUE(holder.isObject()) << "no object " << e.object;
            }
            EXPECT_EQ(valueText(member(holder, e.field)).toStdString(), e.value);
        }
    }
}

} // namespace
