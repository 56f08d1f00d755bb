// The damaged region: repainting only it gives the full picture, event after event.
#include "tests/support/allocations.h"
#include "tests/support/pictures.h"
#include "tests/support/projecttestutil.h"
#include "tests/support/sessiontest.h"

#include "kestrovalumen/shapes/rects.h"
#include "runtime/host/rtdb.h"
#include "runtime/paint/recordingdevice.h"
#include "runtime/session/eventdispatch.h"
#include "runtime/session/eventscript.h"
#include "runtime/session/sessiondamage.h"
#include "runtime/session/sessionrecorder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QPainter>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <stdexcept>

using namespace kestro;
using namespace sessiontest;

namespace {

using Damage = PluginTest;

// Six sets of animations dealt to the classes of all-classes.json in turn: moving over the
// neighbours, sizing with and without the clip, blinking both ways, hidden and shown.
const char* const kAnimationSets = R"json([
 [{"kind": "hmove", "expression": "Ramp", "minValue": -10, "maxValue": 10, "minOffset": -45,
   "maxOffset": 45}, {"kind": "blink", "expression": "Blink"}],
 [{"kind": "vmove", "expression": "Wave", "minOffset": -35, "maxOffset": 35},
  {"kind": "pen", "expression": "Wave", "values": [30, 70], "colors": ["#FF0000", "#00A0FF"]}],
 [{"kind": "size", "expression": "Wave", "sizeType": 5, "minPercent": 20, "maxPercent": 140},
  {"kind": "brush", "expression": "Wave", "values": [30, 70], "colors": ["#FF0000", "#00A0FF"]}],
 [{"kind": "size", "expression": "Wave", "minPercent": 20, "maxPercent": 140, "sizeMode": 1},
  {"kind": "blink", "expression": "Blink", "blinkType": 1, "penColor": "#FFFF00"}],
 [{"kind": "visible", "expression": "Square"},
  {"kind": "hmove", "expression": "Wave", "minOffset": -30, "maxOffset": 30}],
 [{"kind": "visible", "expression": "Show", "showType": 1},
  {"kind": "size", "expression": "Wave", "sizeType": 3, "minPercent": 20, "maxPercent": 140},
  {"kind": "output", "expression": "Wave", "decimals": 1},
  {"kind": "textColor", "expression": "Wave", "values": [50], "colors": ["#C00000"]}]
])json";

// A thick line, a band, a slant and a tail reaching out of their rectangles, texts running past
// their boxes (one moving, one growing and shrinking in place, alone in a second window of
// another size behind a button).
const char* const kOwnProject = R"json({
 "version": "4.0.0.0",
 "tags": [
  {"name": "Ramp", "simulation": {"kind": "ramp", "period": 9, "low": -10, "high": 10}},
  {"name": "Wave", "simulation": {"kind": "sine", "period": 7}},
  {"name": "Square", "type": "int", "simulation": {"kind": "square", "period": 3, "high": 1}},
  {"name": "Blink", "type": "int", "simulation": {"kind": "square", "period": 5, "high": 1}},
  {"name": "Show", "type": "int"}, {"name": "Level", "initial": 3}],
 "windows": [
  {"number": 1, "size": [620, 500], "background": "#E0E8D0", "objects": [
   {"class": "CDrawText", "rect": [150, 470, 180, 490], "fontSize": 18, "text": "wider than that",
    "animations": [{"kind": "hmove", "expression": "Ramp", "minValue": -10, "maxValue": 10,
                    "minOffset": -60, "maxOffset": 60}]},
   {"class": "CDrawLine", "rect": [300, 440, 380, 490], "outline": {"width": 11},
    "animations": [{"kind": "vmove", "expression": "Wave", "minOffset": -20, "maxOffset": 20}]},
   {"class": "CDrawGuan", "rect": [420, 440, 500, 480], "pipeWidth": 16,
    "points": [[420, 478], [498, 478]],
    "animations": [{"kind": "hmove", "expression": "Wave", "minOffset": -40, "maxOffset": 40}]},
   {"class": "CDrawParallelogram", "rect": [520, 420, 580, 470], "percent": 170,
    "animations": [{"kind": "size", "expression": "Wave", "minPercent": 20, "maxPercent": 140}]},
   {"class": "CDrawBalloon", "rect": [140, 20, 200, 60], "tailPos": 330,
    "animations": [{"kind": "size", "expression": "Wave", "sizeType": 6, "maxPercent": 140}]},
   {"class": "CDrawRect", "rect": [560, 0, 620, 20], "animations": [{"kind": "click",
    "flags": [0, 1], "params": [-1, 2], "keyCode": 75, "keyFlags": 1}]}]},
  {"number": 2, "size": [300, 220], "background": "#304050", "objects": [
   {"class": "CDrawEllipse", "rect": [30, 30, 120, 90], "animations": [
    {"kind": "hmove", "expression": "Wave", "minOffset": -40, "maxOffset": 40},
    {"kind": "blink", "expression": "Blink"}]},
   {"class": "CDrawText", "rect": [20, 150, 50, 170], "fontSize": 22, "alignment": 129,
    "animations": [{"kind": "output", "expression": "Level * Level * Level", "decimals": 0}]},
   {"class": "CDrawRect", "rect": [200, 150, 280, 200],
    "animations": [{"kind": "click", "flags": [0, 0, 1], "params": [-1, -1, 2]}]}]}]
})json";

