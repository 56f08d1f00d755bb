// Modbus TCP at scale: a pymodbus device of the bench's own holding the registers, one uint16 tag
// per register, and a ModbusConnection polling them all. The station's side counts what reaches
// the inbox (taken every 10 ms: a poll is complete once every tag has had a value since the last
// one); the device's side logs every request's arrival and every reply (modbus_server.py), on the
// same monotonic clock, so that requests per poll and overlapping polls are seen where they
// happen.
#include "bench/live/figures.h"
#include "bench/live/livebench.h"
#include "bench/live/process.h"

#include "runtime/live/modbus.h"
#include "runtime/live/modbusmap.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

namespace kvlive {

using kestro::live::LiveEvent;

namespace {

constexpr double kServerStartSeconds = 20.0; // python and pymodbus take a while to import
constexpr double kConnectSeconds = 10.0;
constexpr double kTakeEvery = 0.01;
constexpr double kMemorySampleSeconds = 10.0;
constexpr double kMemoryMarginMb = 2.0;
constexpr double kRateTolerance = 0.05;

void sleepFor(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(std::max(0.0, seconds)));
}

uint16_t registerValue(int address) {
    return uint16_t((7 * address + 3) % 65536); // as modbus_server.py fills them
}

kestro::Project benchProject(const ModbusOptions& o, int port) {
    kestro::Project project;
    kestro::ConnectionDef plc;
    plc.name = "plc";
    plc.kind = kestro::ConnectionDef::Kind::ModbusTcp;
    plc.host = "127.0.0.1";
    plc.port = port;
    plc.unit = 1;
    plc.poll = o.poll;
    plc.timeout = 1.0;
    project.connections.push_back(plc);
    for (int r = 0; r < o.registers; ++r) {
        kestro::TagDef tag;
        tag.name = "r" + std::to_string(r);
        tag.type = kestro::VarType::Int;
        tag.source.connection = plc.name;
        tag.source.table = kestro::TagSource::Table::Holding;
        tag.source.type = kestro::TagSource::Type::UInt16;
        tag.source.address = r;
        project.tags.push_back(tag);
    }
    return project;
}

//! The station's side: the inbox's events as they come, a poll complete when every tag has had
//! a value since the last complete one.
struct Station {
    explicit Station(int tags) : seenInPoll(size_t(tags), false), remaining(tags) {}

    void take(const std::vector<LiveEvent>& events, double now, double from, double to) {
        const bool counting = now >= from && now < to;
        for (const LiveEvent& e : events) {
            switch (e.kind) {
            case LiveEvent::Kind::Value:
                value(e, now, counting);
                break;
            case LiveEvent::Kind::Connected:
                connected = true;
                break;
            case LiveEvent::Kind::Disconnected:
                connected = false;
                failures += counting;
                break;
            default: // Bad, Error, WriteFailed
                failures += counting;
                if (failureText.empty()) {
                    failureText = e.reason;
                }
            }
        }
    }

    void value(const LiveEvent& e, double now, bool counting) {
        if (e.tag < 0 || e.tag >= int(seenInPoll.size())) {
            failures += counting;
            return;
        }
        values += counting;
        wrong += counting && e.number != double(registerValue(e.tag));
        if (seenInPoll[size_t(e.tag)]) {
            early += counting; // the next poll's value before this one was complete
            return;
        }
        seenInPoll[size_t(e.tag)] = true;
        if (--remaining == 0) {
            completions.push_back(now);
            valuesAtCompletion = values;
            std::fill(seenInPoll.begin(), seenInPoll.end(), false);
            remaining = int(seenInPoll.size());
        }
    }

