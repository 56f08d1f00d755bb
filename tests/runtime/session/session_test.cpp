// A session over the real plug-in: loading, painting, bounded records, an object's JSON.
#include "tests/support/sessiontest.h"

#include "runtime/session/pluginloader.h"

#include "kestrovalumen/host/rtti.h"
#include "runtime/host/linguist.h"
#include "runtime/host/logger.h"
#include "runtime/host/rtdb.h"
#include "runtime/paint/paintrecord.h"
#include "runtime/session/report.h"

#include <QColor>
#include <QImage>
#include <QJsonDocument>
#include <QPainter>

using namespace kestro;
using namespace sessiontest;

namespace {

using SessionLoad = PluginTest;
using SessionPaint = PluginTest;
using SessionRecords = PluginTest;

TEST_F(SessionLoad, ReadsWindowsObjectsAndServices) {
    ProjectBuilder b;
    b.tag("Level", VarType::Float, 42.0);
    b.tag("Name", VarType::String);
    b.project.tags[1].text = "Tank";
    b.project.languages = {LanguageDef{"en", {{"k", "one"}}}, LanguageDef{"de", {{"k", "eins"}}}};
    ObjectRecord box = ProjectBuilder::shape("Box", 10, 20, 50, 60, 0x445566);
    box.pen = 1;
    box.penWidthX = 3;
    box.penColor = 0x112233;
    b.window(1).objects = {ProjectBuilder::object(box)};
    b.window(2).objects = {ProjectBuilder::object(ProjectBuilder::shape("Other", 0, 0, 5, 5, 0))};

    Session session(options());
    std::string error;
    ASSERT_TRUE(session.load(b.project, &error)) << error;
    EXPECT_TRUE(session.problems().empty());
    EXPECT_EQ(session.windowStack(), std::vector<int>{1});
    EXPECT_EQ(session.windowSize(), QSize(200, 100));
    const std::vector<ObjectState> states = session.objectStates();
    ASSERT_EQ(states.size(), 1u);
    const ObjectState& s = states[0];
    EXPECT_EQ(std::make_tuple(s.window, s.index, s.name, s.className, s.classNumber),
              std::make_tuple(1, 0, std::string("Box"), std::string("CDrawRect"), 0x5004u));
    EXPECT_EQ(std::vector<int>({s.rect.left, s.rect.top, s.rect.right, s.rect.bottom}),
              std::vector<int>({10, 20, 50, 60}));
    EXPECT_EQ(std::make_tuple(s.showState, s.visible, s.pen, s.penWidth, s.penColor, s.brush,
                              s.brushColor, s.hasClipRect),
              std::make_tuple(11, true, 1, 3, 0x112233u, 1, 0x445566u, false));
    EXPECT_EQ(session.objectStates(2).at(0).name, "Other");
    EXPECT_DOUBLE_EQ(floatTag(0), 42.0);
    std::string text;
    EXPECT_EQ(Rtdb::instance().getString(1, &text), RtdbOk);
    EXPECT_EQ(text, "Tank");
    EXPECT_EQ(Linguist::instance().translate("k"), "one"); // the first language by default

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
    EXPECT_EQ(problems[3].text(),
              "window 1, object 5 (0x5099 \"Alien\"): class 0x5099 is not registered");
    EXPECT_EQ(problems[4].reason, "3 bytes after the record were not read");
    EXPECT_FALSE(problems[4].skipped);

    const std::vector<ObjectState> states = session.objectStates();
    ASSERT_EQ(states.size(), 3u);
    EXPECT_EQ(states[0].name, "Left");
    EXPECT_EQ(states[1].name, "Long");
    EXPECT_EQ(states[2].index, 6);
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

Project smallScreen() {
    ProjectBuilder b;
    b.tag("Alarm", VarType::Int, 1);
    ObjectRecord box = ProjectBuilder::shape("Box", 10, 20, 50, 60, 0xFF0000);
    ObjectRecord ring = ProjectBuilder::shape("Ring", 60, 10, 110, 60, 0xFFFF00);
    ring.pen = 1;
    ring.penWidthX = 2;
    ring.penColor = 0x000080;
    BlinkRecord blink;
    blink.header = b.header("Alarm");
    blink.blinkType = 1;
    blink.blinkBrushColor = 0x00FFFF;
    ring.animations.push_back(animationEntry(blink));
    b.window(1, 120, 80, 0x00FF00).objects = {ProjectBuilder::object(box),
                                              ProjectBuilder::object(ring, kEllipse)};
    return b.project;
}

TEST_F(SessionPaint, RenderShowsBackgroundAndObjectsAndScales) {
    Session session(options());
    std::string error;
    ASSERT_TRUE(session.load(smallScreen(), &error)) << error;
    const QImage scaled = session.render(QSize(240, 160));
    EXPECT_EQ(scaled.pixelColor(60, 80), QColor(0xFF0000));
    EXPECT_EQ(scaled.pixelColor(110, 80), QColor(0x00FF00));
    session.advance(0.25);
    const QImage image = session.render();
    ASSERT_EQ(image.size(), QSize(120, 80));
    EXPECT_EQ(image.pixelColor(0, 0), QColor(0x00FF00));
    EXPECT_EQ(image.pixelColor(85, 35), QColor(0x00FFFF)); // one colour-blink tick
    // The box's right edge: with no outline the fill ends at right - 2.
    EXPECT_EQ(image.pixelColor(48, 40), QColor(0xFF0000));
    EXPECT_EQ(image.pixelColor(50, 40), QColor(0x00FF00));
}

TEST_F(SessionPaint, ObjectsStopAtTheWindowsEdgeOnALargerView) {
    ProjectBuilder b;
    b.window(1, 120, 80, 0x00FF00).objects = {
        ProjectBuilder::object(ProjectBuilder::shape("Wide", 100, 10, 200, 120, 0xFF0000))};
    Session session(options());
    std::string error;
    ASSERT_TRUE(session.load(b.project, &error)) << error;
    QImage view(300, 200, QImage::Format_RGB32);
    view.fill(Qt::white);
    QPainter painter(&view);
    session.paint(&painter);
    EXPECT_FALSE(painter.hasClipping()); // the view's painter is handed back as it came
    painter.end();
    EXPECT_EQ(view.pixelColor(110, 40), QColor(0xFF0000));
    EXPECT_EQ(view.pixelColor(119, 79), QColor(0xFF0000));
    EXPECT_EQ(view.pixelColor(120, 40), QColor(Qt::white));
    EXPECT_EQ(view.pixelColor(110, 80), QColor(Qt::white));
}

TEST_F(SessionPaint, TraceRecordsEveryCallPerObject) {
    Session session(options());
    std::string error;
    ASSERT_TRUE(session.load(smallScreen(), &error)) << error;
    session.start();
    const Session::Trace trace = session.trace();
    EXPECT_EQ(trace.size, QSize(120, 80));

    ASSERT_EQ(trace.background.size(), 1u);
    EXPECT_EQ(trace.background[0].rect(), QRectF(0, 0, 120, 80));
    EXPECT_EQ(trace.background[0].state.brush.color(), QColor(0x00FF00));
    ASSERT_EQ(trace.objects.size(), 2u);
    EXPECT_EQ(trace.objects[1].index, 1);
    EXPECT_EQ(trace.objects[1].className, "CDrawEllipse");
    const PaintRecords box = drawings(trace.objects[0].records);
    ASSERT_EQ(box.size(), 1u) << dump(trace.objects[0].records).toStdString();
    // No outline: corners (10, 20) and (50 - 2, 60 - 2).
    EXPECT_EQ(box[0].rect(), QRectF(10, 20, 39, 39));
    EXPECT_EQ(box[0].state.pen.style(), Qt::NoPen);
    const PaintRecords ring = drawings(trace.objects[1].records);
    ASSERT_EQ(ring.size(), 1u) << dump(trace.objects[1].records).toStdString();
    // Outline 2: corners (60 + 1, 10 + 1) and (110 - 1 - 1, 60 - 1 - 1).
    EXPECT_EQ(ring[0].rect(), QRectF(61, 11, 48, 48));
    EXPECT_EQ(ring[0].state.pen.color(), QColor(0x000080));
    EXPECT_EQ(ring[0].state.brush.color(), QColor(0xFFFF00));
}

// A lamp whose condition fails on every refresh: a monitor and a log record each time; and a
// simulated tag, whose writes are the session's own and no calls.
Project failingLamp() {
    ProjectBuilder b;
    b.tag("Zero", VarType::Int, 0);
    b.tag("Level", VarType::Float, 0.0);
    b.project.tags[1].simulation = {Simulation::Kind::Ramp, 10.0, 0.0, 10.0, 1.0, 1, {}};
    ObjectRecord lamp = ProjectBuilder::shape("Lamp", 10, 10, 30, 30, 0xFF0000);
    VisibleRecord visible;
    visible.header = b.header("1 / Zero");
    lamp.animations.push_back(animationEntry(visible));
    b.window(1).objects = {ProjectBuilder::object(lamp)};
    return b.project;
}

TEST_F(SessionRecords, AFixedCountAfterAnyNumberOfEvents) {
    std::vector<size_t> kept;
    for (int events : {10, 200}) {
        Session session(options());
        std::string error;
        ASSERT_TRUE(session.load(failingLamp(), &error)) << error;
        session.start();
        for (int i = 0; i < events; ++i) {
            const CallMark mark = session.mark();
            session.advance(1.0);
            ASSERT_FALSE(session.callsSince(mark).monitor.empty()) << "the lamp must fail";
            session.forgetRecords();
        }
        kept.push_back(session.recordsKept());
    }
    EXPECT_EQ(kept[0], kept[1]);
}

TEST_F(SessionRecords, OneLongEventKeepsTheLatestAndCountsTheRestButNoSimulatedWrites) {
    Session session(options());
    std::string error;
    ASSERT_TRUE(session.load(failingLamp(), &error)) << error;
    session.setRecordLimit(50);
    session.start();
    const CallMark mark = session.mark();
    session.advance(600.0);
    const HostCalls calls = session.callsSince(mark);
    EXPECT_LE(calls.monitor.size(), 50u);
    EXPECT_LE(calls.logs.size(), 50u);
    EXPECT_GT(calls.dropped, 0u);
    ASSERT_GT(Rtdb::instance().writes().dropped(), 0u) << "the ramp must write past the limit";
    EXPECT_TRUE(calls.writes.empty());
    EXPECT_EQ(calls.monitor.size() + calls.logs.size() + calls.dropped,
              HostLog::instance().monitor().total() - mark.monitor +
                  HostLog::instance().logs().total() - mark.logs);
    EXPECT_LE(session.recordsKept(), 12u * 50u);
}

QString compact(const QJsonObject& o) {
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

TEST(SessionReport, ObjectState) {
    ObjectState s;
    s.index = 3;
    s.name = "Tank";
    s.className = "CDrawRect";
    s.rect = {1, 2, 30, 40};
    s.showState = 1; // visible, in the hidden blink phase
    s.pen = 1;
    s.penWidth = 2;
    s.penColor = 0x0000FF;
    s.brushColor = 0xFFFFFF;
    s.text = "温度";
    EXPECT_EQ(compact(toJson(s)),
              "{\"class\":\"CDrawRect\",\"clip\":null,\"fill\":{\"color\":\"#ffffff\",\"on\":0,"
              "\"style\":0},\"index\":3,\"name\":\"Tank\",\"pen\":{\"color\":\"#0000ff\",\"on\":1,"
              "\"style\":0,\"width\":2},\"rect\":[1,2,30,40],\"show\":1,\"shown\":false,"
              "\"text\":\"温度\",\"visible\":true}");

    s.hasClipRect = true;
    s.clip = true;
    s.clipRect = {0, 0, 5, 6};
    EXPECT_EQ(compact(toJson(s)["clip"].toObject()), "{\"on\":true,\"rect\":[0,0,5,6]}");
}

TEST(PluginSet, LoadsOurPluginsInNameOrderAndUnloadsThem) {
    ClassRegistry& registry = ClassRegistry::instance();
    {
        PluginSet plugins;
        std::string error;
        ASSERT_TRUE(plugins.loadDirectory(pluginDir(), &error)) << error;
        // The directory also holds the host library and static libraries, which are no plug-ins.
        std::string previous;
        for (const LoadedPlugin& plugin : plugins.plugins()) {
            EXPECT_EQ(plugin.identifier.rfind("vorn_", 0), 0u) << plugin.path;
            EXPECT_LT(previous, plugin.path);
            previous = plugin.path;
        }
        const LoadedPlugin* owner = plugins.ownerOf(registry.byName("CDrawRect"));
        ASSERT_NE(owner, nullptr);
        EXPECT_EQ(owner->path, pluginDir() + "/libkestrovalumen.so");
    }
    EXPECT_TRUE(registry.classes().empty()); // __plugin_cleanup withdrew every class
}

TEST(PluginSet, RefusesWhatIsNotAPlugin) {
    PluginSet plugins;
    std::string error;
    EXPECT_FALSE(plugins.loadFile(pluginDir() + "/libkestrohost.so", &error));
    EXPECT_EQ(error, pluginDir() + "/libkestrohost.so is not a plug-in: no __plugin_init");
    EXPECT_FALSE(plugins.loadFile(pluginDir() + "/libnothing-here.so", &error));
    EXPECT_EQ(error.rfind("cannot load " + pluginDir() + "/libnothing-here.so: ", 0), 0u) << error;
    EXPECT_FALSE(plugins.loadDirectory(pluginDir() + "/no-such-directory", &error));
    EXPECT_EQ(error.rfind("cannot read the plug-in directory ", 0), 0u) << error;
    EXPECT_TRUE(plugins.plugins().empty());
}

} // namespace