QJsonValue parsed(const std::string& json) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
}

//! kOwnProject with every class of all-classes.json under its objects, animated.
std::string ownProject() {
    const QJsonArray sets = QJsonDocument::fromJson(QByteArray(kAnimationSets)).array();
    QJsonObject project = parsed(kOwnProject).toObject();
    QJsonArray windows = project["windows"].toArray();
    QJsonObject first = windows[0].toObject();
    QJsonArray objects = first["objects"].toArray();
    const QJsonObject classes =
        parsed(projecttest::readFile(projecttest::sourceDir() + "/examples/all-classes.json"))
            .toObject();
    int i = 0;
    for (const QJsonValue& value : classes["windows"][0]["objects"].toArray()) {
        QJsonObject object = value.toObject();
        object["animations"] = sets[i++ % sets.size()];
        objects.insert(0, object);
    }
    first["objects"] = objects;
    windows[0] = first;
    project["windows"] = windows;
    return QJsonDocument(project).toJson().toStdString();
}

//! What the run went through, from the objects' states after each event.
void note(const std::vector<ObjectState>& states, std::map<std::pair<int, int>, ObjectState>* last,
          std::set<std::string>* kinds) {
    for (const ObjectState& s : states) {
        ObjectState& b = (*last).try_emplace({s.window, s.index}, s).first->second;
        const bool resized = s.rect.right - s.rect.left != b.rect.right - b.rect.left ||
                             s.rect.bottom - s.rect.top != b.rect.bottom - b.rect.top;
        const std::pair<bool, const char*> seen[] = {
            {resized, "resized"},
            {!resized && (s.rect.left != b.rect.left || s.rect.top != b.rect.top), "moved"},
            {s.showState / 10 != b.showState / 10, "blinked"},
            {s.visible && !b.visible, "hidden then shown"},
            {s.text != b.text, "text changed"},
            {s.clip, "clipped"}};
        for (const auto& [happened, kind] : seen) {
            if (happened) {
                kinds->insert(kind);
            }
        }
        b = s;
    }
}

//! Runs one line of an event script.
void run(Session& session, const std::string& line) {
    std::vector<ScriptEvent> events;
    ScriptError error;
    ASSERT_TRUE(parseEventScript(line, &events, &error)) << line;
    dispatchEvent(session, events.at(0));
}

