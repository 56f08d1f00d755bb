// Repainting what changed: a window of 10,000 rectangles where one refresh in between changes
// 1 % of them, scattered over the window; the damaged region taken and repainted against the
// whole window repainted. And a refresh that changes nothing: no painter call at all.
#include "bench/benches.h"
#include "bench/table.h"
#include "bench/world.h"

#include "runtime/host/rtdb.h"
#include "runtime/paint/recordingdevice.h"
#include "runtime/session/session.h"

#include <QImage>
#include <QJsonArray>
#include <QPainter>

#include <memory>
#include <string>

namespace kvbench {

namespace {

constexpr int kObjects = 10000;
constexpr int kTags = 100; //!< each drives 1 % of the objects
constexpr double kLow = 25.0;
constexpr double kHigh = 75.0;

//! How the objects of a tag change when it flips.
struct DamageCase {
    const char* name;
    int window;
    QJsonObject animation; //!< on the tag "T"
};

const DamageCase kCases[] = {
    {"colour",
     1,
     {{"kind", "brush"},
      {"expression", "T"},
      {"values", QJsonArray{50, 100}},
      {"colors", QJsonArray{"#00FF00", "#FF0000"}}}},
    {"move",
     2,
     {{"kind", "hmove"},
      {"expression", "T"},
      {"minOffset", 0},
      {"maxOffset", 4},
      {"minValue", 0},
      {"maxValue", 100}}},
};

struct DamageStage : Stage {
    kestro::Session session{options()};
    QImage image{1920, 1080, QImage::Format_ARGB32_Premultiplied};
    QPainter painter;
    int flips = 0;

    static kestro::SessionOptions options() {
        kestro::SessionOptions o;
        o.plugins = &plugins();
        return o;
    }

    DamageStage() {
        QJsonArray tags;
        for (int k = 0; k < kTags; ++k) {
            tags.append(QJsonObject{{"name", QString("T%1").arg(k)}, {"initial", kLow}});
        }
        QJsonArray windows;
        for (const DamageCase& c : kCases) {
            QJsonArray objects;
            for (int i = 0; i < kObjects; ++i) {
                const int x = (i % 100) * 19;
                const int y = (i / 100) * 10;
                // Object i reads tag (37 i mod 100) / ..., a column and a row apart from the
                // next object of the same tag: a tag's objects lie all over the window.
                const int tag = (i * 37 + i / 100) % kTags;
                QJsonObject animation = c.animation;
                animation["expression"] = QString("T%1").arg(tag);
                objects.append(QJsonObject{{"class", "CDrawRect"},
                                           {"rect", QJsonArray{x, y, x + 15, y + 8}},
                                           {"outline", "#000000"},
                                           {"fill", "#808080"},
                                           {"animations", QJsonArray{animation}}});
            }
            windows.append(QJsonObject{
                {"number", c.window}, {"size", QJsonArray{1920, 1080}}, {"objects", objects}});
        }
        const kestro::Project project = compileProject(
            QJsonObject{
                {"version", "4.0.0.0"}, {"startWindow", 1}, {"tags", tags}, {"windows", windows}},
            "damage.json");
        std::string error;
        if (!session.load(project, &error) || !session.problems().empty()) {
            fail("damage window: " + error);
        }
        session.start();
        image.fill(Qt::white);
        painter.begin(&image);
    }

    void show(const DamageCase& c) {
        session.showWindow(c.window);
        session.paint(&painter, session.takeDamage());
        flip();
    }

    //! One tag to the other value, then a refresh: 1 % of the objects change.
    void flip() {
        const int tag = flips % kTags;
        const bool high = (flips / kTags) % 2 == 0;
        ++flips;
        kestro::Rtdb::instance().setFloat(tag, high ? kHigh : kLow);
        session.refresh();
    }
};

DamageStage& damageStage() {
    return stage<DamageStage>([] { return std::make_unique<DamageStage>(); });
}

//! The share of the window a partial repaint covers and its painter calls, and the painter
//! calls when nothing changed; counted on the recording device outside the timed loops.
void countCalls(const DamageCase& c) {
    DamageStage& stage = damageStage();
    stage.show(c);
    const QRegion damage = stage.session.takeDamage();
    double area = 0;
    for (const QRect& r : damage) {
        area += static_cast<double>(r.width()) * r.height();
    }
    const std::string key = std::string("damage/") + c.name;
    setFact(key + "/area", area / (1920.0 * 1080.0));
    kestro::RecordingDevice device(1920, 1080);
    {
        QPainter painter(&device);
        stage.session.paint(&painter, damage);
    }
    setFact(key + "/calls", static_cast<double>(device.drawings().size()));
    device.clear();
    {
        QPainter painter(&device);
        stage.session.paint(&painter);
    }
    setFact(key + "/full-calls", static_cast<double>(device.drawings().size()));
    device.clear();
    stage.session.refresh(); // nothing changes
    {
        QPainter painter(&device);
        stage.session.paint(&painter, stage.session.takeDamage());
    }
    setFact(key + "/unchanged-calls", static_cast<double>(device.records().size()));
}

} // namespace

void registerDamageBenchmarks() {
    for (const DamageCase& c : kCases) {
        addRow("damage", c.name);
        const std::string base = std::string("damage/") + c.name;
        const auto prepare = [&c] { damageStage().show(c); };
        addWorkload({base + "/partial", prepare,
                     [] {
                         DamageStage& stage = damageStage();
                         stage.session.paint(&stage.painter, stage.session.takeDamage());
                     },
                     [] { damageStage().flip(); }});
        addWorkload({base + "/full", prepare,
                     [] {
                         DamageStage& stage = damageStage();
                         stage.session.paint(&stage.painter);
                     },
                     [] {
                         damageStage().flip();
                         damageStage().session.takeDamage();
                     }});
        // The take and paint after a refresh that changed nothing: the look at every object.
        addWorkload({base + "/unchanged",
                     [&c] {
                         DamageStage& stage = damageStage();
                         stage.show(c);
                         stage.session.paint(&stage.painter, stage.session.takeDamage());
                     },
                     [] {
                         DamageStage& stage = damageStage();
                         stage.session.paint(&stage.painter, stage.session.takeDamage());
                     },
                     [] { damageStage().session.refresh(); }});
    }
}

void countDamageCalls() {
    for (const DamageCase& c : kCases) {
        countCalls(c);
    }
    dropStage();
}

} // namespace kvbench
