// Painting a window of a session: the background, then every visible object in list order.
#pragma once

#include "runtime/paint/paintrecord.h"
#include "runtime/session/sessionwindow.h"

#include <QImage>
#include <QRect>
#include <QRegion>
#include <QSize>

#include <string>
#include <vector>

class QPainter;

namespace kestro {

class CallRecorder;

//! The paint calls of one object.
struct ObjectTrace {
    int index = 0;
    std::string name;
    std::string className;
    PaintRecords records;
};

//! Every paint call of a window, per object.
struct WindowTrace {
    QSize size;
    PaintRecords background;
    std::vector<ObjectTrace> objects; //!< every object, with no calls for an invisible one
};

class ExtentGrid;

class WindowPainter {
public:
    //! recorder: takes the exceptions that leave an object's Draw.
    explicit WindowPainter(CallRecorder& recorder) : m_recorder(recorder) {}

    //! Fills the window with its background colour, then draws every visible object
    //! (IsVisible) in list order, on a painter whose coordinates are the window's pixels.
    void paint(QPainter* painter, LoadedWindow& window);
    //! paint() within the region only: the background of the region, then every visible object
    //! whose extent (extents[i] for object i: where it paints, in window pixels) meets the
    //! region, cut to it.
    //! grid, when given, files the same extents by cell.
    void paint(QPainter* painter, LoadedWindow& window, const QRegion& region,
               const std::vector<QRect>& extents, const ExtentGrid* grid = nullptr);
    //! The window as an image of that size (the window scaled to it), or of its own size when
    //! size is empty; a null image for a window without area.
    QImage render(LoadedWindow& window, QSize size);
    //! paint() on the recording device, the calls taken apart per object.
    WindowTrace trace(LoadedWindow& window);

private:
    //! clip: rectangles the drawing is cut to; null for none.
    void drawObject(QPainter* painter, LoadedWindow& window, LoadedObject& object,
                    const std::vector<QRect>* clip = nullptr);

    CallRecorder& m_recorder;
};

} // namespace kestro
