// Monitor and logger: every call kept as a record with its format applied; the echo line.
#include "kestrovalumen/host/logger.h"
#include "runtime/host/logger.h"
#include "tests/support/hostfixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

namespace {

using kestro::HostLog;

class Logger : public HostTest {};

TEST_F(Logger, MonitorReportsAreKeptInOrder) {
    monitor_report(10, 2, "Create Animation obj is fail", 1);
    monitor_report(7, 40, "\xE6\x89\x93\xE5\xBC\x80", 3); // bytes kept as given
    monitor_report(10, 3, nullptr, 1);
    const auto& records = HostLog::instance().monitor();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].module, 10);
    EXPECT_EQ(records[0].code, 2);
    EXPECT_EQ(records[0].message, "Create Animation obj is fail");
    EXPECT_EQ(records[0].kind, 1);
    EXPECT_EQ(records[1].module, 7);
    EXPECT_EQ(records[1].code, 40);
    EXPECT_EQ(records[1].message, "\xE6\x89\x93\xE5\xBC\x80");
    EXPECT_EQ(records[1].kind, 3);
    EXPECT_EQ(records[2].message, "");
    EXPECT_TRUE(HostLog::instance().logs().empty());
}

TEST_F(Logger, LogLinesKeepEveryFieldAndTheFormattedText) {
    logger_printf(10, "deserialize", "drawobj", 1020, 0, 1,
                  "Drawobj Create animation property is error", "%u", 12300u);
    logger_printf(10, "MulDiv", "vornDrawPubInter", 52, 4, 2, "DrawObj", "height = %d", 0);
    logger_printf(10, "Run", "animation\\anivisible", 7, 0, 4, "tag", "%s=%.3f [%5d]", "v", 0.5,
                  -12);
    const auto& logs = HostLog::instance().logs();
    ASSERT_EQ(logs.size(), 3u);

    EXPECT_EQ(logs[0].module, 10);
    EXPECT_EQ(logs[0].function, "deserialize");
    EXPECT_EQ(logs[0].file, "drawobj");
    EXPECT_EQ(logs[0].line, 1020);
    EXPECT_EQ(logs[0].flags, 0);
    EXPECT_EQ(logs[0].level, 1);
    EXPECT_EQ(logs[0].tag, "Drawobj Create animation property is error");
    EXPECT_EQ(logs[0].format, "%u");
    EXPECT_EQ(logs[0].text, "12300");

    EXPECT_EQ(logs[1].flags, 4);
    EXPECT_EQ(logs[1].level, 2);
    EXPECT_EQ(logs[1].format, "height = %d");
    EXPECT_EQ(logs[1].text, "height = 0");

    EXPECT_EQ(logs[2].file, "animation\\anivisible");
    EXPECT_EQ(logs[2].text, "v=0.500 [  -12]");
    EXPECT_TRUE(HostLog::instance().monitor().empty());

    // Null texts become empty.
    logger_printf(1, nullptr, nullptr, 0, 0, 0, nullptr, "%s", "x");
    const auto& log = HostLog::instance().logs().at(3);
    EXPECT_EQ(log.function, "");
    EXPECT_EQ(log.file, "");
    EXPECT_EQ(log.tag, "");
    EXPECT_EQ(log.text, "x");

    HostLog::instance().clear();
    EXPECT_TRUE(HostLog::instance().logs().empty());
}

TEST_F(Logger, EchoWritesOneReadableLinePerCall) {
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    HostLog::instance().setEcho(stream);
    monitor_report(10, 37, "keyboard failed", 1);
    logger_printf(10, "Run", "animation\\aniinput", 99, 0, 2, "CDrawEdit", "value %d", 5);
    HostLog::instance().setEcho(nullptr);
    monitor_report(10, 38, "not echoed", 1);

    std::rewind(stream);
    std::string text;
    char chunk[256];
    while (std::fgets(chunk, sizeof chunk, stream)) {
        text += chunk;
    }
    std::fclose(stream);

    std::istringstream lines(text);
    std::string first, second, third;
    ASSERT_TRUE(std::getline(lines, first));
    ASSERT_TRUE(std::getline(lines, second));
    EXPECT_FALSE(std::getline(lines, third));
    EXPECT_NE(first.find("37"), std::string::npos) << first;
    EXPECT_NE(first.find("keyboard failed"), std::string::npos) << first;
    for (const char* part : {"animation\\aniinput", "99", "Run", "CDrawEdit", "value 5"}) {
        EXPECT_NE(second.find(part), std::string::npos) << part << " in " << second;
    }
}

} // namespace
