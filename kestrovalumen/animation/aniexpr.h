// The expression-evaluation step that every evaluating animation shares.
#pragma once

#include "kestrovalumen/animation/aniobj.h"
#include "kestrovalumen/core/drawobj.h"
#include "kestrovalumen/host/script.h"
#include "kestrovalumen/host/utils.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace kv {

//! How an animation reports a failed evaluation: monitor code and message, then one log line
//! (function "Run", flags 0) with its own file, line, level, tag and text.
struct ExprFailure {
    int code;
    const char* message;
    const char* file; //!< "animation\\ani..."
    int line;
    const char* tag;
    const char* text;
    int level = 2;
};

//! Reports a failed evaluation as given: the monitor line, then the log line.
void ReportExprFailure(const ExprFailure& failure);

// The steps below run on every refresh for every animation, so they are inline: only the host
// calls and the failure report remain calls.

//! Runs a compiled program against the owner's expression host (none without an owner); the
//! value lands in result. No report.
inline bool RunProgram(const FF::utils::MemoryBuffer& program, const CDrawObj* owner,
                       Script::ValueType& result) {
    Script::IHost* host = owner != nullptr ? owner->m_pScriptHost : nullptr;
    return script_SvrRunProg(program.data(), static_cast<unsigned int>(program.length()), result,
                             host);
}

//! Runs the animation's own program; on failure reports as given and returns false, and the
//! caller leaves its owner alone.
inline bool EvaluateExpression(const CAniObj& animation, Script::ValueType& result,
                               const ExprFailure& failure) {
    if (RunProgram(animation.m_bufExpress, animation.m_pDrawObj, result)) {
        return true;
    }
    ReportExprFailure(failure);
    return false;
}

//! EvaluateExpression for animations that need the value as a double.
inline bool EvaluateFloat(const CAniObj& animation, double& value, const ExprFailure& failure) {
    Script::ValueType result;
    if (!EvaluateExpression(animation, result, failure)) {
        return false;
    }
    value = result.getFloat();
    return true;
}

//! The step the value-driven animations open their Run with: EvaluateFloat on a refresh of an
//! attached animation; false on any other event or without an owner, with no report.
inline bool EvaluateOnRefresh(const CAniObj& animation, int nEvent, double& value,
                              const ExprFailure& failure) {
    if (nEvent != KV_EVENT_REFRESH || animation.m_pDrawObj == nullptr) {
        return false;
    }
    return EvaluateFloat(animation, value, failure);
}

//! The value truncated toward zero as an int32, whatever rounding mode is in force. Values
//! beyond the int32 range give its nearest end; NaN gives 0.
inline int32_t TruncToInt32(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    // std::trunc is exact in every rounding mode; the bounds keep the conversion defined.
    const double t = std::trunc(value);
    if (t <= static_cast<double>(std::numeric_limits<int32_t>::min())) {
        return std::numeric_limits<int32_t>::min();
    }
    if (t >= static_cast<double>(std::numeric_limits<int32_t>::max())) {
        return std::numeric_limits<int32_t>::max();
    }
    return static_cast<int32_t>(t);
}

} // namespace kv
