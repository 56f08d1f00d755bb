#include "runtime/session/sessionpicture.h"

#include "runtime/session/limits.h"
#include "runtime/session/session.h"

#include <QPainter>
#include <QSaveFile>

#include <cmath>

namespace kestro {

bool SessionPicture::update(Session& session, QSize size, const QRegion& windowRegion,
                            QRegion* painted, std::string* error) {
    *painted = QRegion();
    const QSize own = session.windowSize();
    if (own.isEmpty()) {
        *error = "no window to show";
        return false;
    }
    if (size.isEmpty()) {
        size = own;
    }
    if (m_image.size() != size) {
        m_image = QImage();
        if (!limits::imageFits(size, error)) {
            return false;
        }
        QImage image(size, QImage::Format_RGB32);
        if (image.isNull()) {
            *error = "no memory for a picture of " + std::to_string(size.width()) + "x" +
                     std::to_string(size.height());
            return false;
        }
        // As render() starts: what the background leaves at a scaled edge is white.
        image.fill(Qt::white);
        m_image = std::move(image);
        paintScaled(session, &m_image, QRegion(QRect(QPoint(0, 0), own)));
        *painted = QRegion(m_image.rect());
        return true;
    }
    if (!windowRegion.isEmpty()) {
        paintScaled(session, &m_image, windowRegion);
        *painted = scaled(windowRegion, own, size) & m_image.rect();
    }
    return true;
}

bool SessionPicture::update(Session& session, QSize size, const QRegion& windowRegion,
                            std::string* error) {
    QRegion painted;
    return update(session, size, windowRegion, &painted, error);
}

QRegion SessionPicture::scaled(const QRegion& region, QSize from, QSize to) {
    if (from == to || from.isEmpty() || to.isEmpty()) {
        return region;
    }
    const double sx = static_cast<double>(to.width()) / from.width();
    const double sy = static_cast<double>(to.height()) / from.height();
    QRegion out;
    for (const QRect& r : region) {
        // A pixel more on each side: a scaled drawing's edge pixels round either way.
        out += QRect(QPoint(static_cast<int>(std::floor(r.left() * sx)) - 1,
                            static_cast<int>(std::floor(r.top() * sy)) - 1),
                     QPoint(static_cast<int>(std::ceil((r.right() + 1) * sx)),
                            static_cast<int>(std::ceil((r.bottom() + 1) * sy))));
    }
    return out;
}

void SessionPicture::paintScaled(Session& session, QImage* picture, const QRegion& windowRegion) {
    const QSize own = session.windowSize();
    const QRegion pictureRegion = scaled(windowRegion, own, picture->size());
    QPainter painter(picture);
    painter.setClipRegion(pictureRegion);
    if (own != picture->size()) {
        painter.scale(static_cast<double>(picture->width()) / own.width(),
                      static_cast<double>(picture->height()) / own.height());
    }
    // Back to the window: every window pixel under a picture pixel of the region.
    session.paint(&painter, scaled(pictureRegion, picture->size(), own));
}

bool savePng(const QImage& image, const std::string& path, std::string* error) {
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit()) {
        *error = "cannot write " + path + ": " + file.errorString().toStdString();
        file.cancelWriting();
        return false;
    }
    return true;
}

} // namespace kestro
