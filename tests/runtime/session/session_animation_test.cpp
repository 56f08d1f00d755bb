// Sessions that drive each animation kind of the real plug-in through refreshes, blink ticks,
// clicks, trigger codes, synchronised values and keyboard answers. Expected states are worked
// out by hand from the animations' rules.
#include "tests/support/sessiontest.h"

#include "kestrovalumen/host/rtti.h"
#include "runtime/host/gui.h"
#include "runtime/host/logger.h"
#include "runtime/project/textfields.h"

#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <memory>

using namespace kestro;
using namespace sessiontest;

namespace {

using SessionAnimation = PluginTest;

std::unique_ptr<Session> loaded(const Project& project, SessionOptions options) {
    auto session = std::make_unique<Session>(options);
    std::string error;
    EXPECT_TRUE(session->load(project, &error)) << error;
    EXPECT_TRUE(session->problems().empty())
        << (session->problems().empty() ? "" : session->problems().front().text());
    return session;
}

void set(Session& session, const std::string& tag, const std::string& value) {
    std::string error;
    ASSERT_TRUE(session.setTag(tag, value, &error)) << error;
}

std::vector<int> rectOf(const ObjectState& s) {
    return {s.rect.left, s.rect.top, s.rect.right, s.rect.bottom};
}

TEST_F(SessionAnimation, VisibilityFollowsItsConditionOnRefresh) {
    ProjectBuilder b;
    b.tag("Show", VarType::Int, 1);
    ObjectRecord lamp = ProjectBuilder::shape("Lamp", 10, 10, 30, 30, 0xFF0000);
    VisibleRecord visible;
    visible.header = b.header("Show");
    lamp.animations.push_back(animationEntry(visible));
    b.window(1).objects = {ProjectBuilder::object(lamp)};
    auto session = loaded(b.project, options());

    session->start();
    EXPECT_EQ(stateOf(*session, "Lamp").showState, 11);
    EXPECT_EQ(stateOf(*session, "Lamp").changes, 0u);

    set(*session, "Show", "0");
    session->refresh();
    ObjectState s = stateOf(*session, "Lamp");
    EXPECT_EQ(s.showState, 10);
    EXPECT_FALSE(s.visible);
    EXPECT_EQ(s.changes, 1u);
    // The host does not paint an invisible object.
    EXPECT_EQ(session->render().pixelColor(20, 20), QColor(0xFFFFFF));
    EXPECT_EQ(session->hitTest(20, 20), -1);

    session->refresh(); // unchanged: no change reported
    EXPECT_EQ(stateOf(*session, "Lamp").changes, 1u);

    set(*session, "Show", "1");
    session->refresh();
    EXPECT_EQ(stateOf(*session, "Lamp").showState, 11);
    EXPECT_EQ(session->render().pixelColor(20, 20), QColor(0xFF0000));
}

Project blinkProject(int blinkType) {
    ProjectBuilder b;
    b.tag("Alarm", VarType::Int, 1);
    ObjectRecord lamp = ProjectBuilder::shape("Lamp", 10, 10, 30, 30, 0xFF0000);
    BlinkRecord blink;
    blink.header = b.header("Alarm");
    blink.blinkType = blinkType;
    blink.blinkBrushColor = 0x0000FF;
    lamp.animations.push_back(animationEntry(blink));
    b.window(1).objects = {ProjectBuilder::object(lamp)};
    return b.project;
}

TEST_F(SessionAnimation, ShowHideBlinkFlipsOnEveryTickOfTheClock) {
    auto session = loaded(blinkProject(0), options());
    // Ticks per instant: 0.25 s tick 1; 0.5 s ticks 1, 2; 0.75 s tick 1; 1.0 s ticks 1, 2, 3.
    // Each flips the tens digit while the condition holds.
    struct Step {
        double advance;
        int showState;
    };
    const Step steps[] = {{0.0, 11}, {0.25, 1}, {0.25, 1}, {0.25, 11}, {0.25, 1}};
    double time = 0.0;
    for (const Step& step : steps) {
        session->advance(step.advance);
        time += step.advance;
        EXPECT_EQ(stateOf(*session, "Lamp").showState, step.showState) << "at " << time;
    }
    EXPECT_DOUBLE_EQ(session->time(), 1.0);
    EXPECT_EQ(stateOf(*session, "Lamp").changes, 7u);
    // Hidden phase: nothing painted.
    EXPECT_EQ(session->render().pixelColor(20, 20), QColor(0xFFFFFF));

    // The condition ends in the hidden phase: the next tick shows the lamp for good.
    set(*session, "Alarm", "0");
    session->advance(0.25);
    EXPECT_EQ(stateOf(*session, "Lamp").showState, 11);
    session->advance(1.0);
    EXPECT_EQ(stateOf(*session, "Lamp").showState, 11);
    EXPECT_EQ(session->render().pixelColor(20, 20), QColor(0xFF0000));
}

TEST_F(SessionAnimation, BlinkTicksCanBeSentOneByOne) {
    auto session = loaded(blinkProject(0), options());
    session->blinkTick(3);
    EXPECT_EQ(stateOf(*session, "Lamp").showState, 1);
    session->blinkTick(2);
    EXPECT_EQ(stateOf(*session, "Lamp").showState, 11);
    EXPECT_DOUBLE_EQ(session->time(), 0.0);
}

TEST_F(SessionAnimation, ColourAnimationsPickTheSegmentColour) {
    ProjectBuilder b;
    b.tag("V", VarType::Float, 5.0);
    ObjectRecord pipe = ProjectBuilder::shape("Pipe", 0, 0, 40, 20, 0x808080);
    BrushRecord brush;
    brush.header = b.header("V");
    brush.values = {10.0f};
    brush.colors = {0xFF0000};
    PenRecord pen;
    pen.header = b.header("V");
    pen.values = {10.0f};
    pen.colors = {0x0000FF};
    pipe.animations.push_back(animationEntry(brush));
    pipe.animations.push_back(animationEntry(pen));
    b.window(1).objects = {ProjectBuilder::object(pipe)};
    auto session = loaded(b.project, options());

    session->start(); // 5 is at or below the first limit
    ObjectState s = stateOf(*session, "Pipe");
    EXPECT_EQ(s.brushColor, 0xFF0000u);
    EXPECT_EQ(s.pen, 1); // the outline animation switches the outline on
    EXPECT_EQ(s.penColor, 0x0000FFu);
}

TEST_F(SessionAnimation, SizeResizesOrClips) {
    ProjectBuilder b;
    b.tag("S", VarType::Float, 100.0);
    SizeRecord centred;
    centred.header = b.header("S");
    centred.sizeType = 0;
    centred.maxValue = 100.0f;
    centred.maxPercent = 100;
    SizeRecord clipped = centred;
    clipped.sizeType = 6; // the left edge stays
    clipped.sizeMode = 1;
    ObjectRecord grow = ProjectBuilder::shape("Grow", 0, 0, 100, 50, 0xFF0000);
    grow.animations.push_back(animationEntry(centred));
    ObjectRecord cut = ProjectBuilder::shape("Cut", 0, 60, 100, 110, 0x0000FF);
    cut.animations.push_back(animationEntry(clipped));
    b.window(1, 200, 120).objects = {ProjectBuilder::object(grow), ProjectBuilder::object(cut)};
    auto session = loaded(b.project, options());

    set(*session, "S", "50");
    session->refresh();
    // 50 %: w 50, h 25 around the centre (50, 25) with halves 25 and 12.
    EXPECT_EQ(rectOf(stateOf(*session, "Grow")), std::vector<int>({25, 13, 75, 37}));
    const ObjectState c = stateOf(*session, "Cut");
    EXPECT_EQ(rectOf(c), std::vector<int>({0, 60, 100, 110}));
    EXPECT_TRUE(c.clip);
    ASSERT_TRUE(c.hasClipRect);
    EXPECT_EQ(
        std::vector<int>({c.clipRect.left, c.clipRect.top, c.clipRect.right, c.clipRect.bottom}),
        std::vector<int>({0, 60, 50, 110}));
    const QImage image = session->render();
    EXPECT_EQ(image.pixelColor(20, 80), QColor(0x0000FF));
    EXPECT_EQ(image.pixelColor(70, 80), QColor(0xFFFFFF));
}

TEST_F(SessionAnimation, ClicksOpenAndCloseWindows) {
    ProjectBuilder b;
    b.tag("Show", VarType::Int, 0);
    ObjectRecord open = ProjectBuilder::shape("Open", 0, 0, 50, 50, 0xFF0000);
    open.animations.push_back(animationEntry(ProjectBuilder::click(1, 1, 2)));
    ObjectRecord nowhere = ProjectBuilder::shape("Nowhere", 60, 0, 90, 50, 0xFF0000);
    nowhere.animations.push_back(animationEntry(ProjectBuilder::click(1, 1, 9)));
    ObjectRecord closeSelf = ProjectBuilder::shape("CloseSelf", 100, 0, 150, 50, 0xFF0000);
    closeSelf.animations.push_back(animationEntry(ProjectBuilder::click(2, 1, 1)));
    b.window(1).objects = {ProjectBuilder::object(open), ProjectBuilder::object(nowhere),
                           ProjectBuilder::object(closeSelf)};

    ObjectRecord close = ProjectBuilder::shape("Close", 0, 0, 50, 50, 0x00FF00);
    close.animations.push_back(animationEntry(ProjectBuilder::click(2, 1, 0x10002)));
    ObjectRecord counter = ProjectBuilder::shape("Counter", 60, 0, 90, 50, 0x00FF00);
    VisibleRecord visible;
    visible.header = b.header("Show");
    counter.animations.push_back(animationEntry(visible));
    b.window(2).objects = {ProjectBuilder::object(close), ProjectBuilder::object(counter)};
    auto session = loaded(b.project, options());

    EXPECT_EQ(session->objectStates(2)[1].showState, 11); // not run before it is shown
    ASSERT_TRUE(session->click("Open"));
    EXPECT_EQ(session->currentWindow(), 2);
    EXPECT_EQ(session->windowStack(), std::vector<int>({1, 2}));
    EXPECT_EQ(Gui::instance().openedWindows(), std::vector<int>{2});
    // The window that became current was refreshed at once.
    EXPECT_EQ(stateOf(*session, "Counter").showState, 10);

    ASSERT_TRUE(session->click("Close")); // 0x10002: the low 16 bits name window 2
    EXPECT_EQ(Gui::instance().closedWindows(), std::vector<int>{2});
    EXPECT_EQ(session->currentWindow(), 1);

    ASSERT_TRUE(session->click("Nowhere")); // recorded, but there is no window 9
    EXPECT_EQ(Gui::instance().openedWindows(), std::vector<int>({2, 9}));
    EXPECT_EQ(session->windowStack(), std::vector<int>{1});

    ASSERT_TRUE(session->click("CloseSelf")); // the last window stays
    EXPECT_EQ(Gui::instance().closedWindows(), std::vector<int>({2, 1}));
    EXPECT_EQ(session->currentWindow(), 1);

    EXPECT_FALSE(session->click("Counter")); // not in the current window
}

struct StackStep {
    bool open; //!< false: close
    int number;
    bool becameCurrent; //!< what open or close answers
    std::vector<int> stack;
};

TEST(WindowStack, OpeningRaisesAndClosingKeepsTheLastWindow) {
    // clang-format off
    const StackStep steps[] = {
        {true,  1, true,  {1}},
        {true,  1, false, {1}},          // the current window again
        {true,  2, true,  {1, 2}},
        {true,  3, true,  {1, 2, 3}},
        {true,  1, true,  {2, 3, 1}},    // a lower window comes to the top
        {false, 3, false, {2, 1}},       // not the current one
        {false, 7, false, {2, 1}},       // not on the stack
        {false, 1, true,  {2}},
        {false, 2, false, {2}},          // the last one stays shown
    };
    // clang-format on
    WindowStack stack;
    EXPECT_EQ(stack.current(), -1);
    for (const StackStep& step : steps) {
        const bool changed = step.open ? stack.open(step.number) : stack.close(step.number);
        EXPECT_EQ(changed, step.becameCurrent) << (step.open ? "open " : "close ") << step.number;
        EXPECT_EQ(stack.numbers(), step.stack) << (step.open ? "open " : "close ") << step.number;
        EXPECT_EQ(stack.current(), step.stack.back());
    }
}

TEST_F(SessionAnimation, ClicksRunStrategiesAndSetVariables) {
    ProjectBuilder b;
    const int valve = b.tag("Valve", VarType::Int, 0);
    const int count = b.tag("Count", VarType::Float, 1.5);
    const int flag = b.tag("Flag", VarType::Int, 0);
    StrategyDef bump;
    bump.number = 1;
    bump.name = "Bump";
    bump.actions = {{StrategyAction::Kind::Add, "Count", 2.5, {}},
                    {StrategyAction::Kind::Toggle, "Valve", 0.0, {}}};
    b.project.strategies.push_back(bump);
    ObjectRecord button = ProjectBuilder::shape("Button", 0, 0, 20, 20, 0);
    button.animations.push_back(animationEntry(ProjectBuilder::click(0, 1, 1)));
    ObjectRecord setter = ProjectBuilder::shape("Setter", 30, 0, 50, 20, 0);
    setter.animations.push_back(animationEntry(ProjectBuilder::click(7, 0x100, flag)));
    ObjectRecord toggler = ProjectBuilder::shape("Toggler", 60, 0, 80, 20, 0);
    toggler.animations.push_back(animationEntry(ProjectBuilder::click(7, 2, flag)));
    b.window(1).objects = {ProjectBuilder::object(button), ProjectBuilder::object(setter),
                           ProjectBuilder::object(toggler)};
    auto session = loaded(b.project, options());
    session->start();

    CallMark mark = session->mark();
    ASSERT_TRUE(session->click("Button"));
    HostCalls calls = session->callsSince(mark);
    ASSERT_EQ(calls.strategies.size(), 1u);
    EXPECT_EQ(calls.strategies[0].strategy, 1);
    EXPECT_TRUE(calls.strategies[0].known);
    EXPECT_DOUBLE_EQ(floatTag(count), 4.0);
    EXPECT_EQ(intTag(valve), 1);
    ASSERT_EQ(calls.logs.size(), 1u); // the action trace of the click
    EXPECT_EQ(calls.logs[0].tag, "Caiclick stgy");

    mark = session->mark();
    ASSERT_TRUE(session->click("Setter"));
    EXPECT_EQ(intTag(flag), 1);
    calls = session->callsSince(mark);
    ASSERT_EQ(calls.writes.size(), 1u);
    EXPECT_EQ(calls.writes[0].index, flag);
    EXPECT_EQ(calls.writes[0].intValue, 1);

    ASSERT_TRUE(session->click("Toggler"));
    EXPECT_EQ(intTag(flag), 0);
}

TEST_F(SessionAnimation, ClicksCaptureTheScreenAndStop) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ProjectBuilder b;
    ObjectRecord print = ProjectBuilder::shape("Print", 0, 0, 20, 20, 0xFF0000);
    print.animations.push_back(animationEntry(ProjectBuilder::click(4, 1, 0, "打印当前屏幕")));
    ObjectRecord quit = ProjectBuilder::shape("Quit", 30, 0, 50, 20, 0);
    quit.animations.push_back(animationEntry(ProjectBuilder::click(6, 1, 0, "退出运行环境")));
    b.window(1, 120, 60).objects = {ProjectBuilder::object(print), ProjectBuilder::object(quit)};
    SessionOptions withCaptures = options();
    withCaptures.capturePath = QDir(dir.path()).filePath("shot-%n.png").toStdString();
    auto session = loaded(b.project, withCaptures);

