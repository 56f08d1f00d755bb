// Shape record fields: the layouts that the shapes' deserialize read after the common record.
#include "runtime/stream/shaperecords.h"

namespace kestro {

namespace {

void writePoints(StreamWriter& out, const std::vector<Point32>& points) {
    for (const Point32& p : points) {
        out.i32(p.first).i32(p.second);
    }
}

// The count as stored: 16 bits, so more than 65535 vertices cannot be described.
uint16_t storedCount(const std::optional<uint16_t>& given, size_t actual) {
    return given ? *given : static_cast<uint16_t>(actual);
}

} // namespace

void writeFields(StreamWriter&, const NoShapeFields&) {}

void writeFields(StreamWriter& out, const RoundRectFields& fields) {
    out.i32(fields.cornerWidth).i32(fields.cornerHeight);
}

void writeFields(StreamWriter& out, const ArcFields& fields) {
    out.i32(fields.endXPercent).i32(fields.endYPercent);
    out.i32(fields.startXPercent).i32(fields.startYPercent);
}

void writeFields(StreamWriter& out, const PercentDirectionFields& fields) {
    out.i32(fields.percent).i32(fields.direction);
}

void writeFields(StreamWriter& out, const PercentFields& fields) {
    out.i32(fields.percent);
}

void writeFields(StreamWriter& out, const DirectionFields& fields) {
    out.i32(fields.direction);
}

void writeFields(StreamWriter& out, const PolyFields& fields) {
    out.u16(storedCount(fields.pointCount, fields.points.size()));
    out.u16(fields.reserved).u16(fields.closed);
    writePoints(out, fields.points);
}

void writeFields(StreamWriter& out, const GuanFields& fields) {
    out.u16(fields.pipeWidth).u16(storedCount(fields.pointCount, fields.path.size()));
    writePoints(out, fields.path);
}

void writeFields(StreamWriter& out, const HalfBoxFields& fields) {
    out.i32(fields.cornerWidth).i32(fields.cornerHeight);
    out.i32(fields.verticalSplit).i32(fields.otherHalf);
}

void writeFields(StreamWriter& out, const Ball3DFields& fields) {
    out.i32(fields.reserved1).i32(fields.reserved2);
}

void writeFields(StreamWriter& out, const Circle3DFields& fields) {
    out.i32(fields.ringWidth).i32(fields.reserved);
}

void writeFields(StreamWriter& out, const CubeFields& fields) {
    out.i32(fields.percent).i32(fields.frontLeft).i32(fields.frontBottom);
}

void writeFields(StreamWriter& out, const PipeFields& fields) {
    out.i32(fields.horizontal);
}

void writeFields(StreamWriter& out, const Pipe3Fields& fields) {
    out.u16(fields.elbowType).i32(fields.horzThick).i32(fields.vertThick);
}

void writeFields(StreamWriter& out, const BalloonFields& fields) {
    out.i32(fields.tailSide).i32(fields.tailAtEnd).i32(fields.tailPos);
}

} // namespace kestro
