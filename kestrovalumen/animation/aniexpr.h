// The expression-evaluation step that every evaluating animation shares.
#pragma once

#include "kestrovalumen/animation/aniobj.h"
#include "kestrovalumen/core/arith.h"
#include "kestrovalumen/core/drawobj.h"
#include "kestrovalumen/core/reports.h"
#include "kestrovalumen/host/script.h"
#include "kestrovalumen/host/utils.h"

#include <cmath>
#include <cstdint>

namespace kv {

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
                               const Report& failure) {
    if (RunProgram(animation.m_bufExpress, animation.m_pDrawObj, result)) {
        return true;
    }
    Emit(failure);
    return false;
}

//! EvaluateExpression for animations that need the value as a double.
inline bool EvaluateFloat(const CAniObj& animation, double& value, const Report& failure) {
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
                              const Report& failure) {
    if (nEvent != KV_EVENT_REFRESH || animation.m_pDrawObj == nullptr) {
        return false;
    }
    return EvaluateFloat(animation, value, failure);
}

} // namespace kv