    CallMark mark = session->mark();
    ASSERT_TRUE(session->click("Print"));
    ASSERT_TRUE(session->click("Print"));
    const HostCalls calls = session->callsSince(mark);
    ASSERT_EQ(calls.captures.size(), 2u);
    ASSERT_EQ(calls.captureFiles.size(), 2u);
    EXPECT_TRUE(calls.captureFiles[1].saved) << calls.captureFiles[1].error;
    EXPECT_EQ(calls.captureFiles[1].path, QDir(dir.path()).filePath("shot-2.png").toStdString());
    const QImage shot(QDir(dir.path()).filePath("shot-1.png"));
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(shot.size(), QSize(120, 60));
    EXPECT_EQ(shot.pixelColor(5, 5), QColor(0xFF0000));

    EXPECT_FALSE(session->stopped());
    ASSERT_TRUE(session->click("Quit"));
    EXPECT_TRUE(session->stopped());
    EXPECT_EQ(session->stopCode(), 0);
}

TEST_F(SessionAnimation, TriggerCodesReachTheClickAction) {
    ProjectBuilder b;
    ObjectRecord keyed = ProjectBuilder::shape("Keyed", 0, 0, 20, 20, 0);
    ClickRecord click = ProjectBuilder::click(1, 1, 2);
    click.keyCode = 65; // with key flags 0 the trigger code is 65
    keyed.animations.push_back(animationEntry(click));
    b.window(1).objects = {ProjectBuilder::object(keyed)};
    b.window(2);
    auto session = loaded(b.project, options());

    session->trigger(66);
    session->trigger(3); // a blink tick, never a trigger
    EXPECT_TRUE(Gui::instance().openedWindows().empty());
    session->trigger(65);
    EXPECT_EQ(Gui::instance().openedWindows(), std::vector<int>{2});
    EXPECT_EQ(session->currentWindow(), 2);
}

