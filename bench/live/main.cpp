// kvlivebench (make bench-live): live data at scale, each part against a peer of its own on
// 127.0.0.1 (docs/performance.md, "Live data").
//
//   kvlivebench [--seconds 60] [--tags 10000] [--rate 10000]        MQTT
//               [--modbus-seconds 30] [--registers 2000]             Modbus TCP
//               [--only mqtt|modbus] [--mosquitto PATH] [--python PATH]
//
// Prints the machine, then a table per part; exits 1 when a target was missed, 2 on a bad
// option or when a part could not run, 130 when interrupted.
#include "bench/live/livebench.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include <unistd.h>

namespace kvlive {
std::atomic<bool> interrupted{false};
} // namespace kvlive

namespace {

const char kUsage[] =
    "usage: kvlivebench [--seconds S] [--tags N] [--rate N] [--modbus-seconds S]\n"
    "                   [--registers N] [--only mqtt|modbus] [--mosquitto PATH] [--python PATH]\n"
    "  --seconds S         MQTT: seconds of publishing (60)\n"
    "  --tags N            MQTT: float tags, one topic each (10000)\n"
    "  --rate N            MQTT: messages per second, round-robin over the tags (10000)\n"
    "  --modbus-seconds S  Modbus: seconds of polling (30)\n"
    "  --registers N       Modbus: holding registers, one uint16 tag each (2000)\n"
    "  --only PART         run only the MQTT or only the Modbus part\n"
    "  --mosquitto PATH    the broker (" KV_LIVEBENCH_MOSQUITTO ")\n"
    "  --python PATH       a python3 with pymodbus (/usr/bin/python3)\n";

void onSignal(int) {
    kvlive::interrupted = true;
}

std::string cpuModel() {
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    while (std::getline(cpuinfo, line)) {
        if (line.rfind("model name", 0) == 0) {
            const size_t colon = line.find(':');
            return colon == std::string::npos ? line : line.substr(colon + 2);
        }
    }
    return "unknown";
}

std::string loadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

//! A number option's value within [least, most]; false when it is not one.
bool number(const char* text, double least, double most, double* value) {
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(v >= least && v <= most)) {
        return false;
    }
    *value = v;
    return true;
}

bool whole(const char* text, int least, int most, int* value) {
    double v = 0.0;
    if (!number(text, least, most, &v) || v != double(int(v))) {
        return false;
    }
    *value = int(v);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    kvlive::MqttOptions mqtt;
    kvlive::ModbusOptions modbus;
    mqtt.mosquitto = KV_LIVEBENCH_MOSQUITTO;
    modbus.python = "/usr/bin/python3";
    modbus.server = KV_LIVEBENCH_SOURCE_DIR "/modbus_server.py";
    bool runMqtt = true;
    bool runModbus = true;
    for (int i = 1; i < argc; i += 2) { // every option but --help takes a value
        const std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        bool ok = value != nullptr;
        if (!ok) {
        } else if (option == "--seconds") {
            ok = number(value, 1, 86400, &mqtt.seconds);
        } else if (option == "--tags") {
            ok = whole(value, 1, 1000000, &mqtt.tags);
        } else if (option == "--rate") {
            ok = whole(value, 1, 1000000, &mqtt.rate);
        } else if (option == "--modbus-seconds") {
            ok = number(value, 1, 86400, &modbus.seconds);
        } else if (option == "--registers") {
            ok = whole(value, 1, 65536, &modbus.registers);
        } else if (option == "--only") {
            ok = !std::strcmp(value, "mqtt") || !std::strcmp(value, "modbus");
            runMqtt = !std::strcmp(value, "mqtt");
            runModbus = !runMqtt;
        } else if (option == "--mosquitto") {
            mqtt.mosquitto = value;
        } else if (option == "--python") {
            modbus.python = value;
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "kvlivebench: bad option %s%s%s\n%s", option.c_str(),
                         value ? " " : "", value ? value : "", kUsage);
            return 2;
        }
    }

    // The Modbus connection's thread runs a Qt event loop.
    QCoreApplication app(argc, argv);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    std::printf("kvlivebench on %u cores of %s, load average %s at the start\n",
                std::thread::hardware_concurrency(), cpuModel().c_str(), loadAverage().c_str());
    std::fflush(stdout);
    using kvlive::Outcome;
    Outcome outcome = Outcome::Met;
    const auto add = [&outcome](Outcome part) {
        outcome = part == Outcome::Failed || outcome == Outcome::Failed ? Outcome::Failed
                  : part == Outcome::Missed                             ? Outcome::Missed
                                                                        : outcome;
    };
    if (runMqtt) {
        add(kvlive::runMqttBench(mqtt));
    }
    if (runModbus && !kvlive::interrupted) {
        add(kvlive::runModbusBench(modbus));
    }
    std::printf("\nload average %s at the end; %s\n", loadAverage().c_str(),
                kvlive::interrupted          ? "interrupted"
                : outcome == Outcome::Failed ? "a part could not run"
                : outcome == Outcome::Missed ? "a target was missed"
                                             : "every target met");
    return kvlive::interrupted          ? 130
           : outcome == Outcome::Met    ? 0
           : outcome == Outcome::Missed ? 1
                                        : 2;
}
