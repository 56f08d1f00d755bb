// Monitor and logger of the reference host. Every call is kept as a record that tests and tools
// read; a readable line for people can be echoed to a stream. Echo is off by default, so that
// tests stay quiet. The entry points return 0.
#pragma once

#include "runtime/host/records.h"

#include <cstdio>
#include <string>
#include <vector>

namespace kestro {

struct MonitorRecord {
    int module = 0;
    int code = 0;
    std::string message;
    int kind = 0;
};

struct LogRecord {
    int module = 0;
    std::string function;
    std::string file;
    int line = 0;
    int flags = 0;
    int level = 0;
    std::string tag;
    std::string format; //!< the format as given
    std::string text;   //!< the format with its arguments applied
};

class HostLog {
public:
    static HostLog& instance();

    const RecordList<MonitorRecord>& monitor() const { return m_monitor; }
    const RecordList<LogRecord>& logs() const { return m_logs; }
    // The same, for their owner (a session) to trim.
    RecordList<MonitorRecord>& monitorRecord() { return m_monitor; }
    RecordList<LogRecord>& logRecord() { return m_logs; }
    //! Forgets every record; the echo stays as it is.
    void clear();

    //! Echoes a line per call to the stream, which the caller keeps open (null: no echo, the
    //! default).
    void setEcho(std::FILE* stream) { m_echo = stream; }

    // Used by the host entry points.
    void addMonitor(MonitorRecord record);
    void addLog(LogRecord record);

private:
    HostLog() = default;
    RecordList<MonitorRecord> m_monitor;
    RecordList<LogRecord> m_logs;
    std::FILE* m_echo = nullptr;
};

} // namespace kestro
