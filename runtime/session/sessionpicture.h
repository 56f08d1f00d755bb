// A picture of a session's current window at any size, kept up to date by the damage: what a
// viewer shows or a snapshot saves, repainted only where the window changed.
//
//     SessionPicture picture;
//     ...events...
//     picture.update(session, QSize(), session.takeDamage(), &error);
//     savePng(picture.image(), "snapshot.png", &error);
//
// A picture of another size than the window is painted scaled, as render(size) paints it; a
// damaged region then repaints the view pixels its scaled drawing may touch.
#pragma once

#include <QImage>
#include <QRegion>
#include <QSize>

#include <string>

namespace kestro {

class Session;

class SessionPicture {
public:
    //! Brings the picture to that size (empty: the window's own) and up to date: painted whole
    //! when it was of another size or forgotten, else the part that shows the window region
    //! (the damage since the last update). Returns the part of the picture painted (empty when
    //! nothing changed); false, with a reason, when no picture of that size can be made.
    bool update(Session& session, QSize size, const QRegion& windowRegion, QRegion* painted,
                std::string* error);
    //! update() without asking what was painted.
    bool update(Session& session, QSize size, const QRegion& windowRegion, std::string* error);

    const QImage& image() const { return m_image; }
    //! The picture is of no use any more (the session goes): the next update paints it whole.
    void forget() { m_image = QImage(); }

    //! The region scaled from one size to another, each rectangle rounded outwards and widened
    //! by a pixel: what covers the pixels a scaled drawing of the region may touch.
    static QRegion scaled(const QRegion& region, QSize from, QSize to);
    //! Paints the part of the picture (at its own size) that shows the region of the session's
    //! window: the window scaled to the picture, cut to the scaled region.
    static void paintScaled(Session& session, QImage* picture, const QRegion& windowRegion);

private:
    QImage m_image;
};

//! Writes the image as PNG, whole or not at all: a full disk leaves no half picture under the
//! name.
bool savePng(const QImage& image, const std::string& path, std::string* error);

} // namespace kestro