TEST_F(SessionAnimation, HitTestFindsTheTopmostVisibleObjectThatTakesClicks) {
    ProjectBuilder b;
    b.tag("Off", VarType::Int, 0);
    // Every slot off: the object takes clicks and does nothing with them.
    const ClickRecord quiet = ProjectBuilder::click(0, 0, -1);
    ObjectRecord low = ProjectBuilder::shape("Low", 10, 10, 60, 40, 0);
    low.animations.push_back(animationEntry(quiet));
    ObjectRecord high = ProjectBuilder::shape("High", 40, 20, 90, 50, 0);
    high.pen = 1;
    high.penWidthX = 3; // bound rectangle widened by (3 + 1) / 2 = 2
    high.animations.push_back(animationEntry(quiet));
    ObjectRecord hidden = ProjectBuilder::shape("Hidden", 100, 10, 150, 40, 0);
    VisibleRecord visible;
    visible.header = b.header("Off");
    hidden.animations.push_back(animationEntry(visible));
    hidden.animations.push_back(animationEntry(quiet));
    // Drawn over High and over empty ground, and taking no clicks itself.
    ObjectRecord caption = ProjectBuilder::shape("Caption", 45, 25, 130, 45, 0);
    b.window(1).objects = {ProjectBuilder::object(low), ProjectBuilder::object(high),
                           ProjectBuilder::object(hidden), ProjectBuilder::object(caption)};
    auto session = loaded(b.project, options());
    session->start();

    // Low covers 10..59 x 10..39, High 38..91 x 18..51 (inclusive); the caption over High
    // passes its clicks through, the hidden object under the caption takes none.
    struct Case {
        int x, y, index;
    };
    const Case cases[] = {{20, 15, 0},   {50, 30, 1},  {38, 18, 1},  {37, 17, 0}, {59, 39, 1},
                          {91, 51, 1},   {92, 30, -1}, {60, 15, -1}, {10, 10, 0}, {9, 10, -1},
                          {120, 20, -1}, {60, 30, 1},  {110, 30, -1}};
    for (const Case& c : cases) {
        EXPECT_EQ(session->hitTest(c.x, c.y), c.index) << c.x << "," << c.y;
    }
    EXPECT_EQ(session->clickAt(50, 30), 1);
    EXPECT_EQ(session->clickAt(5, 5), -1);
}

