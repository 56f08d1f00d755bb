// CDrawGauge: a round dial with a needle that points at a percentage of its scale.
#pragma once

#include "kestrovalumen/core/drawobj.h"

#include <cstdint>

//! Class number of CDrawGauge, in the range left to plug-ins of other makers.
constexpr uint32_t GAUGE_CLASS_DRAW_GAUGE = 0x7001;

class CDrawGauge : public CDrawObj {
    KV_DECLARE_DYNAMIC(CDrawGauge)

public:
    //! The dial in the object's outline and fill, eleven ticks, and the needle.
    void Draw(QPainter* painter) override;
    //! The common record, then the needle position (int32, percent) and its colour (0x00BBGGRR).
    bool deserialize(FF::utils::IBuffer* buffer) override;

    int32_t m_nPercent = 0;     //!< 0 points bottom left, 100 bottom right; beyond, the end stop
    uint32_t m_crNeedle = 0xFF; //!< 0x00RRGGBB once loaded
};
