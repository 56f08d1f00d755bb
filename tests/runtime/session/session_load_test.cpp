// Loading a project into a session through the real plug-in: windows, objects read through the
// drawing-object base, database, languages, strategies, and damaged records skipped and named.
#include "tests/support/sessiontest.h"

#include "kestrovalumen/host/rtti.h"
#include "runtime/host/gui.h"
#include "runtime/host/linguist.h"

#include <QColor>
#include <QImage>

using namespace kestro;
using namespace sessiontest;

namespace {

using SessionLoad = PluginTest;

TEST_F(SessionLoad, ReadsWindowsObjectsAndServices) {
    ProjectBuilder b;
    b.tag("Level", VarType::Float, 42.0);
    b.tag("Name", VarType::String);
    b.project.tags[1].text = "Tank";
    b.project.languages = {LanguageDef{"en", {{"k", "one"}}}, LanguageDef{"de", {{"k", "eins"}}}};
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
    EXPECT_EQ(session.windowStack(), std::vector<int>{1});
    EXPECT_EQ(session.windowSize(), QSize(200, 100));
    const std::vector<ObjectState> states = session.objectStates();
    ASSERT_EQ(states.size(), 2u);
    const ObjectState& s = states[0];
    EXPECT_EQ(std::make_tuple(s.window, s.index, s.name, s.className, s.classNumber),
              std::make_tuple(1, 0, std::string("Box"), std::string("CDrawRect"), 0x5004u));
    EXPECT_EQ(std::vector<int>({s.rect.left, s.rect.top, s.rect.right, s.rect.bottom}),
              std::vector<int>({10, 20, 50, 60}));
    EXPECT_EQ(std::make_tuple(s.showState, s.visible, s.pen, s.penWidth, s.penColor, s.brush,
                              s.brushColor, s.hasClipRect),
              std::make_tuple(11, true, 1, 3, 0x112233u, 1, 0x445566u, false));
    EXPECT_EQ(states[1].className, "CDrawEllipse");
    EXPECT_EQ(states[1].pen, 0);
    ASSERT_EQ(session.objectStates(2).size(), 1u);
    EXPECT_EQ(session.objectStates(2)[0].name, "Other");

    EXPECT_EQ(Rtdb::instance().variable(0)->name, "Level");
    EXPECT_DOUBLE_EQ(floatTag(0), 42.0);
    std::string text;
    EXPECT_EQ(Rtdb::instance().getString(1, &text), RtdbOk);
    EXPECT_EQ(text, "Tank");
    EXPECT_EQ(Linguist::instance().translate("k"), "one"); // the first language by default
    EXPECT_EQ(Strategies::instance().run(1, 0), 0);
    EXPECT_DOUBLE_EQ(floatTag(0), 90.0);
    int v[4] = {};
    ASSERT_TRUE(Gui::instance().version(&v[0], &v[1], &v[2], &v[3], nullptr));
    EXPECT_EQ(std::vector<int>(v, v + 4), std::vector<int>({3, 2, 5, 1841}));

    b.project.language = "de";
    Session german(options());
    ASSERT_TRUE(german.load(b.project, &error)) << error;
    EXPECT_EQ(Linguist::instance().translate("k"), "eins");
}

TEST_F(SessionLoad, ProjectsThatCannotRunAreRefused) {
    const struct {
        void (*spoil)(Project&);
        const char* message;
    } cases[] = {
        {[](Project& p) { p.windows.clear(); }, "the project has no window"},
        {[](Project& p) { p.startWindow = 9; }, "the start window 9 does not exist"},
        {[](Project& p) { p.windows.push_back(p.windows.front()); }, "window 1 is defined twice"},
        {[](Project& p) { p.tags.push_back(p.tags.front()); }, "tag 1 \"A\": the name is taken"},
        {[](Project& p) { p.tags.front().name.clear(); }, "tag 0 \"\": no name"},
        {[](Project& p) {
             StrategyDef s;
             s.number = 4;
             s.name = "Drain";
             s.actions.push_back({StrategyAction::Kind::Set, "Nope", 0.0, {}});
             p.strategies.push_back(s);
         },
         "strategy 4 (Drain): unknown tag \"Nope\""},
    };
    for (const auto& c : cases) {
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
    // The name's length byte is at 61 (version 1, words 8, rectangle 16, outline 2 + 16, fill
    // 2 + 12, attribute 2 + 2); three of its ten bytes are left: the string reader throws.
    ObjectDef cutName = ProjectBuilder::object(ProjectBuilder::shape("ABCDEFGHIJ", 0, 0, 9, 9, 0));
    cutName.record.resize(65);
    w.objects.push_back(cutName);
    ObjectDef unknown = ProjectBuilder::object(ProjectBuilder::shape("Alien", 0, 0, 9, 9, 0));
    unknown.classNumber = 0x5099;
    w.objects.push_back(unknown);
    ObjectDef longer = ProjectBuilder::object(ProjectBuilder::shape("Long", 0, 0, 9, 9, 0));
    longer.record += "xyz";
    w.objects.push_back(longer);
    w.objects.push_back(
        ProjectBuilder::object(ProjectBuilder::shape("Right", 60, 0, 100, 50, 0x0000FF)));

    Session session(options());
    std::string error;
    ASSERT_TRUE(session.load(b.project, &error)) << error;
    const std::vector<LoadProblem>& problems = session.problems();
    ASSERT_EQ(problems.size(), 5u);
    EXPECT_EQ(problems[0].text(),
              "window 1, object 2 (CDrawRect \"Broken\"): the record did not load");
    EXPECT_TRUE(problems[0].skipped);
    EXPECT_TRUE(problems[0].monitor.empty());
    const std::string expected = "window 1, object 3 (CDrawRect \"BadAnimation\"): the record did "
                                 "not load; monitor 2 \"Create Animation obj is fail\"; log ";
    EXPECT_EQ(problems[1].text().rfind(expected, 0), 0u) << problems[1].text();
    ASSERT_EQ(problems[1].logs.size(), 1u);
    EXPECT_EQ(problems[1].logs[0].text, "12300");
    EXPECT_EQ(problems[2].reason.rfind("loading the record threw: ", 0), 0u) << problems[2].reason;
    EXPECT_EQ(problems[3].reason, "class 0x5099 is not registered");
    EXPECT_EQ(problems[3].className, "");
    EXPECT_EQ(problems[4].reason, "3 bytes after the record were not read");
    EXPECT_FALSE(problems[4].skipped);

    const std::vector<ObjectState> states = session.objectStates();
    ASSERT_EQ(states.size(), 3u);
    EXPECT_EQ(states[0].name, "Left");
    EXPECT_EQ(states[1].name, "Long");
    EXPECT_EQ(states[2].index, 6);
    session.advance(0);
    const QImage image = session.render();
    EXPECT_EQ(image.pixelColor(10, 25), QColor(0xFF0000));
    EXPECT_EQ(image.pixelColor(80, 25), QColor(0x0000FF));
    EXPECT_EQ(image.pixelColor(50, 25), QColor(0xFFFFFF));
}

TEST_F(SessionLoad, ClassesFromElsewhereAreNotReadAsOurs) {
    // Registered by nobody we loaded: the host cannot know what it derives from.
    class Stranger : public rtti::clazz_c {
    public:
        std::string class_name() const override { return "Stranger"; }
        uint32_t class_id() const override { return 0x7001; }
    };
    Stranger stranger;
    ASSERT_TRUE(ClassRegistry::instance().add(&stranger));
    ProjectBuilder b;
    b.window(1).objects = {
        ProjectBuilder::object(ProjectBuilder::shape("S", 0, 0, 9, 9, 0), 0x7001)};
    Session session(options());
    std::string error;
    const bool loaded = session.load(b.project, &error);
    ClassRegistry::instance().remove(&stranger);
    ASSERT_TRUE(loaded) << error;
    ASSERT_EQ(session.problems().size(), 1u);
    EXPECT_EQ(session.problems()[0].className, "Stranger");
    EXPECT_EQ(session.problems()[0].reason,
              "class 0x7001 comes from no loaded plug-in, not from one of ours");
    EXPECT_TRUE(session.objectStates().empty());
}

} // namespace