//! One random event among those an operator, the clock and the data cause, as a script line.
std::string randomEvent(std::mt19937& random, const Session& session, const Project& project) {
    const auto pick = [&random](int n) {
        return std::uniform_int_distribution<int>(0, n - 1)(random);
    };
    const QSize size = session.windowSize();
    const std::vector<ObjectState> states = session.objectStates();
    std::ostringstream line;
    switch (pick(10)) {
    case 0:
    case 1:
        line << "advance "
             << std::uniform_real_distribution<double>(0.01, pick(4) == 0 ? 8.0 : 0.8)(random);
        break;
    case 2:
        line << "click-at " << pick(size.width()) << ' ' << pick(size.height());
        break;
    case 3: { // on an object: often one that takes clicks
        const SessionRect& r = states[pick(static_cast<int>(states.size()))].rect;
        line << "click-at " << (r.left + r.right) / 2 << ' ' << (r.top + r.bottom) / 2;
        break;
    }
    case 4:
        line << (pick(4) == 0 ? std::string("key-cancel") : "key " + std::to_string(pick(120)));
        break;
    case 5:
        line << "trigger " << std::vector<int>{0x14B, 88888, 0x41, 1, 2, 3}[pick(6)];
        break;
    case 6:
        line << "window " << project.windows[pick(static_cast<int>(project.windows.size()))].number;
        break;
    default: {
        if (project.tags.empty()) {
            return "refresh";
        }
        const TagDef& tag = project.tags[pick(static_cast<int>(project.tags.size()))];
        line << "set " << tag.name << ' '
             << (tag.type == VarType::String ? "s" + std::string(pick(12), 'x')
                                             : std::to_string(pick(130) - 10));
        break;
    }
    }
    return line.str();
}

TEST_F(Damage, RepaintingTheDamagedRegionGivesTheFullPictureAfterEveryEvent) {
    const auto example = [](const char* name) {
        return projecttest::readFile(projecttest::sourceDir() + "/examples/" + name);
    };
    const struct {
        const char* name;
        std::string json;
        unsigned seed;
        int steps;
    } cases[] = {
        {"plant", example("plant.json"), 7, 220},
        {"all-classes", example("all-classes.json"), 11, 40},
        {"animations", example("animations.json"), 13, 160},
        {"moving classes", ownProject(), 17, 320},
    };
    std::map<std::pair<int, int>, ObjectState> last;
    std::set<std::string> kinds;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Project project = projecttest::compiled(c.json, c.name);
        // Only the objects whose run reported a change are looked at: a class that changes
        // without saying so leaves old pixels here.
        SessionOptions looking = options();
        looking.damageLook = DamageLook::Reported;
        Session session(looking);
        std::string error;
        ASSERT_TRUE(session.load(project, &error)) << error;
        session.start();
        std::mt19937 random(c.seed);
        QImage shown;
        for (int step = 0; step <= c.steps; ++step) {
            const std::string what = step == 0 ? "loading" : randomEvent(random, session, project);
            if (step > 0) {
                run(session, what);
            }
            const QRegion damage = session.takeDamage();
            if (shown.size() != session.windowSize()) {
                // What the viewer held is of no use; the damage must be the whole window.
                shown = QImage(session.windowSize(), QImage::Format_RGB32);
                shown.fill(Qt::magenta);
            }
            {
                QPainter painter(&shown);
                session.paint(&painter, damage);
            }
            ASSERT_EQ(kvtest::firstDifference(shown, session.render()), "")
                << "step " << step << " (" << what << ") in window " << session.currentWindow();
            note(session.objectStates(), &last, &kinds);
        }
    }
    EXPECT_EQ(kinds, (std::set<std::string>{"blinked", "clipped", "hidden then shown", "moved",
                                            "resized", "text changed"}));
}

