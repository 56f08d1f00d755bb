// The user docs cannot drift from the program: every ```json block of the docs is a complete
// project that compiles and can run, every ```jsonc fragment of the cookbook stands as written in
// its recipe, every picture the docs show exists, every recipe and picture project renders
// cleanly, and every recipe does what its event script shows, as kestro run reports it.
#include "runtime/project/projectcheck.h"
#include "runtime/project/projectio.h"
#include "tests/support/projecttestutil.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using namespace kestro;
using projecttest::readFile;
using projecttest::sourceDir;

namespace {

QString source(const QString& relative) {
    return QDir(QString::fromStdString(sourceDir())).filePath(relative);
}

QString kestroProgram() {
    const char* dir = std::getenv("KV_BINARY_DIR");
    return QString::fromUtf8(dir ? dir : ".") + "/bin/kestro";
}

struct Block {
    std::string fence; // the info string after ```
    std::string text;
    int line = 0; // of the opening fence
};

std::vector<Block> fencedBlocks(const std::string& markdown) {
    std::vector<Block> blocks;
    const QString text = QString::fromStdString(markdown);
    const QRegularExpression fence("^```([^\n]*)\n(.*?)^```",
                                   QRegularExpression::MultilineOption |
                                       QRegularExpression::DotMatchesEverythingOption);
    for (const QRegularExpressionMatch& m : fence.globalMatch(text)) {
        blocks.push_back({m.captured(1).trimmed().toStdString(), m.captured(2).toStdString(),
                          static_cast<int>(text.left(m.capturedStart()).count('\n')) + 1});
    }
    return blocks;
}

//! Markdown files of the user docs: the README and docs/*.md.
QStringList markdownFiles() {
    QStringList files{source("README.md")};
    for (const QString& name : QDir(source("docs")).entryList({"*.md"}, QDir::Files)) {
        files << source("docs/" + name);
    }
    return files;
}

QStringList projectFiles(const QString& directory) {
    QStringList files;
    for (const QString& name : QDir(source(directory)).entryList({"*.json"}, QDir::Files)) {
        files << source(directory + "/" + name);
    }
    return files;
}

QString collapsed(const QString& text) {
    return text.simplified().remove(' ');
}

struct Process {
    int exitCode = -1;
    QByteArray out;
    QString err;
};

Process runKestro(const QStringList& args) {
    QProcess process;
    process.start(kestroProgram(), args);
    Process result;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
        ADD_FAILURE() << "kestro " << args.join(' ').toStdString() << " did not finish";
        return result;
    }
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

TEST(Docs, EveryJsonBlockIsAProjectThatCanRun) {
    std::map<std::string, int> projects;
    for (const QString& file : markdownFiles()) {
        const std::string name = QFileInfo(file).fileName().toStdString();
        for (const Block& block : fencedBlocks(readFile(file.toStdString()))) {
            if (block.fence != "json") {
                continue;
            }
            SCOPED_TRACE(name + ", block at line " + std::to_string(block.line));
            ++projects[name];
            Project project;
            ProjectError error;
            ASSERT_TRUE(compileProjectJson(block.text, name, &project, &error)) << error.text();
            const Problem problem = checkRunnable(project);
            EXPECT_FALSE(problem) << problem.message;
        }
    }
    // The documents that teach the format show whole projects; a parser that finds nothing
    // must not pass.
    EXPECT_GE(projects["README.md"], 1);
    EXPECT_GE(projects["screen-format.md"], 1);
}

TEST(Docs, CookbookFragmentsStandAsWrittenInTheirRecipes) {
    QString recipes;
    for (const QString& file : projectFiles("examples/cookbook")) {
        recipes += collapsed(QString::fromStdString(readFile(file.toStdString())));
    }
    int fragments = 0;
    for (const Block& block : fencedBlocks(readFile(source("docs/cookbook.md").toStdString()))) {
        if (block.fence == "jsonc") {
            ++fragments;
            EXPECT_TRUE(recipes.contains(collapsed(QString::fromStdString(block.text))))
                << "cookbook.md, block at line " << block.line << " is in no recipe";
        }
    }
    EXPECT_GE(fragments, 7);
}

TEST(Docs, EveryPictureShownExists) {
    const QRegularExpression image(R"(!\[[^\]]*\]\(([^)\s]+)\))");
    int pictures = 0;
    for (const QString& file : markdownFiles()) {
        const QString text = QString::fromStdString(readFile(file.toStdString()));
        for (const QRegularExpressionMatch& m : image.globalMatch(text)) {
            ++pictures;
            const QString picture = QFileInfo(file).dir().filePath(m.captured(1));
            EXPECT_TRUE(QFileInfo::exists(picture))
                << QFileInfo(file).fileName().toStdString() << " shows "
                << m.captured(1).toStdString() << ", which is not there";
        }
    }
    EXPECT_GE(pictures, 10);
}

// Each picture project and recipe loads without a warning and paints its window; each has its
// committed picture, and each recipe its event script.
TEST(Docs, RecipesAndPictureProjectsRenderCleanly) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QFileInfo::exists(kestroProgram())) << kestroProgram().toStdString();
    struct Set {
        const char* directory;
        const char* picturePrefix;
        bool events;
    };
    for (const Set& set :
         {Set{"docs/images/projects", "", false}, Set{"examples/cookbook", "cookbook-", true}}) {
        const QStringList files = projectFiles(set.directory);
        EXPECT_FALSE(files.isEmpty()) << set.directory;
        for (const QString& file : files) {
            const QString base = QFileInfo(file).completeBaseName();
            SCOPED_TRACE(file.toStdString());
            Project project;
            ProjectError error;
            ASSERT_TRUE(loadProjectFile(file.toStdString(), &project, &error)) << error.text();
            const QString png = dir.filePath(base + ".png");
            const Process r = runKestro({"render", file, "-o", png});
            EXPECT_EQ(r.exitCode, 0);
            EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
            const WindowDef& window = *project.window(project.startWindow);
            EXPECT_EQ(QImage(png).size(), QSize(window.width, window.height));
            const QString picture = source("docs/images/") + set.picturePrefix + base;
            EXPECT_TRUE(QFileInfo::exists(picture + ".png") ||
                        QFileInfo::exists(picture + "-1.png"))
                << "no picture " << picture.toStdString();
            if (set.events) {
                EXPECT_TRUE(QFileInfo::exists(source("examples/cookbook/" + base + ".events")));
            }
        }
    }
}

