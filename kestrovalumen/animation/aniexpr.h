// The expression-evaluation step that every evaluating animation shares.
#pragma once

#include "kestrovalumen/host/script.h"
#include "kestrovalumen/host/utils.h"

#include <cstdint>

class CAniObj;
class CDrawObj;

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

//! Runs a compiled program against the owner's expression host (none without an owner); the
//! value lands in result. No report.
bool RunProgram(const FF::utils::MemoryBuffer& program, const CDrawObj* owner,
                Script::ValueType& result);

//! Runs the animation's own program; on failure reports as given and returns false, and the
//! caller leaves its owner alone.
bool EvaluateExpression(const CAniObj& animation, Script::ValueType& result,
                        const ExprFailure& failure);

//! EvaluateExpression for animations that need the value as a double.
bool EvaluateFloat(const CAniObj& animation, double& value, const ExprFailure& failure);

//! The step the value-driven animations open their Run with: EvaluateFloat on a refresh of an
//! attached animation; false on any other event or without an owner, with no report.
bool EvaluateOnRefresh(const CAniObj& animation, int nEvent, double& value,
                       const ExprFailure& failure);

//! The value truncated toward zero as an int32, whatever rounding mode is in force. Values
//! beyond the int32 range give its nearest end; NaN gives 0.
int32_t TruncToInt32(double value);

} // namespace kv