TEST_F(SessionAnimation, InputTakesTheQueuedKeyboardAnswer) {
    ProjectBuilder b;
    const int mode = b.tag("Mode", VarType::Int, 0);
    ObjectRecord sw = ProjectBuilder::shape("Switch", 0, 0, 20, 20, 0);
    InputRecord switchInput;
    switchInput.header = b.header("0");
    switchInput.inputType = 0;
    switchInput.prompt = "Pump";
    switchInput.varId = mode;
    sw.animations.push_back(animationEntry(switchInput));
    b.window(1).objects = {ProjectBuilder::object(sw)};
    auto session = loaded(b.project, options());

    session->queueKeyboardAnswer("7");
    ASSERT_TRUE(session->click("Switch"));
    EXPECT_EQ(intTag(mode), 1); // any nonzero entry switches on
    ASSERT_EQ(Gui::instance().keyboardCalls().size(), 1u);
    EXPECT_EQ(Gui::instance().keyboardCalls()[0].prompt, "Pump");

    const CallMark mark = session->mark();
    session->queueKeyboardAnswer("", false);
    ASSERT_TRUE(session->click("Switch"));
    EXPECT_EQ(intTag(mode), 1);
    const HostCalls failed = session->callsSince(mark);
    ASSERT_EQ(failed.monitor.size(), 1u);
    EXPECT_EQ(failed.monitor[0].code, 37);
    EXPECT_EQ(failed.monitor[0].message, "打开开关型键盘失败！");
}

