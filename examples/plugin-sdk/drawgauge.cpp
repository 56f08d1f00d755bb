#include "drawgauge.h"

#include "kestrovalumen/core/shapeframe.h"
#include "kestrovalumen/core/vornDrawPubInter.h"

#include <QColor>
#include <QLineF>
#include <QPen>
#include <QPointF>
#include <QRectF>

#include <algorithm>

namespace {

// Monitor codes of a null painter and of a failed common record.
const kv::ShapeInfo kGaugeInfo = {"CDrawGauge", 700, __LINE__, 701, __LINE__};

// The scale runs clockwise over three quarters of the dial, from 225 degrees (bottom left) to
// -45 degrees (bottom right), in Qt's counter-clockwise angles.
constexpr double kScaleStart = 225.0;
constexpr double kScaleSweep = 270.0;
constexpr int kTicks = 10;

QLineF Ray(const QPointF& centre, double degrees, double from, double to) {
    QLineF ray(centre, centre + QPointF(to, 0));
    ray.setAngle(degrees);
    QLineF inner(centre, centre + QPointF(from, 0));
    inner.setAngle(degrees);
    return QLineF(inner.p2(), ray.p2());
}

} // namespace

void CDrawGauge::Draw(QPainter* painter) {
    kv::DrawFramed(
        *this, painter, kGaugeInfo, kv::FrameStyle(), [this](QPainter* p, const QBrush&) {
            const QRect dial = kv::InsetBox(*this, p);
            p->drawEllipse(dial);

            const QPointF centre = QRectF(dial).center();
            const double radius = std::min(dial.width(), dial.height()) / 2.0;
            QPen pen = p->pen();
            for (int tick = 0; tick <= kTicks; ++tick) {
                p->drawLine(
                    Ray(centre, kScaleStart - kScaleSweep * tick / kTicks, radius * 0.75, radius));
            }

            const int percent = std::clamp(m_nPercent, 0, 100);
            pen.setColor(QColor(static_cast<QRgb>(m_crNeedle)));
            pen.setWidthF(std::max(2.0, radius / 12));
            pen.setCapStyle(Qt::RoundCap);
            p->setPen(pen);
            p->drawLine(Ray(centre, kScaleStart - kScaleSweep * percent / 100, 0, radius * 0.8));
        });
}

bool CDrawGauge::deserialize(FF::utils::IBuffer* buffer) {
    return kv::LoadRecordFramed(*this, buffer, kGaugeInfo, [this](FF::utils::IBuffer* b) {
        uint32_t storedColor = 0;
        if (!kv::ReadValue(b, &m_nPercent) || !kv::ReadValue(b, &storedColor)) {
            return false;
        }
        m_crNeedle = ColorRefToRgb(storedColor);
        return true;
    });
}