//! Window 1: a lamp shown while Show is not 0 beside a plain box; window 2 of another size.
Project lampAndBox() {
    ProjectBuilder b;
    b.tag("Show", VarType::Int, 1);
    b.tag("Ink", VarType::Int, 0);
    ObjectRecord lamp = ProjectBuilder::shape("Lamp", 10, 10, 40, 40, 0xFF0000);
    VisibleRecord visible;
    visible.header = b.header("Show");
    lamp.animations.push_back(animationEntry(visible));
    TextColorRecord ink;
    ink.header = b.header("Ink");
    ink.values = {50.0f};
    ink.colors = {0xC00000};
    lamp.animations.push_back(animationEntry(ink));
    b.window(1, 200, 100).objects = {
        ProjectBuilder::object(lamp),
        ProjectBuilder::object(ProjectBuilder::shape("Box", 100, 10, 150, 60, 0x00FF00))};
    b.window(2, 120, 80);
    return b.project;
}

TEST_F(Damage, EachChangeIsTakenOnceAndATagAloneWaitsForTheRun) {
    Session session(options());
    std::string error;
    ASSERT_TRUE(session.load(lampAndBox(), &error)) << error;
    session.start();
    // Inside the lamp's and the box's rectangles: painted whatever the outline.
    const QRect lamp(12, 12, 26, 26), box(102, 12, 46, 46);
    const struct {
        const char* event;
        QRect covers; //!< null: the damage is empty
        QRect spares; //!< the damage leaves this alone
    } steps[] = {
        {"refresh", QRect(0, 0, 200, 100), {}}, // the first take after loading: everything
        {"refresh", {}, {}},
        {"set Show 0", {}, {}}, // read at the next run only
        {"refresh", lamp, box},
        {"refresh", {}, {}},
        {"set Show 1", {}, {}},
        {"refresh", lamp, box},
        // A shape's text colour in its top segment reports a change at every run, though
        // nothing a host reads of the shape changes.
        {"set Ink 60", {}, {}},
        {"refresh", lamp, box},
        {"refresh", lamp, box},
        {"set Ink 0", {}, {}},
        {"refresh", {}, {}},
        {"window 2", QRect(0, 0, 120, 80), {}},
        {"window 1", QRect(0, 0, 200, 100), {}},
    };
    for (const auto& step : steps) {
        run(session, step.event);
        const QRegion damage = session.takeDamage();
        EXPECT_EQ(damage.isEmpty(), step.covers.isNull()) << step.event;
        EXPECT_TRUE((QRegion(step.covers) - damage).isEmpty()) << step.event;
        EXPECT_FALSE(damage.intersects(step.spares)) << step.event;
    }
    // Nothing damaged, nothing painted; a damaged lamp paints the lamp and not the box.
    RecordingDevice device(200, 100);
    QPainter painter(&device);
    session.paint(&painter, QRegion());
    EXPECT_TRUE(device.records().empty()) << device.dump().toStdString();
    session.paint(&painter, QRegion(lamp));
    EXPECT_EQ(device.drawings().size(), 2u) << device.dump().toStdString(); // background, lamp
    for (const PaintRecord& record : device.drawings()) {
        EXPECT_FALSE(record.rect().intersects(box)) << describe(record).toStdString();
    }
}

// The objects' reports are noted at every refresh, which allocates nothing for it.
TEST_F(Damage, NotingAndTakingChangesAllocateNothing) {
    if (!kvtest::allocationsCounted()) {
        GTEST_SKIP() << "allocations are not counted under the address sanitizer";
    }
    Session session(options());
    std::string error;
    ASSERT_TRUE(session.load(lampAndBox(), &error)) << error;
    session.start();
    EXPECT_FALSE(session.takeDamage().isEmpty());
    for (int show : {0, 1, 0, 1}) {
        Rtdb::instance().setInt(0, show);
        EXPECT_EQ(kvtest::allocationsOf([&] { session.refresh(); }), 0) << show;
    }
}

