// Loading a project into a session through the real plug-in: windows, objects read through the
// drawing-object base, database, languages, strategies, and damaged records skipped and named.
#include "tests/support/sessiontest.h"

#include "runtime/host/gui.h"
#include "runtime/host/linguist.h"

#include <QColor>
#include <QImage>

using namespace kestro;
using namespace sessiontest;

namespace {

using SessionLoad = PluginTest;

TEST_F(SessionLoad, ReadsWindowsAndObjectsThroughTheBase) {
    ProjectBuilder b;
    b.tag("Level", VarType::Float, 42.0);
    b.tag("Name", VarType::String);
    b.project.tags[1].text = "Tank";
    LanguageDef en{"en", {{"greeting", "Hello"}}};
    LanguageDef de{"de", {{"greeting", "Hallo"}}};
    b.project.languages = {en, de};
    StrategyDef fill;
    fill.number = 1;
    fill.name = "Fill";
    fill.actions.push_back({StrategyAction::Kind::Set, "Level", 90.0, {}});
    b.project.strategies.push_back(fill);

    ObjectRecord box = ProjectBuilder::shape("Box", 10, 20, 50, 60, 0x445566);
    box.pen = 1;
    box.penWidthX = 3;
    box.penColor = 0x112233;
    ObjectRecord ball = ProjectBuilder::shape("Ball", 60, 10, 90, 40, 0x00FF00);
    b.window(1).objects = {ProjectBuilder::object(box), ProjectBuilder::object(ball, kEllipse)};
    b.window(2).objects = {ProjectBuilder::object(ProjectBuilder::shape("Other", 0, 0, 5, 5, 0))};

    Session session(options());
    std::string error;
    ASSERT_TRUE(session.load(b.project, &error)) << error;
    EXPECT_TRUE(session.problems().empty());
    EXPECT_EQ(session.currentWindow(), 1);
    EXPECT_EQ(session.windowStack(), std::vector<int>{1});
    EXPECT_EQ(session.windowSize(), QSize(200, 100));

    const std::vector<ObjectState> states = session.objectStates();
    ASSERT_EQ(states.size(), 2u);
    const ObjectState& s = states[0];
    EXPECT_EQ(s.window, 1);
    EXPECT_EQ(s.index, 0);
    EXPECT_EQ(s.name, "Box");
    EXPECT_EQ(s.className, "CDrawRect");
    EXPECT_EQ(s.classNumber, 0x5004u);
    EXPECT_EQ(s.rect.left, 10);
    EXPECT_EQ(s.rect.top, 20);
    EXPECT_EQ(s.rect.right, 50);
    EXPECT_EQ(s.rect.bottom, 60);
    EXPECT_EQ(s.showState, 11);
    EXPECT_TRUE(s.visible);
    EXPECT_EQ(s.pen, 1);
    EXPECT_EQ(s.penWidth, 3);
    EXPECT_EQ(s.penColor, 0x112233u);
    EXPECT_EQ(s.brush, 1);
    EXPECT_EQ(s.brushColor, 0x445566u);
    EXPECT_FALSE(s.hasClipRect);
    EXPECT_EQ(s.text, "");
    EXPECT_EQ(states[1].className, "CDrawEllipse");
    EXPECT_EQ(states[1].pen, 0);

    const std::vector<ObjectState> other = session.objectStates(2);
    ASSERT_EQ(other.size(), 1u);
    EXPECT_EQ(other[0].name, "Other");

    // The database in tag order, the languages, the strategies and the version.
    Rtdb& rtdb = Rtdb::instance();
    ASSERT_EQ(rtdb.count(), 2);
    EXPECT_EQ(rtdb.variable(0)->name, "Level");
    EXPECT_DOUBLE_EQ(floatTag(0), 42.0);
    std::string text;
    EXPECT_EQ(rtdb.getString(1, &text), RtdbOk);
    EXPECT_EQ(text, "Tank");
    EXPECT_EQ(Linguist::instance().currentLanguage(), "en");
    EXPECT_EQ(Linguist::instance().translate("greeting"), "Hello");
    EXPECT_EQ(Strategies::instance().nameOf(1), "Fill");
    EXPECT_EQ(Strategies::instance().run(1, 0), 0);
    EXPECT_DOUBLE_EQ(floatTag(0), 90.0);
    int major = 0, minor = 0, build = 0, revision = 0;
    ASSERT_TRUE(Gui::instance().version(&major, &minor, &build, &revision, nullptr));
    EXPECT_EQ(std::vector<int>({major, minor, build, revision}), std::vector<int>({3, 2, 5, 1841}));
}

TEST_F(SessionLoad, ChosenLanguageIsCurrent) {
    ProjectBuilder b;
    b.project.languages = {LanguageDef{"en", {{"k", "one"}}}, LanguageDef{"de", {{"k", "eins"}}}};
    b.project.language = "de";
    b.window(1);
    Session session(options());
    std::string error;
    ASSERT_TRUE(session.load(b.project, &error)) << error;
    EXPECT_EQ(Linguist::instance().translate("k"), "eins");
}

struct BrokenProject {
    const char* name;
    void (*spoil)(Project&);
    const char* message;
};

const BrokenProject kBrokenProjects[] = {
    {"no window", [](Project& p) { p.windows.clear(); }, "the project has no window"},
    {"missing start window", [](Project& p) { p.startWindow = 9; },
     "the start window 9 does not exist"},
    {"window twice", [](Project& p) { p.windows.push_back(p.windows.front()); },
     "window 1 is defined twice"},
    {"tag twice", [](Project& p) { p.tags.push_back(p.tags.front()); },
     "tag 1 \"A\": the name is taken"},
    {"tag without name", [](Project& p) { p.tags.front().name.clear(); }, "tag 0 \"\": no name"},
    {"strategy on an unknown tag",
     [](Project& p) {
         StrategyDef s;
         s.number = 4;
         s.name = "Drain";
         s.actions.push_back({StrategyAction::Kind::Set, "Nope", 0.0, {}});
         p.strategies.push_back(s);
     },
     "strategy 4 (Drain): unknown tag \"Nope\""},
};

TEST_F(SessionLoad, ProjectsThatCannotRunAreRefused) {
    for (const BrokenProject& c : kBrokenProjects) {
        SCOPED_TRACE(c.name);
        ProjectBuilder b;
        b.tag("A", VarType::Int);
        b.window(1);
        c.spoil(b.project);
        Session session(options());
        std::string error;
        EXPECT_FALSE(session.load(b.project, &error));
        EXPECT_EQ(error, c.message);
    }
}

TEST_F(SessionLoad, DamagedRecordsAreSkippedAndNamedWhileTheRestLoads) {
    ProjectBuilder b;
    WindowDef& w = b.window(1, 100, 50);
    w.objects.push_back(
        ProjectBuilder::object(ProjectBuilder::shape("Left", 0, 0, 40, 50, 0xFF0000)));

    // Cut inside the outline record: a short read, reported by nobody.
    ObjectDef truncated = ProjectBuilder::object(ProjectBuilder::shape("Broken", 0, 0, 9, 9, 0));
    truncated.record.resize(30);
    w.objects.push_back(truncated);

    // An animation type that does not exist: the loader reports it.
    ObjectRecord unknownAnimation = ProjectBuilder::shape("BadAnimation", 0, 0, 9, 9, 0);
    unknownAnimation.animations.push_back({0x300C, std::string()});
    ObjectDef bad = ProjectBuilder::object(unknownAnimation);
    bad.name.clear(); // the name comes from the record then
    w.objects.push_back(bad);

    // A name whose length runs past the end: the string reader throws.
    ObjectDef cutName = ProjectBuilder::object(ProjectBuilder::shape("ABCDEFGHIJ", 0, 0, 9, 9, 0));
    // version 1, words 8, rectangle 16, outline 2 + 16, fill 2 + 12, attribute 2 + 2: the name's
    // length byte is at 61; three of its ten bytes are left.
    cutName.record.resize(65);
    w.objects.push_back(cutName);

    w.objects.push_back(
        ProjectBuilder::object(ProjectBuilder::shape("Right", 60, 0, 100, 50, 0x0000FF)));

    Session session(options());
    std::string error;
    ASSERT_TRUE(session.load(b.project, &error)) << error;

    const std::vector<LoadProblem>& problems = session.problems();
    ASSERT_EQ(problems.size(), 3u);
    EXPECT_EQ(problems[0].window, 1);
    EXPECT_EQ(problems[0].index, 1);
    EXPECT_EQ(problems[0].className, "CDrawRect");
    EXPECT_EQ(problems[0].objectName, "Broken");
    EXPECT_EQ(problems[0].reason, "the record did not load");
    EXPECT_TRUE(problems[0].skipped);
    EXPECT_TRUE(problems[0].monitor.empty());

    EXPECT_EQ(problems[1].index, 2);
    EXPECT_EQ(problems[1].objectName, "BadAnimation");
    ASSERT_EQ(problems[1].monitor.size(), 1u);
    EXPECT_EQ(problems[1].monitor[0].code, 2);
    EXPECT_EQ(problems[1].monitor[0].message, "Create Animation obj is fail");
    ASSERT_EQ(problems[1].logs.size(), 1u);
    EXPECT_EQ(problems[1].logs[0].text, "12300");
    EXPECT_NE(problems[1].text().find("window 1, object 2 (CDrawRect \"BadAnimation\")"),
              std::string::npos)
        << problems[1].text();
    EXPECT_NE(problems[1].text().find("monitor 2 \"Create Animation obj is fail\""),
              std::string::npos);

    EXPECT_EQ(problems[2].index, 3);
    EXPECT_EQ(problems[2].reason.rfind("loading the record threw: ", 0), 0u) << problems[2].reason;

    const std::vector<ObjectState> states = session.objectStates();
    ASSERT_EQ(states.size(), 2u);
    EXPECT_EQ(states[0].name, "Left");
    EXPECT_EQ(states[1].name, "Right");
    EXPECT_EQ(states[1].index, 4);

    session.advance(0);
    const QImage image = session.render();
    EXPECT_EQ(image.pixelColor(10, 25), QColor(0xFF0000));
    EXPECT_EQ(image.pixelColor(80, 25), QColor(0x0000FF));
    EXPECT_EQ(image.pixelColor(50, 25), QColor(0xFFFFFF));
}

TEST_F(SessionLoad, UnknownClassesAndLeftoverBytesAreNamed) {
    ProjectBuilder b;
    ObjectDef unknown = ProjectBuilder::object(ProjectBuilder::shape("Alien", 0, 0, 9, 9, 0));
    unknown.classNumber = 0x5099;
    ObjectDef longer = ProjectBuilder::object(ProjectBuilder::shape("Long", 0, 0, 9, 9, 0));
    longer.record += "xyz";
    b.window(1).objects = {unknown, longer};

    Session session(options());
    std::string error;
    ASSERT_TRUE(session.load(b.project, &error)) << error;
    ASSERT_EQ(session.problems().size(), 2u);
    EXPECT_EQ(session.problems()[0].reason, "class 0x5099 is not registered");
    EXPECT_EQ(session.problems()[0].className, "");
    EXPECT_TRUE(session.problems()[0].skipped);
    EXPECT_EQ(session.problems()[1].reason, "3 bytes after the record were not read");
    EXPECT_FALSE(session.problems()[1].skipped);
    ASSERT_EQ(session.objectStates().size(), 1u);
    EXPECT_EQ(session.objectStates()[0].name, "Long");
}

TEST_F(SessionLoad, OldProjectsGetTheOldAnimationHeader) {
    // Before 3.2.5.1841 the header holds the source text instead of the version byte.
    ProjectBuilder b;
    b.project.version = {3, 2, 5, 1840, "3.2.5.1840"};
    b.tag("Show", VarType::Int, 0);
    ObjectRecord lamp = ProjectBuilder::shape("Lamp", 0, 0, 10, 10, 0);
    VisibleRecord visible;
    visible.header = b.header("Show");
    visible.header.form = AnimationHeader::Form::Old;
    visible.header.source = "Show";
    lamp.animations.push_back(animationEntry(visible));
    b.window(1).objects = {ProjectBuilder::object(lamp)};

    Session session(options());
    std::string error;
    ASSERT_TRUE(session.load(b.project, &error)) << error;
    EXPECT_TRUE(session.problems().empty());
    session.refresh();
    EXPECT_EQ(stateOf(session, "Lamp").showState, 10);
}

} // namespace