TEST_F(SessionAnimation, SynchronisedValuesAreWrittenBack) {
    ProjectBuilder b;
    const int mode = b.tag("Mode", VarType::Int, 0);
    ObjectRecord sw = ProjectBuilder::shape("Switch", 0, 0, 20, 20, 0);
    InputRecord input;
    input.header = b.header("0");
    input.inputType = 0;
    input.varId = mode;
    sw.animations.push_back(animationEntry(input));
    ObjectRecord plain = ProjectBuilder::shape("Plain", 30, 0, 50, 20, 0);
    b.window(1).objects = {ProjectBuilder::object(sw), ProjectBuilder::object(plain)};
    auto session = loaded(b.project, options());

    ASSERT_TRUE(session->sync("Switch", "1"));
    EXPECT_EQ(intTag(mode), 1);
    // A text the object does not take is not left for somebody else.
    ASSERT_TRUE(session->sync("Plain", "0"));
    EXPECT_EQ(Gui::instance().syncText(), nullptr);
    EXPECT_EQ(intTag(mode), 1);
    EXPECT_FALSE(session->sync("Nobody", "1"));
}

TEST_F(SessionAnimation, OutputWritesTheTextOfATextKindOwner) {
    // The output acts only on owners of the text kind (2): the text plug-in's class is one, when
    // the plug-in is there.
    uint32_t textClass = 0;
    for (const LoadedPlugin& plugin : s_plugins->plugins()) {
        for (rtti::clazz_c* descriptor : plugin.classes) {
            if (plugin.identifier == "vorn_kestrotext" &&
                descriptor->class_id() == kDrawTextClass) {
                textClass = kDrawTextClass;
            }
        }
    }
    if (textClass == 0) {
        GTEST_SKIP() << "no loaded plug-in has a text-kind class";
    }
    ProjectBuilder b;
    b.tag("Level", VarType::Float, 3.14159);
    b.tag("On", VarType::Int, 0);
    ObjectRecord label = ProjectBuilder::shape("Label", 0, 0, 60, 20, 0);
    OutputRecord number;
    number.header = b.header("Level");
    number.outputType = 1;
    number.decimals = 2;
    label.animations.push_back(animationEntry(number));
    ObjectRecord state = ProjectBuilder::shape("State", 0, 30, 60, 50, 0);
    OutputRecord onOff;
    onOff.header = b.header("On");
    onOff.outputType = 0;
    onOff.onText = "Running";
    state.animations.push_back(animationEntry(onOff));
    // The text class's own fields follow the common record.
    label.extra = encodeFields(TextFields{});
    state.extra = encodeFields(TextFields{});
    b.window(1).objects = {ProjectBuilder::object(label, textClass),
                           ProjectBuilder::object(state, textClass)};
    auto session = loaded(b.project, options());
    session->start();
    EXPECT_EQ(stateOf(*session, "Label").text, "3.14"); // decimals are cut, not rounded
    EXPECT_EQ(stateOf(*session, "State").text, "Off");  // an empty off text shows "Off"
    set(*session, "Level", "-2.678");
    set(*session, "On", "1");
    session->refresh();
    EXPECT_EQ(stateOf(*session, "Label").text, "-2.67");
    EXPECT_EQ(stateOf(*session, "State").text, "Running");
}

