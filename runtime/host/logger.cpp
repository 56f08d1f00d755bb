// Monitor and logger of the reference host (library logger).
#include "runtime/host/logger.h"

#include "kestrovalumen/host/logger.h"
#include "runtime/host/textformat.h"

#include <cstdarg>

namespace kestro {

HostLog& HostLog::instance() {
    static HostLog log;
    return log;
}

void HostLog::clear() {
    m_monitor.clear();
    m_logs.clear();
}

void HostLog::addMonitor(MonitorRecord record) {
    if (m_echo) {
        std::fprintf(m_echo, "monitor  module %d code %d kind %d: %s\n", record.module, record.code,
                     record.kind, record.message.c_str());
        std::fflush(m_echo);
    }
    m_monitor.push_back(std::move(record));
}

void HostLog::addLog(LogRecord record) {
    if (m_echo) {
        std::fprintf(m_echo, "log L%d   module %d %s:%d %s [%s] %s\n", record.level, record.module,
                     record.file.c_str(), record.line, record.function.c_str(), record.tag.c_str(),
                     record.text.c_str());
        std::fflush(m_echo);
    }
    m_logs.push_back(std::move(record));
}

} // namespace kestro

int monitor_report(int module, int code, const char* message, int kind) {
    kestro::HostLog::instance().addMonitor({module, code, kestro::orEmpty(message), kind});
    return 0;
}

int logger_printf(int module, const char* function, const char* file, int line, int flags,
                  int level, const char* tag, const char* format, ...) {
    kestro::LogRecord record;
    record.module = module;
    record.function = kestro::orEmpty(function);
    record.file = kestro::orEmpty(file);
    record.line = line;
    record.flags = flags;
    record.level = level;
    record.tag = kestro::orEmpty(tag);
    record.format = kestro::orEmpty(format);
    va_list args;
    va_start(args, format);
    record.text = kestro::formatArgs(format, args);
    va_end(args);
    kestro::HostLog::instance().addLog(std::move(record));
    return 0;
}
