// Logging (host library logger): numbered faults for the monitor and log lines.
#pragma once

#include "kestrovalumen/host/hostapi.h"

//! Records a numbered fault. The module passes module 10 and kind 1.
KV_HOST_API int monitor_report(int module, int code, const char* message, int kind);

//! Writes one log line: where it comes from (function, source file, line), flags, level
//! (1 load and argument failures, 2 drawing and evaluation failures, 4 action traces), a tag,
//! then a printf format and its arguments.
KV_HOST_API int logger_printf(int module, const char* function, const char* file, int line,
                              int flags, int level, const char* tag, const char* format, ...)
    __attribute__((format(printf, 8, 9)));
