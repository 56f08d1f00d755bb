// The damaged region: repainting only it gives the full picture, event after event.
#include "tests/support/projecttestutil.h"
#include "tests/support/sessiontest.h"

#include "runtime/paint/recordingdevice.h"
#include "runtime/session/eventdispatch.h"
#include "runtime/session/eventscript.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QPainter>

#include <map>
#include <random>
#include <set>
#include <sstream>

using namespace kestro;
using namespace sessiontest;

namespace {

using Damage = PluginTest;

QJsonObject animation(const char* kind, const QString& expression, QJsonObject fields = {}) {
    fields["kind"] = kind;
    fields["expression"] = expression;
    return fields;
}

QJsonObject movement(const char* kind, const char* tag, int low, int high, int reach) {
    return animation(
        kind, tag,
        {{"minValue", low}, {"maxValue", high}, {"minOffset", -reach}, {"maxOffset", reach}});
}

QJsonObject sizing(int type, int mode) {
    return animation(
        "size", "Wave",
        {{"sizeType", type}, {"minPercent", 20}, {"maxPercent", 140}, {"sizeMode", mode}});
}

QJsonObject colours(const char* kind) {
    return animation(
        kind, "Wave",
        {{"values", QJsonArray{30, 70}}, {"colors", QJsonArray{"#FF0000", "#00A0FF"}}});
}

QJsonObject blink(int type) {
    return animation("blink", "Blink",
                     {{"blinkType", type}, {"penColor", "#FFFF00"}, {"brushColor", "#000080"}});
}

QJsonObject clickAction(int slot, int param) {
    QJsonArray flags{0, 0, 0, 0, 0, 0, 0, 0}, params{-1, -1, -1, -1, -1, -1, -1, -1};
    flags[slot] = 1;
    params[slot] = param;
    return animation("click", "1",
                     {{"flags", flags}, {"params", params}, {"keyCode", 0x4B}, {"keyFlags", 1}});
}

QJsonObject shape(const char* klass, const char* name, QJsonArray rect, QJsonArray animations,
                  QJsonObject fields = {}) {
    fields["class"] = klass;
    fields["name"] = name;
    fields["rect"] = rect;
    fields["animations"] = animations;
    return fields;
}

//! Every class of all-classes.json moving, sizing (with and without its clip), blinking both
//! ways, hidden and shown, over its neighbours; shapes reaching out of their rectangle; a
//! second window of another size behind a button.
std::string ownProject() {
    const QJsonObject classes =
        QJsonDocument::fromJson(QByteArray::fromStdString(projecttest::readFile(
                                    projecttest::sourceDir() + "/examples/all-classes.json")))
            .object();
    QJsonArray objects;
    int i = 0;
    for (const QJsonValue& value :
         classes["windows"].toArray()[0].toObject()["objects"].toArray()) {
        QJsonObject object = value.toObject();
        const QJsonArray sets[] = {
            {movement("hmove", "Ramp", -10, 10, 45), blink(0)},
            {movement("vmove", "Wave", 0, 100, 35), colours("pen")},
            {sizing(i % 7, 0), colours("brush")},
            {sizing(i % 7, 1), blink(1)},
            {animation("visible", "Square"), movement("hmove", "Wave", 0, 100, 30)},
            {animation("visible", "Show", {{"showType", 1}}),
             movement("vmove", "Ramp", -10, 10, 25)},
        };
        QJsonArray animations = sets[i++ % 6];
        if (object["class"] == "CDrawText") {
            animations.append(animation("output", "Wave", {{"decimals", 1}}));
            animations.append(colours("textColor"));
        }
        object["animations"] = animations;
        objects.append(object);
    }
    // Texts run past their boxes: one whose text grows and shrinks in place, one that moves.
    objects.append(shape("CDrawText", "Overrun", {40, 470, 70, 490},
                         {animation("output", "Wave * Wave * 100", {{"decimals", 0}})},
                         {{"fontSize", 22}, {"alignment", 0x81}, {"outline", false}}));
    objects.append(shape("CDrawText", "Sliding", {150, 470, 180, 490},
                         {movement("hmove", "Ramp", -10, 10, 60)},
                         {{"fontSize", 18}, {"alignment", 0x84}, {"text", "wider than its box"}}));
    objects.append(shape("CDrawLine", "ThickLine", {300, 440, 380, 490},
                         {movement("vmove", "Ramp", -10, 10, 20)},
                         {{"outline", QJsonObject{{"width", 11}, {"color", "#804000"}}}}));
    objects.append(shape(
        "CDrawGuan", "WideBand", {420, 440, 500, 480}, {movement("hmove", "Wave", 0, 100, 40)},
        {{"pipeWidth", 16}, {"points", QJsonArray{QJsonArray{420, 478}, QJsonArray{498, 478}}}}));
    objects.append(shape("CDrawParallelogram", "Slanted", {520, 420, 580, 470}, {sizing(0, 0)},
                         {{"percent", 170}, {"direction", 0}}));
    objects.append(shape("CDrawBalloon", "LongTail", {140, 20, 200, 60}, {sizing(6, 0)},
                         {{"tailSide", 0}, {"tailPos", 330}}));
    objects.append(shape("CDrawRect", "Details", {560, 0, 620, 20}, {clickAction(1, 2)}));

    QJsonArray second{shape("CDrawEllipse", "Moon", {30, 30, 120, 90},
                            {movement("hmove", "Ramp", -10, 10, 40), blink(0)}),
                      shape("CDrawRect", "Back", {200, 150, 280, 200}, {clickAction(2, 2)})};
    QJsonObject project{
        {"version", "4.0.0.0"},
        {"startWindow", 1},
        {"tags",
         QJsonArray{
             QJsonObject{
                 {"name", "Ramp"},
                 {"simulation",
                  QJsonObject{{"kind", "ramp"}, {"period", 9}, {"low", -10}, {"high", 10}}}},
             QJsonObject{{"name", "Wave"},
                         {"simulation", QJsonObject{{"kind", "sine"}, {"period", 7}}}},
             QJsonObject{{"name", "Square"},
                         {"type", "int"},
                         {"simulation",
                          QJsonObject{{"kind", "square"}, {"period", 3}, {"low", 0}, {"high", 1}}}},
             QJsonObject{{"name", "Blink"},
                         {"type", "int"},
                         {"simulation",
                          QJsonObject{{"kind", "square"}, {"period", 5}, {"low", 0}, {"high", 1}}}},
             QJsonObject{{"name", "Show"}, {"type", "int"}},
             QJsonObject{{"name", "Level"}, {"initial", 3}}}},
        {"windows", QJsonArray{QJsonObject{{"number", 1},
                                           {"size", QJsonArray{620, 500}},
                                           {"background", "#E0E8D0"},
                                           {"objects", objects}},
                               QJsonObject{{"number", 2},
                                           {"size", QJsonArray{300, 220}},
                                           {"background", "#304050"},
                                           {"objects", second}}}}};
    return QJsonDocument(project).toJson().toStdString();
}

//! What the run went through, counted from the objects' states after each event.
struct Seen {
    std::set<std::string> kinds;
    std::map<std::pair<int, int>, ObjectState> last;

