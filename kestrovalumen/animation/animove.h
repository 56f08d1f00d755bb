// The steps shared by the horizontal and the vertical move, and the edge arithmetic that the
// sizing uses as well. The two move classes keep their own fields (m_nMinOffset, m_nMaxOffset,
// m_dMinValue, m_dMaxValue, m_nBaseCenter); RunMove works on those.
#pragma once

#include "kestrovalumen/animation/aniexpr.h"
#include "kestrovalumen/host/utils.h"

#include <cstdint>

class CDrawObj;

namespace kv {

//! Centre of an edge pair; the sum is formed in 64 bits, so edges near the ends of the range
//! cannot overflow it.
int32_t EdgeCentre(int32_t low, int32_t high);

//! Shifts an edge pair so that its centre lands on target (truncated), kept inside the 32-bit
//! range; 0 when the centre is already there. The pair keeps its extent.
int MoveCentreTo(double target, int32_t& low, int32_t& high);

//! The axis a move works on: left and right edges, or top and bottom (positive is down).
enum class MoveAxis { Horizontal, Vertical };

//! The order of the interpolation. The two moves differ here, and the last bit
//! of the offset may differ between them.
enum class Interpolation {
    ProductFirst,  //!< (value - min) * span / (max - min): the horizontal move
    QuotientFirst, //!< span / (max - min) * (value - min): the vertical move
};

//! Reads a move's own record fields after the common header: the two offsets, then the two
//! float32 values. What was read stays on a failure.
bool ReadMoveRange(FF::utils::IBuffer* buf, int32_t& minOffset, int32_t& maxOffset,
                   double& minValue, double& maxValue);

//! The offset for value, interpolated (or extrapolated) in the given order; minOffset when the
//! value range is empty.
double MoveOffset(double value, double minValue, double maxValue, int32_t minOffset,
                  int32_t maxOffset, Interpolation order);

//! The owner's centre on the axis, the base of every later move; marks the owner animated.
int32_t StartMove(CDrawObj& owner, MoveAxis axis);

//! MoveCentreTo on the owner's edges along the axis.
int MoveOwnerTo(CDrawObj& owner, MoveAxis axis, double target);

//! Run of a move: on a refresh, the owner's centre on the axis goes to the base centre plus the
//! offset for the program's value; 1 when the owner moved.
template <class Move>
int RunMove(const Move& move, int nEvent, const Report& failure, MoveAxis axis,
            Interpolation order) {
    double value = 0.0;
    if (!EvaluateOnRefresh(move, nEvent, value, failure)) {
        return 0;
    }
    const double offset = MoveOffset(value, move.m_dMinValue, move.m_dMaxValue, move.m_nMinOffset,
                                     move.m_nMaxOffset, order);
    return MoveOwnerTo(*move.m_pDrawObj, axis, move.m_nBaseCenter + offset);
}

} // namespace kv
