// The storage of a colour animation's segment table.
#pragma once

#include "kestrovalumen/core/smallarray.h"

#include <cstdint>

namespace kv {

using SegmentLimits = SmallArray<double, 4>;   //!< segment limits, in record order
using SegmentColors = SmallArray<uint32_t, 4>; //!< one colour per limit, 0x00RRGGBB

} // namespace kv