    void note(const std::vector<ObjectState>& states) {
        for (const ObjectState& s : states) {
            const auto known = last.find({s.window, s.index});
            if (known != last.end()) {
                const ObjectState& b = known->second;
                const int w = s.rect.right - s.rect.left, h = s.rect.bottom - s.rect.top;
                if (w != b.rect.right - b.rect.left || h != b.rect.bottom - b.rect.top) {
                    kinds.insert("resized");
                } else if (s.rect.left != b.rect.left || s.rect.top != b.rect.top) {
                    kinds.insert("moved");
                }
                if (s.showState / 10 != b.showState / 10) {
                    kinds.insert("blinked");
                }
                if (s.visible && !b.visible) {
                    kinds.insert("hidden then shown");
                }
                if (s.text != b.text) {
                    kinds.insert("text changed");
                }
            }
            if (s.clip) {
                kinds.insert("clipped");
            }
            last[{s.window, s.index}] = s;
        }
    }
};

//! "" when equal, else where and how they first differ.
std::string firstDifference(const QImage& shown, const QImage& full) {
    if (shown.size() != full.size()) {
        return "sizes differ";
    }
    if (shown == full) {
        return "";
    }
    for (int y = 0; y < full.height(); ++y) {
        for (int x = 0; x < full.width(); ++x) {
            if (shown.pixel(x, y) != full.pixel(x, y)) {
                std::ostringstream out;
                out << "pixel (" << x << ", " << y << ") is " << std::hex << shown.pixel(x, y)
                    << ", the full repaint has " << full.pixel(x, y);
                return out.str();
            }
        }
    }
    return "";
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
    const struct {
        const char* name;
        std::string json;
        unsigned seed;
        int steps;
    } cases[] = {
        {"examples/plant.json",
         projecttest::readFile(projecttest::sourceDir() + "/examples/plant.json"), 7, 220},
        {"examples/all-classes.json",
         projecttest::readFile(projecttest::sourceDir() + "/examples/all-classes.json"), 11, 40},
        {"examples/animations.json",
         projecttest::readFile(projecttest::sourceDir() + "/examples/animations.json"), 13, 160},
        {"moving classes", ownProject(), 17, 320},
    };
    Seen seen;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Project project = projecttest::compiled(c.json, c.name);
        Session session(options());
        std::string error;
        ASSERT_TRUE(session.load(project, &error)) << error;
        session.start();
        std::mt19937 random(c.seed);
        QImage shown;
        for (int step = 0; step <= c.steps; ++step) {
            std::string what = "loading";
            if (step > 0) {
                what = randomEvent(random, session, project);
                std::vector<ScriptEvent> events;
                ScriptError scriptError;
                ASSERT_TRUE(parseEventScript(what, &events, &scriptError)) << what;
                dispatchEvent(session, events.at(0));
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
            const std::string difference = firstDifference(shown, session.render());
            ASSERT_EQ(difference, "")
                << "step " << step << " (" << what << ") in window " << session.currentWindow();
            seen.note(session.objectStates());
        }
    }
    EXPECT_EQ(seen.kinds, (std::set<std::string>{"blinked", "clipped", "hidden then shown", "moved",
                                                 "resized", "text changed"}));
}

//! Window 1: a lamp shown while Show is not 0 beside a plain box; window 2 of another size.
Project lampAndBox() {
    ProjectBuilder b;
    b.tag("Show", VarType::Int, 1);
    ObjectRecord lamp = ProjectBuilder::shape("Lamp", 10, 10, 40, 40, 0xFF0000);
    VisibleRecord visible;
    visible.header = b.header("Show");
    lamp.animations.push_back(animationEntry(visible));
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
        {"window 2", QRect(0, 0, 120, 80), {}},
        {"window 1", QRect(0, 0, 200, 100), {}},
    };
    for (const auto& step : steps) {
        std::vector<ScriptEvent> events;
        ScriptError scriptError;
        ASSERT_TRUE(parseEventScript(step.event, &events, &scriptError));
        dispatchEvent(session, events[0]);
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

} // namespace
