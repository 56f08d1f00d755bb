// Polygons and symbols: one closed polygon inscribed in the object's rectangle.
#pragma once

#include "kestrovalumen/core/drawcache.h"
#include "kestrovalumen/core/drawobj.h"

#include <QPainterPath>

class CDrawParallelogram : public CDrawObj {
    KV_DECLARE_DYNAMIC(CDrawParallelogram)
public:
    void Draw(QPainter* painter) override;
    bool deserialize(FF::utils::IBuffer* buffer) override;

    int32_t m_nPercent = 0;
    int32_t m_nDirection = 0;
};

class CDrawTrapezoid : public CDrawObj {
    KV_DECLARE_DYNAMIC(CDrawTrapezoid)
public:
    void Draw(QPainter* painter) override;
    bool deserialize(FF::utils::IBuffer* buffer) override;

    int32_t m_nPercent = 0;
    int32_t m_nDirection = 0;
};

class CDrawDiamond : public CDrawObj {
    KV_DECLARE_DYNAMIC(CDrawDiamond)
public:
    void Draw(QPainter* painter) override;
};

class CDrawOctagon : public CDrawObj {
    KV_DECLARE_DYNAMIC(CDrawOctagon)
public:
    void Draw(QPainter* painter) override;
    bool deserialize(FF::utils::IBuffer* buffer) override;

    int32_t m_nPercent = 0;
};

class CDrawCross : public CDrawObj {
    KV_DECLARE_DYNAMIC(CDrawCross)
public:
    void Draw(QPainter* painter) override;
    bool deserialize(FF::utils::IBuffer* buffer) override;

    int32_t m_nPercent = 0;
};

class CDrawPentagon : public CDrawObj {
    KV_DECLARE_DYNAMIC(CDrawPentagon)
public:
    void Draw(QPainter* painter) override;
    bool deserialize(FF::utils::IBuffer* buffer) override;

    int32_t m_nPercent = 0;
    int32_t m_nDirection = 0;
};

class CDrawHexagon : public CDrawObj {
    KV_DECLARE_DYNAMIC(CDrawHexagon)
public:
    void Draw(QPainter* painter) override;
    bool deserialize(FF::utils::IBuffer* buffer) override;

    int32_t m_nPercent = 0;
    int32_t m_nDirection = 0;
};

class CDrawIsoscelestriangle : public CDrawObj {
    KV_DECLARE_DYNAMIC(CDrawIsoscelestriangle)
public:
    void Draw(QPainter* painter) override;
    bool deserialize(FF::utils::IBuffer* buffer) override;

    int32_t m_nPercent = 0;
    int32_t m_nDirection = 0;

private:
    kv::DrawCache<QPainterPath, 6> m_path; //!< by the three vertices
};

class CDrawRighttrigngle : public CDrawObj {
    KV_DECLARE_DYNAMIC(CDrawRighttrigngle)
public:
    void Draw(QPainter* painter) override;
    bool deserialize(FF::utils::IBuffer* buffer) override;

    int32_t m_nDirection = 0;
};

class CDrawStar : public CDrawObj {
    KV_DECLARE_DYNAMIC(CDrawStar)
public:
    void Draw(QPainter* painter) override;
    bool deserialize(FF::utils::IBuffer* buffer) override;

    int32_t m_nDirection = 0;
};

class CDrawSeal : public CDrawObj {
    KV_DECLARE_DYNAMIC(CDrawSeal)
public:
    void Draw(QPainter* painter) override;
};

class CDrawArrow1 : public CDrawObj {
    KV_DECLARE_DYNAMIC(CDrawArrow1)
public:
    void Draw(QPainter* painter) override;
    bool deserialize(FF::utils::IBuffer* buffer) override;

    int32_t m_nPercent = 0;
    int32_t m_nDirection = 0;
};

class CDrawArrow2 : public CDrawObj {
    KV_DECLARE_DYNAMIC(CDrawArrow2)
public:
    void Draw(QPainter* painter) override;
    bool deserialize(FF::utils::IBuffer* buffer) override;

    int32_t m_nPercent = 0;
    int32_t m_nDirection = 0;
};

class CDrawArrow3 : public CDrawObj {
    KV_DECLARE_DYNAMIC(CDrawArrow3)
public:
    void Draw(QPainter* painter) override;
    bool deserialize(FF::utils::IBuffer* buffer) override;

    int32_t m_nDirection = 0;
};
