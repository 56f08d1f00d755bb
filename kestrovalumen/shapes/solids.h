// Shaded solids: shapes drawn with depth, shaded from the outline colour to the fill colour.
#pragma once

#include "kestrovalumen/core/drawcache.h"
#include "kestrovalumen/core/drawobj.h"

#include <QBrush>
#include <QPainterPath>
#include <QPointF>

//! A rounded box with one half filled and a divider.
class CDrawHalfBox : public CDrawObj {
    KV_DECLARE_DYNAMIC(CDrawHalfBox)
public:
    void Draw(QPainter* painter) override;
    bool deserialize(FF::utils::IBuffer* buffer) override;

    int32_t m_nCornerWidth = 0;
    int32_t m_nCornerHeight = 0;
    int32_t m_bVerticalSplit = 0; //!< 0: top and bottom halves; else left and right
    int32_t m_bOtherHalf = 0;     //!< which half is filled

private:
    void DrawBox(QPainter* painter, int x1, int y1, int x2, int y2);

    kv::DrawCache<QPainterPath, 8> m_outline; //!< the filled half, clipped
};

//! An ellipse filled with a radial gradient from the fill colour to the outline colour.
class CDrawBall3D : public CDrawObj {
    KV_DECLARE_DYNAMIC(CDrawBall3D)
public:
    void Draw(QPainter* painter) override;
    bool deserialize(FF::utils::IBuffer* buffer) override;

    int32_t m_nBallReserved1 = 0;
    int32_t m_nBallReserved2 = 0;

private:
    void DrawBall(QPainter* painter, int x1, int y1, int x2, int y2);
};

//! A ring shaded like a tube.
class CDrawCircle3D : public CDrawObj {
    KV_DECLARE_DYNAMIC(CDrawCircle3D)
public:
    void Draw(QPainter* painter) override;
    bool deserialize(FF::utils::IBuffer* buffer) override;

    int32_t m_nRingWidth = 0; //!< thousandths of the width and of the height
    int32_t m_nCircleReserved = 0;

private:
    //! The ring as drawn: the scale that makes it round, its two ellipses and its gradient.
    struct Ring {
        bool scaled = false;
        double sx = 1;
        double sy = 1;
        QPointF shift;
        QPainterPath path;
        QBrush brush;
    };
    void DrawRing(QPainter* painter, int x1, int y1, int x2, int y2);
    Ring RingOf(int x1, int y1, int x2, int y2) const;

    kv::DrawCache<Ring, 7> m_ring;
};

//! A pentagon shaded by nested outlines running from the outline to the fill colour.
class CDrawPentagon3D : public CDrawObj {
    KV_DECLARE_DYNAMIC(CDrawPentagon3D)
public:
    void Draw(QPainter* painter) override;
    bool deserialize(FF::utils::IBuffer* buffer) override;

    int32_t m_nPercent = 0;
    int32_t m_nDirection = 0; //!< 0 up, 1 right, 2 down, 3 left
};

//! An outlined box in oblique view.
class CDrawCube : public CDrawObj {
    KV_DECLARE_DYNAMIC(CDrawCube)
public:
    void Draw(QPainter* painter) override;
    bool deserialize(FF::utils::IBuffer* buffer) override;

    int32_t m_nPercent = 0;     //!< front face size in percent of the height
    int32_t m_bFrontLeft = 0;   //!< front face on the left when not 0
    int32_t m_bFrontBottom = 0; //!< front face at the bottom when not 0
};