TEST_F(SessionAnimation, ClassesFromElsewhereAreNotReadAsOurs) {
    // A class registered by nobody we loaded: the host cannot know what it derives from.
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
    const bool loadedOk = session.load(b.project, &error);
    ClassRegistry::instance().remove(&stranger);
    ASSERT_TRUE(loadedOk) << error;
    ASSERT_EQ(session.problems().size(), 1u);
    EXPECT_EQ(session.problems()[0].className, "Stranger");
    EXPECT_EQ(session.problems()[0].reason,
              "class 0x7001 comes from no loaded plug-in, not from one of ours");
    EXPECT_TRUE(session.objectStates().empty());
}

TEST_F(SessionAnimation, TagsTakeValuesFromTheirText) {
    ProjectBuilder b;
    b.tag("I", VarType::Int);
    b.tag("F", VarType::Float);
    b.tag("S", VarType::String);
    b.window(1);
    auto session = loaded(b.project, options());

    struct Case {
        const char* tag;
        const char* value;
        bool accepted;
    };
    const Case cases[] = {{"I", "12", true},    {"I", " -3 ", true},        {"I", "1.5", false},
                          {"I", "abc", false},  {"I", "3000000000", false}, {"F", "2.5", true},
                          {"F", "1e3", true},   {"F", "x", false},          {"F", "inf", false},
                          {"S", "hello", true}, {"Nope", "1", false}};
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(session->setTag(c.tag, c.value, &error), c.accepted) << c.tag << "=" << c.value;
        EXPECT_EQ(error.empty(), c.accepted) << error;
    }
    EXPECT_EQ(intTag(0), -3);
    EXPECT_DOUBLE_EQ(floatTag(1), 1000.0);
    std::string text;
    Rtdb::instance().getString(2, &text);
    EXPECT_EQ(text, "hello");
}

