// Polylines: a free list of vertices placed by ratios of the object's rectangle.
#pragma once

#include "kestrovalumen/core/drawobj.h"

#include <QPoint>

#include <vector>

class CDrawPoly : public CDrawObj {
    KV_DECLARE_DYNAMIC(CDrawPoly)
public:
    void Draw(QPainter* painter) override;
    bool deserialize(FF::utils::IBuffer* buffer) override;
    //! The rectangle widened by half the pen record's width, whether or not the line is on.
    void GetBoundRect(int* left, int* top, int* right, int* bottom) const override;
    //! Event -1 refreshes the ratios; every event then runs the animations.
    bool Run(int nEvent, int arg2 = 0, int arg3 = 0) override;
    //! The base conversion, then the ratios of the vertices the first time.
    void ToAbsolute(int x1, int y1, int x2, int y2) override;
    int GetObjType() const override;

    std::vector<double> m_vecRatioX; //!< per vertex, (x - left) / (right - left)
    std::vector<double> m_vecRatioY; //!< per vertex, (y - top) / (bottom - top)
    std::vector<QPoint> m_vecPoints; //!< vertices as loaded (the band outline for CDrawGuan)
    uint8_t m_bRatioPending = 1;     //!< ratios not yet computed by ToAbsolute
    int32_t m_nPointCount = 0;
    int32_t m_nPolyReserved = 0;
    int32_t m_bClosed = 0;

protected:
    //! Vertex i placed inside the current rectangle from its ratios (bounds-tested).
    QPoint PlaceVertex(int i) const;
};

//! A band of fixed width laid along a path of horizontal and vertical segments.
class CDrawGuan : public CDrawPoly {
    KV_DECLARE_DYNAMIC(CDrawGuan)
public:
    void Draw(QPainter* painter) override;
    bool deserialize(FF::utils::IBuffer* buffer) override;
    //! Event -1 recomputes the ratios from the path; every event then runs the animations.
    bool Run(int nEvent, int arg2 = 0, int arg3 = 0) override;

    std::vector<QPoint> m_vecCenter; //!< the band's path
    int32_t m_nPipeWidth = 4;

private:
    //! Places the path and rebuilds the outline in m_vecPoints.
    void BuildOutline();
};