    std::vector<bool> seenInPoll;
    int remaining;
    std::vector<double> completions;
    bool connected = false;
    uint64_t values = 0;
    uint64_t valuesAtCompletion = 0; //!< values when the last poll was complete
    uint64_t wrong = 0;              //!< values other than the register holds
    uint64_t early = 0;              //!< a tag's second value before its poll was complete
    uint64_t failures = 0;           //!< Bad, Error and Disconnected events
    std::string failureText;
};

//! The device's side, from its log: requests grouped into polls (a poll begins where the
//! addresses start over), and whether one began while requests of the poll before it were still
//! unanswered.
struct Device {
    uint64_t requests = 0;
    std::vector<int> requestsPerPoll;
    std::vector<double> pollStarts;
    std::vector<double> pollDurations; //!< first arrival to last reply
    uint64_t overlaps = 0;
};

Device readDeviceLog(const std::string& path, double from, double to) {
    Device device;
    std::ifstream log(path);
    std::string line;
    int outstanding = 0;
    int lastAddress = -1;
    bool inWindow = false;
    while (std::getline(log, line)) {
        std::istringstream fields(line);
        char kind = 0;
        double t = 0.0;
        int function = 0, address = 0, count = 0;
        fields >> kind >> t;
        if (kind == 'a') {
            outstanding = std::max(0, outstanding - 1);
            if (inWindow && !device.pollDurations.empty()) {
                device.pollDurations.back() = t - device.pollStarts.back();
            }
            continue;
        }
        if (kind != 'r' || !(fields >> function >> address >> count)) {
            continue;
        }
        const bool starts = address <= lastAddress || lastAddress < 0;
        lastAddress = address;
        if (starts) {
            inWindow = t >= from && t < to;
            if (inWindow) {
                device.overlaps += outstanding > 0;
                device.requestsPerPoll.push_back(0);
                device.pollStarts.push_back(t);
                device.pollDurations.push_back(0.0);
            }
        }
        ++outstanding;
        if (inWindow) {
            ++device.requests;
            ++device.requestsPerPoll.back();
        }
    }
    return device;
}

bool startServer(const ModbusOptions& o, const ScratchDir& dir, ChildProcess* server, int* port,
                 std::string* error) {
    if (!server->start({o.python, o.server, "--port-file", dir.file("port"), "--log",
                        dir.file("requests.log"), "--size", std::to_string(o.registers)},
                       dir.file("server.out"), error)) {
        return false;
    }
    const double deadline = nowSeconds() + kServerStartSeconds;
    while (server->running() && nowSeconds() < deadline && !interrupted) {
        *port = std::atoi(firstLine(dir.file("port")).c_str());
        if (*port > 0) {
            return true;
        }
        sleepFor(0.05);
    }
    std::ifstream out(dir.file("server.out"));
    *error = "the Modbus server did not start: " +
             std::string(std::istreambuf_iterator<char>(out), std::istreambuf_iterator<char>());
    return false;
}

double meanOf(const std::vector<double>& v) {
    double sum = 0.0;
    for (double x : v) {
        sum += x;
    }
    return v.empty() ? 0.0 : sum / double(v.size());
}

void printTable(const ModbusOptions& o, const Station& station, const Device& device,
                size_t plannedReads, double from, double seconds, const MemoryTrack& memory,
                bool* met) {
    const double pollsWanted = 1.0 / o.poll;
    const double valuesWanted = double(o.registers) / o.poll;
    const auto within = [](double value, double wanted) {
        return value >= wanted * (1 - kRateTolerance) && value <= wanted * (1 + kRateTolerance);
    };
    Table table(format("Modbus TCP: %d holding registers (uint16 tags), polled every %.2f s "
                       "for %.0f s",
                       o.registers, o.poll, seconds));
    // Over whole polls: from the complete poll that opened the window to the last one in it.
    const double span = station.completions.empty() ? 0.0 : station.completions.back() - from;
    const double polls = span > 0 ? double(station.completions.size()) / span : 0.0;
    table.row("polls completed per second (station)", format("%.2f", polls),
              format("%.0f +- %.0f %%", pollsWanted, kRateTolerance * 100),
              within(polls, pollsWanted));
    std::vector<double> intervals;
    for (size_t i = 1; i < device.pollStarts.size(); ++i) {
        intervals.push_back(device.pollStarts[i] - device.pollStarts[i - 1]);
    }
    if (!intervals.empty()) {
        table.row("polls begun per second (device)", format("%.2f", 1.0 / meanOf(intervals)));
        table.row("from one poll's start to the next: mean / min / max, ms",
                  format("%.1f / %.1f / %.1f", meanOf(intervals) * 1e3,
                         *std::min_element(intervals.begin(), intervals.end()) * 1e3,
                         *std::max_element(intervals.begin(), intervals.end()) * 1e3));
        table.row(
            "a poll, first request to last reply: mean / max, ms",
            format("%.1f / %.1f", meanOf(device.pollDurations) * 1e3,
                   *std::max_element(device.pollDurations.begin(), device.pollDurations.end()) *
                       1e3));
    }
    const auto [fewest, most] =
        device.requestsPerPoll.empty()
            ? std::pair{0, 0}
            : std::pair{
                  *std::min_element(device.requestsPerPoll.begin(), device.requestsPerPoll.end()),
                  *std::max_element(device.requestsPerPoll.begin(), device.requestsPerPoll.end())};
    table.row("requests per poll (device): fewest / most",
              format("%d / %d (%llu requests)", fewest, most, (unsigned long long)device.requests),
              format("%zu = ceil(%d / %d) in every poll", plannedReads, o.registers,
                     kestro::live::kMaxReadRegisters),
              !device.requestsPerPoll.empty() && fewest == int(plannedReads) &&
                  most == int(plannedReads));
    table.row("polls begun before the last one's replies (device)",
              format("%llu", (unsigned long long)device.overlaps), "0",
              device.overlaps == 0 && !device.pollStarts.empty());
    table.row("a tag's value before its poll was complete (station)",
              format("%llu", (unsigned long long)station.early), "0", station.early == 0);
    const double values = span > 0 ? double(station.valuesAtCompletion) / span : 0.0;
    table.row("values received per second", format("%.0f", values),
              format("%.0f +- %.0f %%", valuesWanted, kRateTolerance * 100),
              within(values, valuesWanted));
    table.row("values other than the register's", format("%llu", (unsigned long long)station.wrong),
              "0", station.wrong == 0);
    table.row("errors (bad values, failed requests, disconnections)",
              format("%llu", (unsigned long long)station.failures) +
                  (station.failureText.empty() ? "" : " (" + station.failureText + ")"),
              "0", station.failures == 0);
    table.row("resident memory, MiB (at s)", memory.samples());
    table.row(format("resident memory from %.0f s to the end", memory.warmAt()),
              format("%+.2f MiB", memory.end() - memory.warm()),
              format("< %.0f MiB", memory.margin()), memory.flat());
    table.print();
    *met = table.allMet();
}

} // namespace

