#include "kestrovalumen/animation/aniexpr.h"

#include "kestrovalumen/core/report.h"

namespace kv {

void ReportExprFailure(const ExprFailure& failure) {
    Fault(failure.code, failure.message);
    Log({"Run", failure.file, failure.line, failure.level, failure.tag}, failure.text);
}

} // namespace kv
