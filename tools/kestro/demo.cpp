// The demo plant.
#include "tools/kestro/demo.h"

#include "runtime/script/compiler.h"
#include "runtime/shaperecords.h"
#include "runtime/streamwriter.h"

#include <QFile>

#include <stdexcept>

namespace kestro::cli {

namespace {

// Class numbers of the shapes the fallback plant uses.
constexpr uint32_t kRect = 0x5004;
constexpr uint32_t kRoundRect = 0x5005;
constexpr uint32_t kEllipse = 0x5006;
constexpr uint32_t kDiamond = 0x500C;

// Click-action slots.
constexpr size_t kSlotStrategy = 0;
constexpr size_t kSlotOpen = 1;
constexpr size_t kSlotClose = 2;

class Builder {
public:
    explicit Builder(Project* project) : m_project(project) {}

    std::string program(const std::string& source) const {
        const Project* project = m_project;
        const script::CompileResult result =
            script::compile(source, [project](const std::string& tag) {
                for (size_t i = 0; i < project->tags.size(); ++i) {
                    if (project->tags[i].name == tag) {
                        return static_cast<int>(i);
                    }
                }
                return -1;
            });
        if (!result.ok()) {
            throw std::logic_error("demo expression \"" + source + "\": " + result.error.text());
        }
        return std::string(result.bytes.begin(), result.bytes.end());
    }

    AnimationHeader header(const std::string& source) const {
        AnimationHeader h;
        h.program = program(source);
        return h;
    }

    static ObjectRecord shape(const std::string& name, int left, int top, int right, int bottom,
                              uint32_t fill, int penWidth = 0) {
        ObjectRecord r;
        r.name = name;
        r.left = left;
        r.top = top;
        r.right = right;
        r.bottom = bottom;
        r.brush = 1;
        r.brushColor = fill;
        if (penWidth > 0) {
            r.pen = 1;
            r.penWidthX = penWidth;
            r.penColor = 0x303030;
        }
        return r;
    }

    static ClickRecord click(size_t slot, int32_t parameter) {
        ClickRecord c;
        c.texts.assign(8, std::string());
        c.flags.assign(8, 0);
        c.params.assign(8, -1);
        c.flags[slot] = 1;
        c.params[slot] = parameter;
        return c;
    }

