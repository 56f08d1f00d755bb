// Rectangles, ellipses, lines and arcs.
#pragma once

#include "kestrovalumen/core/drawobj.h"

#include <QPainterPath>

class CDrawRect : public CDrawObj {
    KV_DECLARE_DYNAMIC(CDrawRect)
public:
    void Draw(QPainter* painter) override;
};

class CDrawEllipse : public CDrawObj {
    KV_DECLARE_DYNAMIC(CDrawEllipse)
public:
    void Draw(QPainter* painter) override;
};

class CDrawRoundRect : public CDrawObj {
    KV_DECLARE_DYNAMIC(CDrawRoundRect)
public:
    void Draw(QPainter* painter) override;
    bool deserialize(FF::utils::IBuffer* buffer) override;

    int32_t m_nCornerWidth = 0;  //!< width of the corner ellipse in pixels
    int32_t m_nCornerHeight = 0; //!< height of the corner ellipse in pixels
};

//! A straight line between (left, top) and (right, bottom) of m_rect, never normalised.
class CDrawLine : public CDrawObj {
    KV_DECLARE_DYNAMIC(CDrawLine)
public:
    void Draw(QPainter* painter) override;
    //! Only adds the line's own report to the common record.
    bool deserialize(FF::utils::IBuffer* buffer) override;
    //! Both end points widened by half the pen width, whether or not the line is on.
    void GetBoundRect(int* left, int* top, int* right, int* bottom) const override;
    bool Run(int nEvent, int = 0, int = 0) override;
};

class CDrawArc : public CDrawObj {
    KV_DECLARE_DYNAMIC(CDrawArc)
public:
    void Draw(QPainter* painter) override;
    //! The stream holds the end pair before the start pair.
    bool deserialize(FF::utils::IBuffer* buffer) override;

    int32_t m_nStartXPercent = 0; //!< from the arc rectangle's bottom-right corner
    int32_t m_nStartYPercent = 0;
    int32_t m_nEndXPercent = 0; //!< from the arc rectangle's top-left corner
    int32_t m_nEndYPercent = 0;

private:
    //! What drawArc(rect, start, span) strokes, kept while its arguments stay the same: the
    //! arc's curves are most of what the object costs to draw.
    struct ArcPath {
        int x = 0, y = 0, w = -1, h = -1, start = 0, span = 0;
        QPainterPath path;
    };
    ArcPath m_arc;
};

//! Angle in degrees, counter-clockwise from the positive x axis (screen y downward), of the point
//! (px, py) seen on the ellipse inscribed in the inclusive corners (x1, y1)-(x2, y2).
double ArcPointAngle(int x1, int y1, int x2, int y2, int px, int py);