// A clip edge inside a gradient starts its spans where a whole repaint does not, and Qt steps a
// gradient's colours along each span from its start: the damage spans such an object's width.
TEST_F(Damage, ADamagedRectangleSpansEveryGradientItMeets) {
    const char* const pipe = R"("class": "CDrawPipe2", "fill": "#3070C0")";
    const struct {
        const char* what;
        std::string under; //!< the objects the small one moves over
        QRect spanned;     //!< damaged across, in the small one's rows
        QRect spared;      //!< not damaged at all
    } cases[] = {
        {"a gradient", std::string("{") + pipe + R"(, "rect": [20, 20, 420, 120]})",
         QRect(22, 60, 390, 4), QRect()},
        {"a solid fill", R"({"class": "CDrawRect", "rect": [20, 20, 420, 120], "fill": "#3070C0"})",
         QRect(), QRect(22, 60, 70, 4)},
        // Spanning the one it meets reaches into the other, listed before it: spanned in turn.
        {"two overlapping gradients",
         std::string("{") + pipe + R"(, "rect": [180, 20, 420, 120]}, {)" + pipe +
             R"(, "rect": [20, 20, 200, 120]})",
         QRect(22, 60, 390, 4), QRect()},
        {"two gradients apart",
         std::string("{") + pipe + R"(, "rect": [20, 20, 200, 120]}, {)" + pipe +
             R"(, "rect": [240, 20, 420, 120]})",
         QRect(22, 60, 170, 4), QRect(250, 60, 160, 4)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string json = R"({"tags": [{"name": "X", "initial": 0}],
          "windows": [{"number": 1, "size": [440, 140], "objects": [)" +
                                 c.under + R"(,
           {"class": "CDrawRect", "rect": [100, 60, 104, 64], "fill": "#FF0000",
            "animations": [{"kind": "hmove", "expression": "X", "minOffset": 0,
                            "maxOffset": 100, "minValue": 0, "maxValue": 100}]}]}]})";
        Session session(options());
        std::string error;
        ASSERT_TRUE(session.load(projecttest::compiled(json, c.what), &error)) << error;
        session.start();
        session.takeDamage();
        run(session, "set X 50");
        run(session, "refresh");
        const QRegion damage = session.takeDamage();
        const auto covers = [&damage](const QRect& r) { return (QRegion(r) - damage).isEmpty(); };
        // Where the small one was and is, and no row it did not pass.
        EXPECT_TRUE(covers(QRect(100, 60, 4, 4)) && covers(QRect(150, 60, 4, 4)));
        EXPECT_FALSE(damage.intersects(QRect(0, 20, 440, 30)));
        if (!c.spanned.isNull()) {
            EXPECT_TRUE(covers(c.spanned));
        }
        if (!c.spared.isNull()) {
            EXPECT_FALSE(damage.intersects(c.spared));
        }
    }
}

} // namespace