Outcome runModbusBench(const ModbusOptions& o) {
    const auto fail = [](const std::string& why) {
        std::fprintf(stderr, "kvlivebench: Modbus: %s\n",
                     interrupted ? "interrupted" : why.c_str());
        return Outcome::Failed;
    };
    ScratchDir dir;
    ChildProcess server;
    int port = 0;
    std::string error;
    if (!dir.ok()) {
        return fail("no scratch folder");
    }
    if (!startServer(o, dir, &server, &port, &error)) {
        return fail(error);
    }
    const kestro::Project project = benchProject(o, port);
    std::vector<kestro::live::ServedTag> served;
    for (size_t t = 0; t < project.tags.size(); ++t) {
        served.push_back({int(t), &project.tags[t]});
    }
    const size_t plannedReads = kestro::live::planModbusReads(served).reads.size();
    kestro::live::Inbox inbox;
    kestro::live::ModbusConnection connection(0, project.connections[0], served, &inbox);
    Station station(o.registers);
    station.completions.reserve(size_t(o.seconds / o.poll) * 2 + 64);

    // The window opens at the first complete poll: from then on every poll is a steady one.
    connection.start();
    const double connectBy = nowSeconds() + kConnectSeconds;
    double from = 1e300;
    while (station.completions.empty() && nowSeconds() < connectBy && !interrupted) {
        sleepFor(kTakeEvery);
        station.take(inbox.take(), nowSeconds(), from, from);
    }
    if (station.completions.empty()) {
        return fail(station.connected              ? "no complete poll"
                    : !station.failureText.empty() ? station.failureText
                                                   : "the station did not connect");
    }
    from = station.completions.back();
    station.completions.clear();
    const double to = from + o.seconds;
    MemoryTrack memory(kMemorySampleSeconds, std::min(kMemorySampleSeconds, o.seconds / 2),
                       kMemoryMarginMb);
    memory.poll(0.0);
    double now = nowSeconds();
    while (now < to && !interrupted) {
        sleepFor(std::min(kTakeEvery, to - now));
        now = nowSeconds();
        station.take(inbox.take(), now, from, to);
        memory.poll(now - from);
    }
    memory.finish(now - from);
    connection.stop();
    server.stop();
    const double seconds = std::min(now, to) - from;
    const Device device = readDeviceLog(dir.file("requests.log"), from, from + seconds);

    bool met = false;
    printTable(o, station, device, plannedReads, from, seconds, memory, &met);
    return met ? Outcome::Met : Outcome::Missed;
}

} // namespace kvlive
