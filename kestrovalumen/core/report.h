// Fault reports of the module: every failure goes to the host monitor and, where it has a log
// line, to the host log. Formats and their arguments go to the host logger as they are.
#pragma once

#include "kestrovalumen/host/logger.h"

namespace kv {

//! Module number passed with every report.
constexpr int kModule = 10;

//! Where a log line comes from.
struct LogSite {
    const char* function;
    const char* file;
    int line;
    int level; // 1 load and argument failures, 2 drawing and evaluation, 4 action traces
    const char* tag;
    int flags = 0;
};

//! monitor_report(10, code, message, 1).
inline void Fault(int code, const char* message) {
    monitor_report(kModule, code, message, 1);
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-security"
#pragma GCC diagnostic ignored "-Wformat-nonliteral"

//! logger_printf(10, ...) from the site, with a format and its arguments.
template <class... Args>
void Log(const LogSite& site, const char* format, Args... args) {
    logger_printf(kModule, site.function, site.file, site.line, site.flags, site.level, site.tag,
                  format, args...);
}

#pragma GCC diagnostic pop

//! Fault, then Log with the given format.
template <class... Args>
void FaultAndLog(int code, const char* message, const LogSite& site, const char* format,
                 Args... args) {
    Fault(code, message);
    Log(site, format, args...);
}

//! Fault, then Log with the message itself as the format and no arguments.
inline void FaultAndLogMessage(int code, const char* message, const LogSite& site) {
    FaultAndLog(code, message, site, message);
}

} // namespace kv