namespace {

// A rectangle that moves itself down when it runs, saying so, or not, or throwing after it.
class MovingRect : public CDrawRect {
public:
    enum Says { Reports, Keeps, Throws };
    explicit MovingRect(Says says) : m_says(says) {}
    bool Run(int, int, int) override {
        SetBounds(100, 50, 130, 70);
        if (m_says == Throws) {
            throw std::runtime_error("lost the rest");
        }
        return m_says == Reports;
    }

private:
    Says m_says;
};

// After loading only a run changes an object: the reported objects are where a change is,
// unless a class changes without saying so, which only a look at every object finds. A run
// that throws may have changed its object.
TEST(DamageTracker, LooksAtTheReportedObjectsOrAtEveryObject) {
    const QRect still(10, 10, 21, 21), was(100, 10, 31, 21), now(100, 50, 31, 21);
    const struct {
        DamageLook where;
        MovingRect::Says says;
        bool found; //!< the move is damaged
    } cases[] = {
        {DamageLook::Reported, MovingRect::Reports, true},
        {DamageLook::Reported, MovingRect::Throws, true},
        {DamageLook::Reported, MovingRect::Keeps, false},
        {DamageLook::Everything, MovingRect::Reports, true},
        {DamageLook::Everything, MovingRect::Throws, true},
        {DamageLook::Everything, MovingRect::Keeps, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "look " << static_cast<int>(c.where) << ", says " << c.says);
        CDrawRect a;
        MovingRect b(c.says);
        for (CDrawRect* r : {static_cast<CDrawRect*>(&a), static_cast<CDrawRect*>(&b)}) {
            r->m_bPen = 1;
            r->m_bBrush = 1;
        }
        a.SetBounds(10, 10, 30, 30);
        b.SetBounds(100, 10, 130, 30);
        LoadedWindow window;
        window.number = 1;
        window.width = 200;
        window.height = 100;
        window.objects.resize(2);
        window.objects[0].object = &a;
        window.objects[1].object = &b;
        window.objects[1].index = 1;
        CallRecorder recorder;
        DamageTracker tracker(c.where);
        tracker.look(window, 1);
        EXPECT_EQ(tracker.take(), QRegion(0, 0, 200, 100));

        runObject(window, window.objects[1], 0, recorder);
        EXPECT_EQ(recorder.faults().size(), c.says == MovingRect::Throws ? 1u : 0u);
        tracker.look(window, 2);
        const QRegion damage = tracker.take();
        EXPECT_EQ((QRegion(was) + now - damage).isEmpty(), c.found);
        EXPECT_EQ(damage.isEmpty(), !c.found);
        EXPECT_FALSE(damage.intersects(still));
        EXPECT_EQ(tracker.extents()[1].contains(now), c.found);

        // Nothing ran: nothing is looked at, whatever changed.
        b.SetBounds(100, 70, 130, 90);
        tracker.look(window, 2);
        EXPECT_TRUE(tracker.take().isEmpty());
        // A report without a change repaints the object where it is.
        window.noteReported(window.objects[0]);
        tracker.look(window, 3);
        EXPECT_TRUE((QRegion(still) - tracker.take()).isEmpty());
    }
}

// Whatever the extents and however they move, a region's candidates hold every object whose
// extent meets one of its rectangles, each once and in list order; or the grid declines.
TEST(ExtentGrid, CandidatesHoldEveryObjectThatMeetsTheRegionInListOrder) {
    std::mt19937 random(20261208);
    const QSize window(700, 500);
    const auto anyRect = [&](int largest) {
        std::uniform_int_distribution<int> at(-100, 800);
        std::uniform_int_distribution<int> extent(0, largest);
        return QRect(at(random), at(random), extent(random), extent(random));
    };
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        std::vector<QRect> extents(300);
        for (QRect& r : extents) {
            r = anyRect(40);
        }
        extents[7] = QRect(-2147483647, -2147483647, 2147483647, 2147483647); // off every side
        extents[8] = QRect(0, 0, 700, 500);                                   // the window
        ExtentGrid grid;
        grid.reset(window, extents);
        int asked = 0;
        for (int step = 0; step < 30; ++step) {
            const uint32_t moved = static_cast<uint32_t>(random() % extents.size());
            const QRect before = extents[moved];
            extents[moved] = step % 5 == 0 ? QRect() : anyRect(60);
            grid.move(moved, before, extents[moved]);
            QRegion region;
            for (int k = 0; k < 1 + step % 4; ++k) {
                region += anyRect(step % 10 == 9 ? 600 : 30);
            }
            region &= QRect(QPoint(0, 0), window);
            std::vector<uint32_t> found;
            if (!grid.candidates(region, &found)) {
                EXPECT_TRUE(found.empty());
                continue;
            }
            ++asked;
            EXPECT_TRUE(std::is_sorted(found.begin(), found.end()));
            EXPECT_EQ(std::adjacent_find(found.begin(), found.end()), found.end());
            const std::set<uint32_t> in(found.begin(), found.end());
            for (uint32_t i = 0; i < extents.size(); ++i) {
                // An empty extent paints nowhere (QRegion would say a 33x0 one meets it).
                if (!extents[i].isEmpty() && region.intersects(extents[i])) {
                    EXPECT_TRUE(in.count(i)) << "object " << i << " at step " << step;
                }
            }
        }
        EXPECT_GT(asked, 10); // small regions are answered, not declined
    }
}

} // namespace
