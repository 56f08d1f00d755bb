// Encoders of the shapes' own record fields: the bytes that follow the common object record
// (ObjectRecord::extra), one struct per record layout, named after the items, and an alias per
// shape class. Every value is written in stream order, little-endian; the structs list their
// fields in that order unless a comment says otherwise.
#pragma once

#include "runtime/stream/writer.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kestro {

//! Classes that read the common record only.
struct NoShapeFields {};

struct RoundRectFields {
    int32_t cornerWidth = 0; //!< whole corner ellipse, in pixels
    int32_t cornerHeight = 0;
};

//! Written end pair first, then start pair, although the class declares the start pair first.
struct ArcFields {
    int32_t startXPercent = 0;
    int32_t startYPercent = 0;
    int32_t endXPercent = 0;
    int32_t endYPercent = 0;
};

struct PercentDirectionFields {
    int32_t percent = 0;
    int32_t direction = 0;
};

struct PercentFields {
    int32_t percent = 0;
};

struct DirectionFields {
    int32_t direction = 0;
};

using Point32 = std::pair<int32_t, int32_t>;

//! uint16 count, uint16 reserved, uint16 closed, then the vertices as int32 pairs.
struct PolyFields {
    std::optional<uint16_t> pointCount; //!< written instead of points.size() when given
    uint16_t reserved = 0;
    uint16_t closed = 0;
    std::vector<Point32> points;
};

//! uint16 band width, uint16 count, then the path's vertices as int32 pairs.
struct GuanFields {
    uint16_t pipeWidth = 4;
    std::optional<uint16_t> pointCount; //!< written instead of path.size() when given
    std::vector<Point32> path;
};

struct HalfBoxFields {
    int32_t cornerWidth = 0;
    int32_t cornerHeight = 0;
    int32_t verticalSplit = 0;
    int32_t otherHalf = 0;
};

struct Ball3DFields {
    int32_t reserved1 = 0;
    int32_t reserved2 = 0;
};

struct Circle3DFields {
    int32_t ringWidth = 0; //!< thousandths of the width and of the height
    int32_t reserved = 0;
};

struct CubeFields {
    int32_t percent = 0;
    int32_t frontLeft = 0;
    int32_t frontBottom = 0;
};

struct PipeFields {
    int32_t horizontal = 0;
};

//! uint16 elbow type, then int32 horizontal and vertical leg thickness.
struct Pipe3Fields {
    uint16_t elbowType = 0;
    int32_t horzThick = 0;
    int32_t vertThick = 0;
};

//! Written side, at-end flag, position, which is not the class's declaration order.
struct BalloonFields {
    int32_t tailSide = 0;
    int32_t tailAtEnd = 0;
    int32_t tailPos = 0;
};

// The layout of each shape class.
using DrawRectFields = NoShapeFields;
using DrawEllipseFields = NoShapeFields;
using DrawRoundRectFields = RoundRectFields;
using DrawLineFields = NoShapeFields;
using DrawArcFields = ArcFields;
using DrawParallelogramFields = PercentDirectionFields;
using DrawTrapezoidFields = PercentDirectionFields;
using DrawDiamondFields = NoShapeFields;
using DrawOctagonFields = PercentFields;
using DrawCrossFields = PercentFields;
using DrawPentagonFields = PercentDirectionFields;
using DrawHexagonFields = PercentDirectionFields;
using DrawIsoscelestriangleFields = PercentDirectionFields;
using DrawRighttrigngleFields = DirectionFields;
using DrawStarFields = DirectionFields;
using DrawSealFields = NoShapeFields;
using DrawArrow1Fields = PercentDirectionFields;
using DrawArrow2Fields = PercentDirectionFields;
using DrawArrow3Fields = DirectionFields;
using DrawPolyFields = PolyFields;
using DrawGuanFields = GuanFields;
using DrawHalfBoxFields = HalfBoxFields;
using DrawBall3DFields = Ball3DFields;
using DrawCircle3DFields = Circle3DFields;
using DrawPentagon3DFields = PercentDirectionFields;
using DrawCubeFields = CubeFields;
using DrawPipe1Fields = PipeFields;
using DrawPipe2Fields = PipeFields;
using DrawPipe3Fields = Pipe3Fields;
using DrawPlane1Fields = NoShapeFields;
using DrawPlane2Fields = NoShapeFields;
using DrawPlane3Fields = NoShapeFields;
using DrawBalloonFields = BalloonFields;

void writeFields(StreamWriter& out, const NoShapeFields& fields);
void writeFields(StreamWriter& out, const RoundRectFields& fields);
void writeFields(StreamWriter& out, const ArcFields& fields);
void writeFields(StreamWriter& out, const PercentDirectionFields& fields);
void writeFields(StreamWriter& out, const PercentFields& fields);
void writeFields(StreamWriter& out, const DirectionFields& fields);
void writeFields(StreamWriter& out, const PolyFields& fields);
void writeFields(StreamWriter& out, const GuanFields& fields);
void writeFields(StreamWriter& out, const HalfBoxFields& fields);
void writeFields(StreamWriter& out, const Ball3DFields& fields);
void writeFields(StreamWriter& out, const Circle3DFields& fields);
void writeFields(StreamWriter& out, const CubeFields& fields);
void writeFields(StreamWriter& out, const PipeFields& fields);
void writeFields(StreamWriter& out, const Pipe3Fields& fields);
void writeFields(StreamWriter& out, const BalloonFields& fields);

//! The fields as bytes, ready for ObjectRecord::extra.
template <class Fields>
std::string encodeFields(const Fields& fields) {
    StreamWriter out;
    writeFields(out, fields);
    return out.take();
}

} // namespace kestro
