// Painting: each class's Draw against the same painter calls made directly, the plain shapes
// against a QGraphicsScene of the equivalent items, and a whole window of the demo plant.
#include "bench/benches.h"
#include "bench/replay.h"
#include "bench/table.h"
#include "bench/world.h"

#include "kestrovalumen/host/gui.h"
#include "runtime/paint/recordingdevice.h"
#include "runtime/session/pluginloader.h"
#include "runtime/session/session.h"

#include <QGraphicsEllipseItem>
#include <QGraphicsLineItem>
#include <QGraphicsPathItem>
#include <QGraphicsPolygonItem>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QImage>
#include <QJsonArray>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <memory>
#include <optional>

namespace kvbench {

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kGrid = 100; //!< objects in a grid window

//! The image every painting benchmark draws on.
struct Canvas {
    QImage image{kWidth, kHeight, QImage::Format_ARGB32_Premultiplied};
    QPainter painter;

    Canvas() {
        image.fill(Qt::white);
        painter.begin(&image);
    }
};

Canvas& canvas() {
    static Canvas* c = new Canvas;
    return *c;
}

kestro::PaintRecords recordDraw(draw_object_c& object, Replay::After* after = nullptr) {
    kestro::RecordingDevice device(kWidth, kHeight);
    QPainter painter(&device);
    object.Draw(&painter);
    if (after != nullptr) {
        *after = {painter.pen(), painter.brush()};
    }
    painter.end();
    return device.records();
}

//! Per class: its drawing ends with a shape drawn with no pen and the brush set (not a fill).
//! The window's traces do not show the painter after each object; this tells their replays.
std::map<std::string, bool>& endsWithNoPenDrawing() {
    static auto* classes = new std::map<std::string, bool>;
    return *classes;
}

//! True when both ways paint the same pixels on a white image.
bool samePixels(draw_object_c& object, const Replay& replay) {
    QImage a(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    QImage b(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    a.fill(Qt::white);
    b.fill(Qt::white);
    {
        QPainter p(&a);
        object.Draw(&p);
    }
    {
        QPainter p(&b);
        replay.play(&p);
    }
    return a == b;
}

struct ClassEntry {
    std::string name;
    std::unique_ptr<draw_object_c> object;
    Replay replay;
};

std::deque<ClassEntry>& classEntries() {
    static auto* entries = new std::deque<ClassEntry>;
    return *entries;
}

//! The classes of the module's own plug-in, in registration order.
std::vector<std::pair<uint32_t, std::string>> moduleClasses() {
    std::vector<std::pair<uint32_t, std::string>> classes;
    for (const kestro::LoadedPlugin& plugin : plugins().plugins()) {
        if (plugin.path.find("libkestrovalumen") == std::string::npos) {
            continue;
        }
        for (rtti::clazz_c* descriptor : plugin.classes) {
            classes.emplace_back(descriptor->class_id(), descriptor->class_name());
        }
    }
    return classes;
}

// ---- grids of the plain shapes, and the scene a Qt user would build instead ----

const char* const kPlainShapes[] = {"CDrawRect", "CDrawEllipse", "CDrawRoundRect", "CDrawLine",
                                    "CDrawPoly"};

//! The object of the example moved so that its rectangle starts at (x, y).
QJsonObject movedTo(QJsonObject object, int x, int y) {
    const QJsonArray rect = object["rect"].toArray();
    const int dx = x - rect[0].toInt();
    const int dy = y - rect[1].toInt();
    object["rect"] = QJsonArray{rect[0].toInt() + dx, rect[1].toInt() + dy, rect[2].toInt() + dx,
                                rect[3].toInt() + dy};
    if (object.contains("points")) {
        QJsonArray points;
        for (const QJsonValue& p : object["points"].toArray()) {
            const QJsonArray xy = p.toArray();
            points.append(QJsonArray{xy[0].toInt() + dx, xy[1].toInt() + dy});
        }
        object["points"] = points;
    }
    return object;
}

//! The item that draws what the record draws, with its pen and brush.
QGraphicsItem* itemFor(const kestro::PaintRecord& record) {
    using kestro::PaintKind;
    QAbstractGraphicsShapeItem* shape = nullptr;
    switch (record.kind) {
    case PaintKind::Rects:
        shape = new QGraphicsRectItem(record.rect());
        break;
    case PaintKind::Ellipse:
        shape = new QGraphicsEllipseItem(record.rect());
        break;
    case PaintKind::Path:
        shape = new QGraphicsPathItem(record.path);
        break;
    case PaintKind::Polygon:
        if (record.polygonMode == QPaintEngine::PolylineMode) {
            QPainterPath path;
            path.addPolygon(record.points);
            shape = new QGraphicsPathItem(path);
        } else {
            auto* polygon = new QGraphicsPolygonItem(record.points);
            polygon->setFillRule(record.polygonMode == QPaintEngine::WindingMode ? Qt::WindingFill
                                                                                 : Qt::OddEvenFill);
            shape = polygon;
        }
        break;
    case PaintKind::Lines: {
        auto* line = new QGraphicsLineItem(record.lines.value(0));
        line->setPen(record.state.pen);
        return line;
    }
    default:
        fail("no graphics item for a " + kindName(record.kind).toStdString() + " record");
    }
    shape->setPen(record.state.pen);
    shape->setBrush(record.state.brush);
    return shape;
}

struct Grid {
    std::string name;
    std::vector<std::unique_ptr<draw_object_c>> objects;
    std::unique_ptr<QGraphicsScene> scene;
};

Grid makeGrid(const std::string& className, const QJsonObject& example) {
    QJsonArray objects;
    for (int k = 0; k < kGrid; ++k) {
        objects.append(movedTo(example, 20 + (k % 10) * 190, 20 + (k / 10) * 105));
    }
    QJsonObject window{{"number", 1},
                       {"name", "grid"},
                       {"size", QJsonArray{kWidth, kHeight}},
                       {"objects", objects}};
    const kestro::Project project = compileProject(
        QJsonObject{{"version", "4.0.0.0"}, {"windows", QJsonArray{window}}}, "grid.json");
    Grid grid;
    grid.name = className;
    grid.scene = std::make_unique<QGraphicsScene>(0, 0, kWidth, kHeight);
    for (const kestro::ObjectDef& def : project.windows[0].objects) {
        grid.objects.push_back(loadObject(def));
        for (const kestro::PaintRecord& record : recordDraw(*grid.objects.back())) {
            if (record.kind != kestro::PaintKind::Clip) {
                grid.scene->addItem(itemFor(record));
            }
        }
    }
    return grid;
}

// ---- the demo plant, through the session ----

struct PlantStage : Stage {
    kestro::Session session;
    Replay background;
    std::vector<Replay> objects;
    int width = 0;
    int height = 0;

    PlantStage() : session(options()) {
        const kestro::Project project =
            compileProject(readFile(sourceDir() + "/examples/plant.json"), "examples/plant.json");
        std::string error;
        if (!session.load(project, &error)) {
            fail("plant.json: " + error);
        }
        session.start();
        const kestro::Session::Trace trace = session.trace();
        background = Replay(trace.background);
        width = trace.size.width();
        height = trace.size.height();
        for (const kestro::Session::ObjectTrace& object : trace.objects) {
            std::optional<Replay::After> after;
            const auto known = endsWithNoPenDrawing().find(object.className);
            if (known != endsWithNoPenDrawing().end() && known->second && !object.records.empty()) {
                after = Replay::After{object.records.back().state.pen,
                                      object.records.back().state.brush};
            }
            objects.emplace_back(object.records, after);
        }
    }
    static kestro::SessionOptions options() {
        kestro::SessionOptions o;
        o.plugins = &plugins();
        return o;
    }
};

PlantStage& plant() {
    return stage<PlantStage>([] { return std::make_unique<PlantStage>(); });
}

} // namespace

void registerPaintBenchmarks() {
    const QJsonObject example = readJson(sourceDir() + "/examples/all-classes.json");
    const QJsonArray exampleObjects =
        example["windows"].toArray()[0].toObject()["objects"].toArray();
    const kestro::Project project = compileProject(example, "examples/all-classes.json");
    const std::vector<kestro::ObjectDef>& defs = project.windows[0].objects;

    for (const auto& [number, name] : moduleClasses()) {
        const kestro::ObjectDef* def = nullptr;
        for (const kestro::ObjectDef& d : defs) {
            if (d.classNumber == number) {
                def = &d;
                break;
            }
        }
        if (def == nullptr) {
            fail("examples/all-classes.json has no " + name);
        }
        ClassEntry entry;
        entry.name = name;
        entry.object = loadObject(*def);
        Replay::After after;
        const kestro::PaintRecords records = recordDraw(*entry.object, &after);
        if (std::getenv("KVBENCH_DUMP") != nullptr) {
            std::printf("%s\n%s\n", name.c_str(), qPrintable(kestro::dump(records)));
        }
        entry.replay = Replay(records, after);
        endsWithNoPenDrawing()[name] = entry.replay.endsWithNoPenDrawing();
        if (entry.replay.skipped() != 0 || entry.replay.empty()) {
            fail(name + ": the recorded calls cannot be replayed");
        }
        if (!samePixels(*entry.object, entry.replay)) {
            setFact("paint/" + name + "/replay-differs", 1);
        }
        classEntries().push_back(std::move(entry));
    }

    QPainter* painter = &canvas().painter;
    for (const ClassEntry& entry : classEntries()) {
        addRow("paint", entry.name);
        draw_object_c* object = entry.object.get();
        const Replay* replay = &entry.replay;
        addWorkload({"paint/" + entry.name + "/module", {}, [=] { object->Draw(painter); }, {}});
        addWorkload({"paint/" + entry.name + "/direct", {}, [=] { replay->play(painter); }, {}});
    }

    for (const char* name : kPlainShapes) {
        QJsonObject exampleObject;
        for (const QJsonValue& o : exampleObjects) {
            if (o.toObject()["class"].toString() == QLatin1String(name)) {
                exampleObject = o.toObject();
                break;
            }
        }
        // Made when first measured: under callgrind every set-up is slow.
        auto grid = std::make_shared<Grid>();
        const auto prepare = [grid, name, exampleObject] {
            if (!grid->scene) {
                *grid = makeGrid(name, exampleObject);
            }
        };
        addRow("grid", name);
        // As the session paints a window: clipped to it, every object from the same state.
        Workload module{std::string("grid/") + name + "/module",
                        prepare,
                        [=] {
                            painter->save();
                            painter->setClipRect(QRect(0, 0, kWidth, kHeight));
                            for (const auto& object : grid->objects) {
                                painter->save();
                                object->Draw(painter);
                                painter->restore();
                            }
                            painter->restore();
                        },
                        {}};
        module.items = kGrid;
        addWorkload(module);
        Workload scene{std::string("grid/") + name + "/scene",
                       prepare,
                       [=] {
                           const QRectF all(0, 0, kWidth, kHeight);
                           grid->scene->render(painter, all, all, Qt::IgnoreAspectRatio);
                       },
                       {}};
        scene.items = kGrid;
        addWorkload(scene);
    }

    addRow("window", "plant");
    addWorkload(
        {"window/plant/module", [] { plant(); }, [=] { plant().session.paint(painter); }, {}});
    addWorkload({"window/plant/direct",
                 [] { plant(); },
                 [=] {
                     PlantStage& stage = plant();
                     stage.background.play(painter);
                     painter->save();
                     painter->setClipRect(QRect(0, 0, stage.width, stage.height));
                     for (const Replay& object : stage.objects) {
                         painter->save();
                         object.play(painter);
                         painter->restore();
                     }
                     painter->restore();
                 },
                 {}});
}

} // namespace kvbench
