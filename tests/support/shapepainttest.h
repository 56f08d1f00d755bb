// Helpers of the shape tests: records, a recording painter and the reports a shape leaves.
#pragma once

#include "kestrovalumen/core/drawobj.h"
#include "runtime/host/logger.h"
#include "runtime/paint/recordingdevice.h"
#include "runtime/stream/writer.h"
#include "tests/support/hostfixture.h"
#include "tests/support/printers.h"
#include "tests/support/reports.h"
#include "tests/support/streamtestutil.h"

#include <QGradient>
#include <QPainter>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace shapetest {

//! A common record on the rectangle (right and bottom exclusive), pen and brush off.
inline kestro::ObjectRecord objectOn(int left, int top, int right, int bottom) {
    kestro::ObjectRecord record;
    record.left = left;
    record.top = top;
    record.right = right;
    record.bottom = bottom;
    return record;
}

//! The whole record: the common part, then the shape's own bytes.
inline std::string withExtra(kestro::ObjectRecord record, const std::string& extra) {
    record.extra = extra;
    return kestro::encodeObject(record);
}

//! A record whose common part ends inside the rectangle.
inline std::string brokenCommonRecord() {
    return kestro::encodeObject(objectOn(0, 0, 10, 10)).substr(0, 15);
}

inline bool load(CDrawObj& object, const std::string& bytes) {
    FF::utils::MemoryBuffer buffer = streamtest::bufferOf(bytes);
    return object.deserialize(&buffer);
}

//! Gives the object a clip rectangle and turns clipping on (the object frees it).
inline void clipTo(CDrawObj& object, int left, int top, int right, int bottom) {
    delete object.m_pClipRect;
    object.m_pClipRect = new Rect32{left, top, right, bottom};
    object.m_bClip = 1;
}

inline kestro::PaintRecords paint(CDrawObj& object) {
    kestro::RecordingDevice device(800, 600);
    QPainter painter(&device);
    object.Draw(&painter);
    painter.end();
    return device.records();
}

inline std::vector<QPoint> pointsOf(const kestro::PaintRecord& record) {
    std::vector<QPoint> points;
    for (const QPointF& p : record.points) {
        points.push_back(p.toPoint());
    }
    return points;
}

inline QLine lineOf(const kestro::PaintRecord& record) {
    EXPECT_EQ(record.lines.size(), 1);
    return record.lines.value(0).toLine();
}

//! The stops of the brush's gradient as (position, 0xAARRGGBB).
inline std::vector<std::pair<double, QRgb>> stopsOf(const QBrush& brush) {
    std::vector<std::pair<double, QRgb>> stops;
    if (brush.gradient() != nullptr) {
        for (const QGradientStop& stop : brush.gradient()->stops()) {
            stops.emplace_back(stop.first, stop.second.rgba());
        }
    }
    return stops;
}

inline std::vector<Qt::ClipOperation> clipOps(const kestro::PaintRecords& records) {
    std::vector<Qt::ClipOperation> ops;
    for (const kestro::PaintRecord& record : ofKind(records, kestro::PaintKind::Clip)) {
        ops.push_back(record.clipOperation);
    }
    return ops;
}

//! The one monitor report and the one log line of a failure, as the shape frame words them.
inline void expectFault(int code, const std::string& message, const std::string& function,
                        const std::string& tag, int line = -1) {
    kvtest::expectFault(code, message,
                        {function, "kestrovalumen", line, 2, tag, message, message.c_str()});
}

using kvtest::nothingReported;

} // namespace shapetest
