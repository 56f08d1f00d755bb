#include "kestrovalumen/animation/animove.h"

#include "kestrovalumen/core/arith.h"
#include "kestrovalumen/core/drawobj.h"
#include "kestrovalumen/core/drawobj_stream.h"
#include "kestrovalumen/host/toolscom.h"

#include <cmath>

namespace kv {

namespace {

int32_t& LowEdge(Rect32& r, MoveAxis axis) {
    return axis == MoveAxis::Horizontal ? r.left : r.top;
}

int32_t& HighEdge(Rect32& r, MoveAxis axis) {
    return axis == MoveAxis::Horizontal ? r.right : r.bottom;
}

//! Whether target truncates to whole: std::trunc without its call into the maths library, on
//! a path that every move takes on every refresh.
bool TruncatesTo(double target, int32_t whole) {
    const double w = whole;
    if (whole > 0) {
        return target >= w && target < w + 1.0;
    }
    if (whole < 0) {
        return target <= w && target > w - 1.0;
    }
    return target > -1.0 && target < 1.0;
}

} // namespace

int32_t EdgeCentre(int32_t low, int32_t high) {
    return static_cast<int32_t>((static_cast<int64_t>(low) + high) / 2);
}

int MoveCentreTo(double target, int32_t& low, int32_t& high) {
    // A value that is no number has no place to go.
    if (std::isnan(target)) {
        return 0;
    }
    const int32_t current = EdgeCentre(low, high);
    if (TruncatesTo(target, current)) {
        return 0;
    }
    const double half = static_cast<double>((static_cast<int64_t>(high) - low) / 2);
    if (target + half > 2147483647.0) {
        target = 2147483647.0 - half;
    }
    if (target - half < -2147483648.0) {
        target = half - 2147483648.0;
    }
    // The target is finite and within a few 2^31 of the centre here, so the shift fits in 64
    // bits. The edges stay 32-bit words: the extra pixel of an odd extent right at the end of
    // the range wraps rather than overflowing.
    const int64_t shift = static_cast<int64_t>(std::trunc(target - current));
    low = kv::Wrap32(low + shift);
    high = kv::Wrap32(high + shift);
    return 1;
}

bool ReadMoveRange(FF::utils::IBuffer* buf, int32_t& minOffset, int32_t& maxOffset,
                   double& minValue, double& maxValue) {
    float stored = 0.0f;
    if (!ReadField(buf, minOffset) || !ReadField(buf, maxOffset)) {
        return false;
    }
    if (!ReadField(buf, stored)) {
        return false;
    }
    minValue = stored;
    if (!ReadField(buf, stored)) {
        return false;
    }
    maxValue = stored;
    return true;
}

double MoveOffset(double value, double minValue, double maxValue, int32_t minOffset,
                  int32_t maxOffset, Interpolation order) {
    if (Vorn_IsEqual(maxValue, minValue, 1e-6L)) {
        return minOffset;
    }
    // The offset span is taken in double so that no pair of offsets can overflow it.
    const double span = static_cast<double>(maxOffset) - minOffset;
    if (order == Interpolation::ProductFirst) {
        return minOffset + (value - minValue) * span / (maxValue - minValue);
    }
    return minOffset + span / (maxValue - minValue) * (value - minValue);
}

int32_t StartMove(CDrawObj& owner, MoveAxis axis) {
    owner.m_bAnimated = 1;
    return EdgeCentre(LowEdge(owner.m_rect, axis), HighEdge(owner.m_rect, axis));
}

int MoveOwnerTo(CDrawObj& owner, MoveAxis axis, double target) {
    return MoveCentreTo(target, LowEdge(owner.m_rect, axis), HighEdge(owner.m_rect, axis));
}

} // namespace kv