    static ObjectDef object(uint32_t classNumber, const ObjectRecord& record,
                            std::vector<std::string> expressions = {}) {
        ObjectDef def;
        def.classNumber = classNumber;
        def.name = record.name;
        def.record = encodeObject(record);
        def.expressions = std::move(expressions);
        return def;
    }

private:
    Project* m_project;
};

TagDef tag(const std::string& name, VarType type, double initial, Simulation simulation = {}) {
    TagDef t;
    t.name = name;
    t.type = type;
    t.number = initial;
    t.simulation = std::move(simulation);
    return t;
}

Simulation simulation(Simulation::Kind kind, double period, double low, double high) {
    Simulation s;
    s.kind = kind;
    s.period = period;
    s.low = low;
    s.high = high;
    return s;
}

} // namespace

Project fallbackDemo() {
    Project project;
    project.version = {3, 2, 5, 1841, "3.2.5.1841"};
    project.tags = {
        tag("Tank.Level", VarType::Float, 55, simulation(Simulation::Kind::Sine, 20, 20, 90)),
        tag("Pump.Running", VarType::Int, 1, simulation(Simulation::Kind::Square, 8, 0, 1)),
        tag("Flow", VarType::Float, 0, simulation(Simulation::Kind::Ramp, 10, 0, 10)),
        tag("Valve.Open", VarType::Int, 0),
    };
    StrategyDef toggleValve;
    toggleValve.number = 1;
    toggleValve.name = "Toggle valve";
    toggleValve.actions.push_back({StrategyAction::Kind::Toggle, "Valve.Open", 0.0, {}});
    project.strategies.push_back(toggleValve);

    Builder b(&project);
    WindowDef plant;
    plant.number = 1;
    plant.name = "Plant";
    plant.width = 640;
    plant.height = 400;
    plant.background = 0xE8ECF0;

    plant.objects.push_back(
        Builder::object(kRect, Builder::shape("Tank", 100, 80, 220, 320, 0xFFFFFF, 2)));

    ObjectRecord level = Builder::shape("TankLevel", 102, 82, 218, 318, 0x2F7FD8);
    SizeRecord levelSize;
    levelSize.header = b.header("Tank.Level");
    levelSize.sizeType = 3; // the bottom edge stays
    levelSize.maxValue = 100;
    levelSize.maxPercent = 100;
    level.animations.push_back(animationEntry(levelSize));
    plant.objects.push_back(Builder::object(kRect, level, {"Tank.Level"}));

    ObjectRecord alarm = Builder::shape("HighAlarm", 240, 80, 270, 110, 0xE03030, 1);
    VisibleRecord alarmVisible;
    alarmVisible.header = b.header("Tank.Level > 80");
    BlinkRecord alarmBlink;
    alarmBlink.header = b.header("1");
    alarm.animations.push_back(animationEntry(alarmVisible));
    alarm.animations.push_back(animationEntry(alarmBlink));
    plant.objects.push_back(Builder::object(kEllipse, alarm, {"Tank.Level > 80", "1"}));

    plant.objects.push_back(
        Builder::object(kRect, Builder::shape("Pipe", 220, 270, 320, 290, 0x909090)));

    ObjectRecord pump = Builder::shape("Pump", 320, 240, 400, 320, 0xA0A0A0, 2);
    BrushRecord pumpColor;
    pumpColor.header = b.header("Pump.Running");
    pumpColor.values = {0.5f, 1.0f};
    pumpColor.colors = {0xA0A0A0, 0x30B050};
    pump.animations.push_back(animationEntry(pumpColor));
    plant.objects.push_back(Builder::object(kEllipse, pump, {"Pump.Running"}));

    ObjectRecord marker = Builder::shape("FlowMarker", 420, 272, 436, 288, 0xF08020);
    HMoveRecord markerMove;
    markerMove.header = b.header("Flow");
    markerMove.maxOffset = 160;
    markerMove.maxValue = 10;
    marker.animations.push_back(animationEntry(markerMove));
    plant.objects.push_back(Builder::object(kRect, marker, {"Flow"}));

    ObjectRecord valve = Builder::shape("Valve", 330, 150, 370, 190, 0xC03030, 1);
    BrushRecord valveColor;
    valveColor.header = b.header("Valve.Open");
    valveColor.values = {0.5f, 1.0f};
    valveColor.colors = {0xC03030, 0x30B050};
    ClickRecord valveClick = Builder::click(kSlotStrategy, 1);
    valveClick.header = b.header("0");
    valve.animations.push_back(animationEntry(valveColor));
    valve.animations.push_back(animationEntry(valveClick));
    plant.objects.push_back(Builder::object(kDiamond, valve, {"Valve.Open", ""}));

    ObjectRecord details = Builder::shape("DetailsButton", 500, 20, 620, 60, 0xD0D8E0, 1);
    details.extra = encodeFields(RoundRectFields{16, 16});
    ClickRecord detailsClick = Builder::click(kSlotOpen, 2);
    detailsClick.header = b.header("0");
    details.animations.push_back(animationEntry(detailsClick));
    plant.objects.push_back(Builder::object(kRoundRect, details, {""}));

    WindowDef more;
    more.number = 2;
    more.name = "Details";
    more.width = 320;
    more.height = 200;
    more.background = 0xFFFFFF;
    more.objects.push_back(
        Builder::object(kRect, Builder::shape("LevelBar", 20, 20, 300, 50, 0xFFFFFF, 1)));
    ObjectRecord levelFill = Builder::shape("LevelFill", 21, 21, 299, 49, 0x2F7FD8);
    SizeRecord fillSize;
    fillSize.header = b.header("Tank.Level");
    fillSize.sizeType = 6; // the left edge stays
    fillSize.maxValue = 100;
    fillSize.maxPercent = 100;
    levelFill.animations.push_back(animationEntry(fillSize));
    more.objects.push_back(Builder::object(kRect, levelFill, {"Tank.Level"}));
    ObjectRecord back = Builder::shape("Back", 20, 140, 120, 180, 0xD0D8E0, 1);
    ClickRecord backClick = Builder::click(kSlotClose, 2);
    backClick.header = b.header("0");
    back.animations.push_back(animationEntry(backClick));
    more.objects.push_back(Builder::object(kRect, back, {""}));

    project.windows = {plant, more};
    project.startWindow = 1;
    return project;
}

bool demoProject(Project* project, std::string* sourceName, ProjectError* error) {
    QFile plant(QStringLiteral(":/demo/plant.json"));
    if (plant.open(QIODevice::ReadOnly)) {
        *sourceName = "plant.json (built in)";
        const QByteArray json = plant.readAll();
        return compileProjectJson(json.toStdString(), *sourceName, project, error);
    }
    *sourceName = "the fallback demo plant (built in)";
    *project = fallbackDemo();
    return true;
}

} // namespace kestro::cli