TEST_F(SessionAnimation, SimulatedTagsDriveObjectsWithoutShowingAsWrites) {
    ProjectBuilder b;
    b.tag("Flow", VarType::Float, 0.0);
    b.project.tags[0].simulation.kind = Simulation::Kind::Ramp;
    b.project.tags[0].simulation.period = 10.0;
    b.project.tags[0].simulation.low = 0.0;
    b.project.tags[0].simulation.high = 10.0;
    ObjectRecord marker = ProjectBuilder::shape("Marker", 0, 0, 20, 10, 0);
    HMoveRecord move;
    move.header = b.header("Flow");
    move.maxOffset = 100;
    move.maxValue = 10.0f;
    marker.animations.push_back(animationEntry(move));
    b.window(1, 300, 100).objects = {ProjectBuilder::object(marker)};
    auto session = loaded(b.project, options());

    const CallMark mark = session->mark();
    session->advance(5.0); // the ramp is half way: 5
    EXPECT_DOUBLE_EQ(floatTag(0), 5.0);
    EXPECT_EQ(rectOf(stateOf(*session, "Marker")), std::vector<int>({50, 0, 70, 10}));
    EXPECT_TRUE(session->callsSince(mark).writes.empty());

    std::string error;
    ASSERT_TRUE(session->setTag("Flow", "1", &error));
    EXPECT_EQ(session->callsSince(mark).writes.size(), 1u);
}

} // namespace
