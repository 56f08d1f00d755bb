#include "kestrovalumen/animation/aniexpr.h"

#include "kestrovalumen/animation/aniobj.h"
#include "kestrovalumen/drawobj.h"
#include "kestrovalumen/report.h"

#include <cmath>
#include <limits>

namespace kv {

bool RunProgram(const FF::utils::MemoryBuffer& program, const CDrawObj* owner,
                Script::ValueType& result) {
    Script::IHost* host = owner != nullptr ? owner->m_pScriptHost : nullptr;
    return script_SvrRunProg(program.data(), static_cast<unsigned int>(program.length()), result,
                             host);
}

bool EvaluateExpression(const CAniObj& animation, Script::ValueType& result,
                        const ExprFailure& failure) {
    if (RunProgram(animation.m_bufExpress, animation.m_pDrawObj, result)) {
        return true;
    }
    Fault(failure.code, failure.message);
    Log({"Run", failure.file, failure.line, failure.level, failure.tag}, failure.text);
    return false;
}

bool EvaluateFloat(const CAniObj& animation, double& value, const ExprFailure& failure) {
    Script::ValueType result;
    if (!EvaluateExpression(animation, result, failure)) {
        return false;
    }
    value = result.getFloat();
    return true;
}

bool EvaluateOnRefresh(const CAniObj& animation, int nEvent, double& value,
                       const ExprFailure& failure) {
    if (nEvent != KV_EVENT_REFRESH || animation.m_pDrawObj == nullptr) {
        return false;
    }
    return EvaluateFloat(animation, value, failure);
}

int32_t TruncToInt32(double value) {
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
