// Pipes, planes and balloon.
#pragma once

#include "kestrovalumen/core/drawcache.h"
#include "kestrovalumen/core/drawobj.h"

#include <QBrush>
#include <QPainterPath>

//! A straight pipe shaded across its run.
class CDrawPipe1 : public CDrawObj {
    KV_DECLARE_DYNAMIC(CDrawPipe1)
public:
    void Draw(QPainter* painter) override;
    bool deserialize(FF::utils::IBuffer* buffer) override;

    int32_t m_bHorizontal = 0; //!< nonzero: runs left to right

private:
    kv::DrawCache<QBrush, 6> m_gradient;
};

//! The same straight pipe, registered as a second kind.
class CDrawPipe2 : public CDrawObj {
    KV_DECLARE_DYNAMIC(CDrawPipe2)
public:
    void Draw(QPainter* painter) override;
    bool deserialize(FF::utils::IBuffer* buffer) override;

    int32_t m_bHorizontal = 0;

private:
    kv::DrawCache<QBrush, 6> m_gradient;
};

//! A pipe elbow: a horizontal and a vertical leg meeting in one corner.
class CDrawPipe3 : public CDrawObj {
    KV_DECLARE_DYNAMIC(CDrawPipe3)
public:
    void Draw(QPainter* painter) override;
    bool deserialize(FF::utils::IBuffer* buffer) override;
    //! The base conversion; the first one also fixes the design rectangle.
    void ToAbsolute(int x1, int y1, int x2, int y2) override;

    int32_t m_nHorzThick = 0;
    int32_t m_nVertThick = 0;
    uint8_t m_bFirstAbsolute = 1; //!< design rectangle still to come from the first ToAbsolute
    Rect32 m_rcDesign;
    int32_t m_nElbowType = 0; //!< corner code 0 to 3

private:
    kv::DrawCache<QBrush, 6> m_legGradient;
    kv::DrawCache<QBrush, 6> m_acrossGradient;
    kv::DrawCache<QPainterPath, 8> m_outline;
};

//! A flat panel with an etched frame.
class CDrawPlane1 : public CDrawObj {
    KV_DECLARE_DYNAMIC(CDrawPlane1)
public:
    void Draw(QPainter* painter) override;
};

//! A flat panel with a sunken frame.
class CDrawPlane2 : public CDrawObj {
    KV_DECLARE_DYNAMIC(CDrawPlane2)
public:
    void Draw(QPainter* painter) override;
};

//! A flat panel with a raised frame.
class CDrawPlane3 : public CDrawObj {
    KV_DECLARE_DYNAMIC(CDrawPlane3)
public:
    void Draw(QPainter* painter) override;
};

//! A speech balloon: a rounded rectangle with a triangular tail on one side.
class CDrawBalloon : public CDrawObj {
    KV_DECLARE_DYNAMIC(CDrawBalloon)
public:
    void Draw(QPainter* painter) override;
    bool deserialize(FF::utils::IBuffer* buffer) override;

    int32_t m_bTailAtEnd = 0;
    int32_t m_nTailPos = 0;  //!< tail tip along its side, in 1/200 of the side
    int32_t m_nTailSide = 0; //!< 0 bottom, 1 left, 2 top, 3 right

private:
    kv::DrawCache<QPainterPath, 7> m_fillPath; //!< by the rectangle and the tail fields
    kv::DrawCache<QBrush, 2> m_fillBrush;      //!< by the fill record's style and colour
};
