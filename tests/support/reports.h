// What the module left in the host's monitor and logger, checked field by field.
#pragma once

#include "runtime/host/logger.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace kvtest {

//! One logger line as the module writes it (module 10).
struct Log {
    std::string function;
    std::string file;
    int line; //!< -1: any
    int level;
    std::string tag;
    std::string text;
    const char* format = nullptr; //!< checked when given
    int flags = 0;
};

inline void expectLogLine(const kestro::LogRecord& actual, const Log& expected) {
    EXPECT_EQ(std::tie(actual.module, actual.function, actual.file, actual.flags, actual.level,
                       actual.tag, actual.text),
              std::make_tuple(10, expected.function, expected.file, expected.flags, expected.level,
                              expected.tag, expected.text));
    if (expected.line >= 0) {
        EXPECT_EQ(actual.line, expected.line);
    }
    if (expected.format != nullptr) {
        EXPECT_EQ(actual.format, expected.format);
    }
}

inline void expectLog(const Log& expected) {
    const auto& logs = kestro::HostLog::instance().logs();
    ASSERT_EQ(logs.size(), 1u);
    expectLogLine(logs[0], expected);
}

//! A fault report of the module (module 10, kind 1) of this code and message.
inline void expectMonitorRecord(const kestro::MonitorRecord& actual, int code,
                                const std::string& message) {
    EXPECT_EQ(std::tie(actual.module, actual.code, actual.message, actual.kind),
              std::make_tuple(10, code, message, 1));
}

//! The monitor holds exactly one fault report (module 10, kind 1) of this code and message.
inline void expectMonitor(int code, const std::string& message) {
    const auto& monitor = kestro::HostLog::instance().monitor();
    ASSERT_EQ(monitor.size(), 1u);
    expectMonitorRecord(monitor[0], code, message);
}

inline void expectMonitorOnly(int code, const std::string& message) {
    expectMonitor(code, message);
    EXPECT_TRUE(kestro::HostLog::instance().logs().empty());
}

inline void expectFault(int code, const std::string& message, const Log& log) {
    expectMonitor(code, message);
    expectLog(log);
}

inline bool nothingReported() {
    return kestro::HostLog::instance().monitor().empty() &&
           kestro::HostLog::instance().logs().empty();
}

inline std::vector<int> monitorCodes() {
    std::vector<int> codes;
    for (const kestro::MonitorRecord& record : kestro::HostLog::instance().monitor()) {
        codes.push_back(record.code);
    }
    return codes;
}

} // namespace kvtest
