// Painting the session's windows.
#include "runtime/session/sessionpaint.h"

#include "kestrovalumen/host/gui.h"
#include "runtime/paint/recordingdevice.h"
#include "runtime/session/limits.h"
#include "runtime/session/session.h"
#include "runtime/session/sessiondamage.h"
#include "runtime/session/sessionpicture.h"
#include "runtime/session/sessionrecorder.h"

#include <QColor>
#include <QPainter>

#include <algorithm>
#include <exception>

namespace kestro {

void WindowPainter::drawObject(QPainter* painter, LoadedWindow& window, LoadedObject& object,
                               const std::vector<QRect>* clip) {
    // Each object starts from the same painter state, whatever the one before it left.
    painter->save();
    if (clip != nullptr) {
        // One rectangle takes the painter's fast path.
        if (clip->size() == 1) {
            painter->setClipRect(clip->front(), Qt::IntersectClip);
        } else {
            painter->setClipRegion(unite(*clip), Qt::IntersectClip);
        }
    }
    try {
        object.object->Draw(painter);
    } catch (const std::exception& e) {
        m_recorder.addFault(
            {window.number, object.index, objectName(object), std::string("Draw: ") + e.what()});
    } catch (...) {
        m_recorder.addFault(
            {window.number, object.index, objectName(object), "Draw: unknown exception"});
    }
    painter->restore();
}

void WindowPainter::paint(QPainter* painter, LoadedWindow& window) {
    const QRect area(0, 0, window.width, window.height);
    painter->fillRect(area, QColor(window.background));
    // Objects stop at the window's edge on a larger view. The rectangle also lets Qt's raster
    // engine clip thin strokes itself instead of clipping every span against the device.
    painter->save();
    painter->setClipRect(area, Qt::IntersectClip);
    for (LoadedObject& object : window.objects) {
        // Shapes hide themselves only in the blink phase; whether they are visible at all (the
        // units digit of the show state) is the host's to honour.
        if (!object.object->IsVisible()) {
            continue;
        }
        drawObject(painter, window, object);
    }
    painter->restore();
}

void WindowPainter::paint(QPainter* painter, LoadedWindow& window, const QRegion& region,
                          const std::vector<QRect>& extents, const ExtentGrid* grid) {
    const QRegion area = region & QRect(0, 0, window.width, window.height);
    if (area.isEmpty()) {
        return;
    }
    const QColor background(window.background);
    for (const QRect& r : area) {
        painter->fillRect(r, background);
    }
    const RegionRows rows(area);
    std::vector<QRect> clip;
    const size_t count = std::min(window.objects.size(), extents.size());
    const auto paintObject = [&](size_t i) {
        if (extents[i].isEmpty()) {
            return;
        }
        rows.overlapping(extents[i], &clip);
        // Most objects are outside the region: asked whether they are visible only when not.
        LoadedObject& object = window.objects[i];
        if (!clip.empty() && object.object->IsVisible()) {
            drawObject(painter, window, object, &clip);
        }
    };
    // A small region: only the objects filed in its cells, still in list order.
    std::vector<uint32_t> candidates;
    if (grid != nullptr && grid->candidates(area, &candidates)) {
        for (const uint32_t i : candidates) {
            if (i < count) {
                paintObject(i);
            }
        }
        return;
    }
    for (size_t i = 0; i < count; ++i) {
        paintObject(i);
    }
}

QImage WindowPainter::render(LoadedWindow& window, QSize size) {
    const QSize own(window.width, window.height);
    if (!own.isValid() || own.isEmpty()) {
        return QImage();
    }
    if (size.isEmpty()) {
        size = own;
    }
    std::string tooLarge;
    if (!limits::imageFits(size, &tooLarge)) {
        return QImage();
    }
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    if (size != own) {
        painter.scale(static_cast<double>(size.width()) / own.width(),
                      static_cast<double>(size.height()) / own.height());
    }
    paint(&painter, window);
    painter.end();
    return image;
}

WindowTrace WindowPainter::trace(LoadedWindow& window) {
    WindowTrace trace;
    trace.size = QSize(window.width, window.height);
    RecordingDevice device(std::max(window.width, 1), std::max(window.height, 1));
    QPainter painter(&device);
    auto take = [&device](size_t* from) {
        const PaintRecords& all = device.records();
        PaintRecords part(all.begin() + static_cast<std::ptrdiff_t>(*from), all.end());
        *from = all.size();
        return part;
    };
    size_t from = 0;
    painter.fillRect(QRect(0, 0, window.width, window.height), QColor(window.background));
    trace.background = take(&from);
    for (LoadedObject& object : window.objects) {
        if (!object.object->IsVisible()) {
            trace.objects.push_back({object.index, objectName(object), object.className, {}});
            continue;
        }
        drawObject(&painter, window, object);
        trace.objects.push_back({object.index, objectName(object), object.className, take(&from)});
    }
    painter.end();
    return trace;
}

// ---- the session's painting ----

void Session::paint(QPainter* painter) {
    if (LoadedWindow* window = current()) {
        WindowPainter(m_recorder).paint(painter, *window);
    }
}

void Session::paint(QPainter* painter, const QRegion& region) {
    LoadedWindow* window = current();
    if (!window || region.isEmpty()) {
        return;
    }
    // Where each object paints now; what changed meanwhile stays for the next take.
    m_damage->look(*window, m_runs);
    WindowPainter(m_recorder)
        .paint(painter, *window, region, m_damage->extents(), &m_damage->grid());
}

QRegion Session::takeDamage() {
    LoadedWindow* window = current();
    if (!window) {
        return QRegion();
    }
    m_damage->look(*window, m_runs);
    return m_damage->take();
}

QImage Session::render(QSize size) {
    LoadedWindow* window = current();
    return window ? WindowPainter(m_recorder).render(*window, size) : QImage();
}

bool Session::savePng(const std::string& path, QSize size, std::string* error) {
    if (!limits::imageFits(size.isEmpty() ? windowSize() : size, error)) {
        return false;
    }
    const QImage image = render(size);
    if (image.isNull()) {
        const QSize wanted = size.isEmpty() ? windowSize() : size;
        *error = "cannot render window " + std::to_string(currentWindow()) + " at " +
                 std::to_string(wanted.width()) + "x" + std::to_string(wanted.height());
        return false;
    }
    return kestro::savePng(image, path, error);
}

Session::Trace Session::trace() {
    LoadedWindow* window = current();
    return window ? WindowPainter(m_recorder).trace(*window) : Trace();
}

void Session::onCapture(const ScreenCapture&) {
    CaptureFile file;
    if (!m_options.capturePath.empty()) {
        file.path = m_options.capturePath;
        const std::string number = std::to_string(m_recorder.captureFiles() + 1);
        for (size_t at = file.path.find("%n"); at != std::string::npos;
             at = file.path.find("%n", at + number.size())) {
            file.path.replace(at, 2, number);
        }
        file.saved = savePng(file.path, QSize(), &file.error);
    }
    m_recorder.addCaptureFile(std::move(file));
}

} // namespace kestro