// What a recipe shows after a step of its event script: a field of a named object, or of the
// event's line itself when the object is "".
struct Expectation {
    int step;
    const char* object;
    const char* field; // "fill.color": a member of a member
    const char* value; // strings as they are, numbers and arrays as compact JSON
};

struct Recipe {
    const char* name;
    std::vector<Expectation> expected;
};

// clang-format off
const Recipe kRecipes[] = {
    {"pump-button", {{2, "Pump", "fill.color", "#3cc85a"}, {2, "State", "text", "Running"},
                     {4, "Pump", "fill.color", "#c4cdd5"}, {4, "State", "text", "Stopped"}}},
    // Level [42, 22, 118, 182]: 160 pixels for 0 to 100, the bottom edge stays.
    {"tank-level", {{0, "Level", "rect", "[42,86,118,182]"}, {0, "Value", "text", "60.0"},
                    {2, "Level", "rect", "[42,142,118,182]"},
                    {4, "Level", "rect", "[42,22,118,182]"},
                    {6, "Level", "rect", "[42,22,118,182]"}, {6, "Value", "text", "150.0"},
                    {8, "Level", "rect", "[42,182,118,182]"}}},
    // show: 11 shown, 1 in the hidden phase of the blink.
    {"alarm-acknowledge", {{2, "Lamp", "fill.color", "#e53935"},
                           {2, "Message", "text", "HIGH LEVEL"}, {3, "Lamp", "show", "1"},
                           {4, "Lamp", "show", "11"}, {5, "Lamp", "show", "1"},
                           {7, "Lamp", "show", "11"}, {8, "Lamp", "show", "11"}}},
    {"setpoint-entry", {{0, "SetPoint", "text", "50.0"}, {3, "SetPoint", "text", "42.5"},
                        {6, "SetPoint", "text", "42.5"}, {9, "SetPoint", "text", "42.5"}}},
    {"navigation", {{0, "", "window", "1"}, {1, "", "window", "2"}, {1, "", "stack", "[1,2]"},
                    {2, "", "window", "1"}, {2, "", "stack", "[1]"}}},
    {"value-units", {{0, "Temperature", "text", "71.4"}, {0, "Pressure", "text", "2500"},
                     {3, "Temperature", "text", "-3.2"}, {3, "Pressure", "text", "1012"}}},
    {"temperature-colour", {{0, "Badge", "fill.color", "#3cc85a"},
                            {2, "Badge", "fill.color", "#3c8ce0"},
                            {4, "Badge", "fill.color", "#3cc85a"},
                            {6, "Badge", "fill.color", "#3cc85a"},
                            {8, "Badge", "fill.color", "#e53935"}}},
};
// clang-format on

QString valueText(const QJsonValue& value) {
    if (value.isString()) {
        return value.toString();
    }
    if (value.isArray()) {
        return QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact));
    }
    if (value.isObject()) {
        return QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
    }
    return QString::number(value.toDouble());
}

QJsonValue member(QJsonValue value, const QString& path) {
    for (const QString& part : path.split('.')) {
        value = value.toObject().value(part);
    }
    return value;
}

TEST(Docs, EveryRecipeDoesWhatItsScriptShows) {
    ASSERT_TRUE(QFileInfo::exists(kestroProgram())) << kestroProgram().toStdString();
    EXPECT_EQ(std::size(kRecipes), static_cast<size_t>(projectFiles("examples/cookbook").size()))
        << "every recipe needs its row";
    for (const Recipe& recipe : kRecipes) {
        SCOPED_TRACE(recipe.name);
        const QString base = source(QString("examples/cookbook/") + recipe.name);
        const Process r = runKestro({"run", base + ".json", "--events", base + ".events"});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        std::map<int, QJsonObject> steps;
        for (const QByteArray& line : r.out.split('\n')) {
            if (!line.isEmpty()) {
                const QJsonObject object = QJsonDocument::fromJson(line).object();
                steps[object["step"].toInt()] = object;
            }
        }
        for (const Expectation& e : recipe.expected) {
            SCOPED_TRACE("step " + std::to_string(e.step) + ", " + e.object + " " + e.field);
            ASSERT_TRUE(steps.count(e.step));
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
