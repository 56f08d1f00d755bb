// The segment table shared by the outline, fill and text colour animations.
#pragma once

#include "kestrovalumen/host/utils.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class CAniObj;
class CDrawObj;

namespace kv {

//! Reads the limits and colours that follow the common header: a counted run of float32 limits,
//! then a counted run of stored colours, converted. Counts that cannot be in the stream are
//! refused before anything is resized; what was read stays on a failure.
bool ReadColorTable(FF::utils::IBuffer* buf, std::vector<double>& values,
                    std::vector<uint32_t>& colors);

//! Segment of value among non-empty limits: the last one when value is at or above the last
//! limit, else the first limit that value does not exceed. limits.size() when there is none,
//! which only a NaN value can give.
size_t SegmentIndex(const std::vector<double>& limits, double value);

//! The colour of value's segment into color. False when there are no limits or the segment has
//! no colour; the caller then leaves its owner as it is.
bool SegmentColor(const std::vector<double>& limits, const std::vector<uint32_t>& colors,
                  double value, uint32_t& color);

//! The owner's first animation that answers IsBlink, or null.
CAniObj* FindBlinkSibling(const CDrawObj& owner);

} // namespace kv
