// A picture of every shape class of the drawing plug-in.
#include "tools/kestro/gallery.h"

#include "runtime/project/shapecatalog.h"
#include "runtime/stream/shaperecords.h"
#include "runtime/stream/writer.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QString>

#include <utility>

namespace kestro::gallery {

namespace {

using RecordFn = std::function<ObjectRecord(const QRect&)>;
using FieldsFn = std::function<std::string(const QRect&)>;

// Colours, 0x00RRGGBB.
constexpr uint32_t kInk = 0x1F3B5C;
constexpr uint32_t kFill = 0x7FB2E5;
constexpr uint32_t kSteel = 0x3A4048;
constexpr uint32_t kSilver = 0xE4E8EC;
constexpr uint32_t kPanel = 0xD4D0C8;
constexpr uint32_t kDeep = 0x7A2E0E;
constexpr uint32_t kGlow = 0xFFC070;

const QSize kWide(100, 72);
const QSize kSquare(76, 76);

struct Look {
    bool pen = true;
    bool fill = true;
    int width = 2;
    uint32_t penColor = kInk;
    uint32_t fillColor = kFill;
};

const Look kBoth;
const Look kFillOnly{false, true};
const Look kOutlineOnly{true, false};
const Look kShaded{true, true, 1, kDeep, kGlow}; // the gradient solids' two ends
const Look kMetal{true, true, 1, kSteel, kSilver};
const Look kPanelLook{true, true, 1, kInk, kPanel};

ObjectRecord frame(const QRect& rect, const Look& look) {
    ObjectRecord record;
    record.left = rect.left();
    record.top = rect.top();
    record.right = rect.left() + rect.width();
    record.bottom = rect.top() + rect.height();
    record.pen = look.pen ? 1 : 0;
    record.penWidthX = look.width;
    record.penColor = look.penColor;
    record.brush = look.fill ? 1 : 0;
    record.brushColor = look.fillColor;
    return record;
}

RecordFn framed(Look look) {
    return [look](const QRect& rect) { return frame(rect, look); };
}

template <class Fields>
FieldsFn fixed(Fields fields) {
    return [fields](const QRect&) { return encodeFields(fields); };
}

Cell cell(const char* className, std::string parameters, QSize size, Look look, FieldsFn fields) {
    return {className, std::move(parameters), size, framed(look), std::move(fields)};
}

Cell plain(const char* className, std::string parameters, QSize size, Look look) {
    return cell(className, std::move(parameters), size, look, fixed(NoShapeFields{}));
}

const char* const kPointing[] = {"up", "right", "down", "left"};

//! One cell per direction 0 to 3 of a class with a percent and a direction.
void fourWays(std::vector<Cell>* cells, const char* className, int percent, QSize size,
              const char* const names[4], Look look = kBoth) {
    for (int direction = 0; direction < 4; ++direction) {
        cells->push_back(cell(className,
                              "direction " + std::to_string(direction) + " " + names[direction] +
                                  ", " + std::to_string(percent) + "%",
                              size, look, fixed(PercentDirectionFields{percent, direction})));
    }
}

//! The same for a class with a direction only.
void fourWays(std::vector<Cell>* cells, const char* className, QSize size,
              const char* const names[4]) {
    for (int direction = 0; direction < 4; ++direction) {
        cells->push_back(cell(className,
                              "direction " + std::to_string(direction) + " " + names[direction],
                              size, kBoth, fixed(DirectionFields{direction})));
    }
}

//! A line from one corner of the box to the other; the record's rectangle holds the end points.
Cell line(std::string parameters, bool rising, int width) {
    Cell c = plain("CDrawLine", std::move(parameters), kWide, kBoth);
    c.record = [rising, width](const QRect& rect) {
        Look look;
        look.width = width;
        ObjectRecord record = frame(rect, look);
        if (rising) {
            std::swap(record.top, record.bottom);
        }
        return record;
    };
    return c;
}

Cell flatLine() {
    Cell c = line("horizontal, width 4", false, 4);
    const RecordFn slanted = c.record;
    c.record = [slanted](const QRect& rect) {
        ObjectRecord record = slanted(rect);
        record.top = record.bottom = rect.center().y();
        return record;
    };
    return c;
}

std::vector<Point32> offset(const std::vector<Point32>& points, const QRect& rect) {
    std::vector<Point32> moved;
    for (const Point32& point : points) {
        moved.emplace_back(point.first + rect.left(), point.second + rect.top());
    }
    return moved;
}

Cell poly(std::string parameters, bool closed, Look look, std::vector<Point32> points) {
    return cell("CDrawPoly", std::move(parameters), kWide, look,
                [closed, points](const QRect& rect) {
                    PolyFields fields;
                    fields.closed = closed ? 1 : 0;
                    fields.points = offset(points, rect);
                    return encodeFields(fields);
                });
}

Cell band(std::string parameters, uint16_t width, std::vector<Point32> path) {
    return cell("CDrawGuan", std::move(parameters), kWide, Look{true, true, 1, kSteel, 0x9CB4CC},
                [width, path](const QRect& rect) {
                    GuanFields fields;
                    fields.pipeWidth = width;
                    fields.path = offset(path, rect);
                    return encodeFields(fields);
                });
}

Section basics() {
    Section s{"Rectangles, ellipses, lines and arcs", {}};
    auto& c = s.cells;
    c.push_back(plain("CDrawRect", "outline + fill", kWide, kBoth));
    c.push_back(plain("CDrawRect", "fill only", kWide, kFillOnly));
    c.push_back(plain("CDrawRect", "outline only", kWide, kOutlineOnly));
    c.push_back(
        cell("CDrawRoundRect", "corners 20x20", kWide, kBoth, fixed(RoundRectFields{20, 20})));
    c.push_back(cell("CDrawRoundRect", "corners 48x30, outline only", kWide, kOutlineOnly,
                     fixed(RoundRectFields{48, 30})));
    c.push_back(plain("CDrawEllipse", "outline + fill", kWide, kBoth));
    c.push_back(plain("CDrawEllipse", "outline only", kWide, kOutlineOnly));
    c.push_back(line("falling, width 2", false, 2));
    c.push_back(line("rising, width 2", true, 2));
    c.push_back(flatLine());
    // Start offsets count from the bottom-right corner, end offsets from the top-left one; the
    // arc runs counter-clockwise from the start to the end.
    c.push_back(
        cell("CDrawArc", "0 to 90 degrees", kSquare, kBoth, fixed(ArcFields{0, -50, 50, 0})));
    c.push_back(
        cell("CDrawArc", "0 to 180 degrees", kSquare, kBoth, fixed(ArcFields{0, -50, 0, 50})));
    c.push_back(
        cell("CDrawArc", "0 to 270 degrees", kSquare, kBoth, fixed(ArcFields{0, -50, 50, 100})));
    return s;
}

Section polygons() {
    static const char* const kTrapezoid[] = {"narrow bottom", "narrow left", "narrow top",
                                             "narrow right"};
    static const char* const kCorner[] = {"top-left", "top-right", "bottom-right", "bottom-left"};
    static const char* const kBase[] = {"base top", "base right", "base bottom", "base left"};
    static const char* const kSlant[] = {"leaning right", "leaning left", "falling", "rising"};
    Section s{"Polygons and symbols", {}};
    auto& c = s.cells;
    c.push_back(plain("CDrawDiamond", "outline + fill", kWide, kBoth));
    c.push_back(plain("CDrawDiamond", "outline only", kWide, kOutlineOnly));
    c.push_back(cell("CDrawCross", "50%", kSquare, kBoth, fixed(PercentFields{50})));
    c.push_back(cell("CDrawCross", "80%, fill only", kSquare, kFillOnly, fixed(PercentFields{80})));
    c.push_back(cell("CDrawOctagon", "30%", kSquare, kBoth, fixed(PercentFields{30})));
    c.push_back(cell("CDrawOctagon", "60%", kWide, kBoth, fixed(PercentFields{60})));
    c.push_back(cell("CDrawHexagon", "direction 0 points sideways, 50%", kWide, kBoth,
                     fixed(PercentDirectionFields{50, 0})));
    c.push_back(cell("CDrawHexagon", "direction 1 points up, 50%", kSquare, kOutlineOnly,
                     fixed(PercentDirectionFields{50, 1})));
    c.push_back(plain("CDrawSeal", "sixteen points", kSquare, kBoth));
    c.push_back(plain("CDrawSeal", "outline only", kSquare, kOutlineOnly));
    fourWays(&c, "CDrawPentagon", 30, kSquare, kPointing);
    fourWays(&c, "CDrawTrapezoid", 50, kWide, kTrapezoid);
    fourWays(&c, "CDrawParallelogram", 25, kWide, kSlant);
    fourWays(&c, "CDrawRighttrigngle", kSquare, kCorner);
    fourWays(&c, "CDrawIsoscelestriangle", 50, kSquare, kBase);
    fourWays(&c, "CDrawStar", kSquare, kPointing);
    fourWays(&c, "CDrawArrow1", 40, kSquare, kPointing);
    fourWays(&c, "CDrawArrow2", 40, kSquare, kPointing);
    fourWays(&c, "CDrawArrow3", kSquare, kPointing);
    return s;
}

Section polylines() {
    Section s{"Polylines", {}};
    auto& c = s.cells;
    const std::vector<Point32> zigzag = {{0, 70}, {24, 10}, {50, 56}, {74, 0}, {99, 40}};
    const std::vector<Point32> blob = {{10, 0}, {99, 18}, {80, 71}, {30, 60}, {0, 34}};
    c.push_back(poly("open, 5 points", false, kBoth, zigzag));
    c.push_back(poly("closed, 5 points", true, kBoth, blob));
    c.push_back(poly("closed, outline only", true, kOutlineOnly, blob));
    // The band lies on the right-hand side of the direction of travel.
    c.push_back(band("band width 8, right then down", 8, {{0, 6}, {92, 6}, {92, 71}}));
    c.push_back(band("band width 6, four legs", 6, {{0, 70}, {0, 30}, {50, 30}, {50, 4}, {99, 4}}));
    return s;
}

Section solids() {
    static const char* const kHalf[] = {"bottom", "top", "left", "right"};
    static const char* const kFront[] = {"front top-left", "front top-right", "front bottom-left",
                                         "front bottom-right"};
    Section s{"Shaded solids", {}};
    auto& c = s.cells;
    for (int split = 0; split < 2; ++split) {
        for (int other = 0; other < 2; ++other) {
            c.push_back(cell("CDrawHalfBox",
                             std::string(kHalf[split * 2 + other]) + " half (split " +
                                 std::to_string(split) + ", other " + std::to_string(other) + ")",
                             kWide, kBoth, fixed(HalfBoxFields{20, 20, split, other})));
        }
    }
    c.push_back(cell("CDrawBall3D", "round", kSquare, kShaded, fixed(Ball3DFields{})));
    c.push_back(cell("CDrawBall3D", "wide", QSize(100, 60), kShaded, fixed(Ball3DFields{})));
    for (int ring : {100, 250, 400}) {
        c.push_back(cell("CDrawCircle3D", "ring width " + std::to_string(ring) + "/1000", kSquare,
                         kShaded, fixed(Circle3DFields{ring, 0})));
    }
    for (int direction = 0; direction < 4; ++direction) {
        c.push_back(
            cell("CDrawPentagon3D",
                 "direction " + std::to_string(direction) + " " + kPointing[direction] + ", 30%",
                 kSquare, kShaded, fixed(PercentDirectionFields{30, direction})));
    }
    const int fronts[4][2] = {{1, 0}, {0, 0}, {1, 1}, {0, 1}}; // frontLeft, frontBottom
    for (int i = 0; i < 4; ++i) {
        c.push_back(cell("CDrawCube", std::string(kFront[i]) + ", 70%", kWide, kBoth,
                         fixed(CubeFields{70, fronts[i][0], fronts[i][1]})));
    }
    return s;
}

Section pipes() {
    static const char* const kElbow[] = {"top and left legs", "top and right legs",
                                         "bottom and right legs", "bottom and left legs"};
    static const char* const kSide[] = {"bottom", "left", "top", "right"};
    Section s{"Pipes, planes and balloon", {}};
    auto& c = s.cells;
    for (const char* pipe : {"CDrawPipe1", "CDrawPipe2"}) {
        c.push_back(cell(pipe, "horizontal", QSize(100, 26), kMetal, fixed(PipeFields{1})));
        c.push_back(cell(pipe, "vertical", QSize(26, 76), kMetal, fixed(PipeFields{0})));
    }
    for (uint16_t elbow = 0; elbow < 4; ++elbow) {
        c.push_back(cell("CDrawPipe3", "elbow " + std::to_string(elbow) + ", " + kElbow[elbow],
                         kSquare, kMetal, fixed(Pipe3Fields{elbow, 20, 20})));
    }
    c.push_back(plain("CDrawPlane1", "edge style 8", kWide, kPanelLook));
    c.push_back(plain("CDrawPlane2", "edge style 7", kWide, kPanelLook));
    c.push_back(plain("CDrawPlane3", "edge style 6", kWide, kPanelLook));
    for (int side = 0; side < 4; ++side) {
        c.push_back(cell(
            "CDrawBalloon", "tail side " + std::to_string(side) + " " + kSide[side] + ", at 40/200",
            kWide, Look{true, true, 2, kInk, 0xFFF4C0}, fixed(BalloonFields{side, 0, 40})));
    }
    return s;
}

QRect centredIn(const QRect& area, QSize size) {
    return QRect(area.left() + (area.width() - size.width()) / 2,
                 area.top() + (area.height() - size.height()) / 2, size.width(), size.height());
}

int rowsOf(size_t cells) {
    return static_cast<int>((cells + kColumns - 1) / kColumns);
}

QFont font(int pixels, bool bold) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

void drawText(QPainter& painter, const QRect& box, const QString& text, Qt::Alignment align) {
    const QString fitted = painter.fontMetrics().elidedText(text, Qt::ElideRight, box.width());
    painter.drawText(box, static_cast<int>(align | Qt::AlignVCenter), fitted);
}

} // namespace

std::vector<Section> sections() {
    return {basics(), polygons(), polylines(), solids(), pipes()};
}

QSize pictureSize(const std::vector<size_t>& cellsPerSection) {
    int height = 2 * kMargin + kTitleHeight;
    for (size_t cells : cellsPerSection) {
        height += kHeadingHeight + rowsOf(cells) * kCellHeight;
    }
    return QSize(2 * kMargin + kColumns * kCellWidth, height);
}

bool render(const PluginSet* plugins, Picture* picture, std::string* error) {
    const std::vector<Section> all = sections();
    std::vector<size_t> counts;
    for (const Section& section : all) {
        counts.push_back(section.cells.size());
    }
    const QSize size = pictureSize(counts);

    Project project;
    project.version = {4, 0, 0, 0, "4.0.0.0"};
    project.startWindow = 1;
    WindowDef window;
    window.number = 1;
    window.name = "Gallery";
    window.width = size.width();
    window.height = size.height();
    window.background = 0xFFFFFF;

    std::vector<int> headings;
    picture->cells.clear();
    int top = kMargin + kTitleHeight;
    for (size_t s = 0; s < all.size(); ++s) {
        headings.push_back(top);
        top += kHeadingHeight;
        const std::vector<Cell>& cells = all[s].cells;
        for (size_t i = 0; i < cells.size(); ++i) {
            const Cell& cell = cells[i];
            const ShapeClass* shape = findShapeClass(cell.className);
            if (!shape) {
                *error = "no shape class " + cell.className;
                return false;
            }
            const QRect place(kMargin + static_cast<int>(i % kColumns) * kCellWidth,
                              top + static_cast<int>(i / kColumns) * kCellHeight, kCellWidth,
                              kCellHeight);
            const QRect rect = centredIn(kShapeArea.translated(place.topLeft()), cell.size);
            ObjectRecord record = cell.record(rect);
            record.name = cell.className;
            record.extra = cell.fields(rect);
            ObjectDef def;
            def.classNumber = shape->number;
            def.className = cell.className;
            def.name = cell.className;
            def.record = encodeObject(record);
            window.objects.push_back(std::move(def));
            picture->cells.push_back(
                {cell.className, cell.parameters, static_cast<int>(s), place, rect});
        }
        top += rowsOf(cells.size()) * kCellHeight;
    }
    project.windows.push_back(std::move(window));

    SessionOptions options;
    options.plugins = plugins;
    Session session(options);
    if (!session.load(project, error)) {
        return false;
    }
    picture->problems = session.problems();
    picture->image = session.render();
    picture->faults = session.faults();
    if (picture->image.isNull()) {
        *error = "cannot paint a picture of " + std::to_string(size.width()) + "x" +
                 std::to_string(size.height());
        return false;
    }

    QPainter painter(&picture->image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const int textWidth = size.width() - 2 * kMargin;
    painter.setPen(QColor(0x20, 0x28, 0x30));
    painter.setFont(font(20, true));
    drawText(painter, QRect(kMargin, kMargin, textWidth, kTitleHeight - 8),
             QStringLiteral("Shape classes of the drawing plug-in"), Qt::AlignLeft);
    for (size_t s = 0; s < all.size(); ++s) {
        const QRect box(kMargin, headings[s] + 6, textWidth, kHeadingHeight - 10);
        painter.setPen(QColor(0x20, 0x28, 0x30));
        painter.setFont(font(15, true));
        drawText(painter, box, QString::fromStdString(all[s].title), Qt::AlignLeft);
        painter.setPen(QPen(QColor(0xB8, 0xC0, 0xC8), 0));
        painter.drawLine(box.left(), box.bottom() + 2, box.right(), box.bottom() + 2);
    }
    for (const PlacedCell& placed : picture->cells) {
        const QRect inner = placed.cell.adjusted(3, 3, -3, -3);
        painter.setPen(QPen(QColor(0xE4, 0xE7, 0xEA), 0));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(inner.adjusted(0, 0, -1, -1));
        const int labelTop = placed.cell.top() + kShapeArea.bottom() + 4;
        const QRect nameBox(inner.left() + 2, labelTop, inner.width() - 4, 14);
        painter.setPen(QColor(0x20, 0x28, 0x30));
        painter.setFont(font(11, true));
        drawText(painter, nameBox, QString::fromStdString(placed.className), Qt::AlignHCenter);
        painter.setPen(QColor(0x5A, 0x64, 0x70));
        painter.setFont(font(10, false));
        const QRect parametersBox(nameBox.left(), nameBox.bottom() + 1, nameBox.width(), 26);
        painter.drawText(parametersBox, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                         QString::fromStdString(placed.parameters));
    }
    painter.end();
    return true;
}

} // namespace kestro::gallery
