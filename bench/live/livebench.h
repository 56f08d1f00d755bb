// kvlivebench's two parts: live data from an MQTT broker and from a Modbus TCP device, each
// against a peer of its own on 127.0.0.1. Each prints its table and says whether every target
// was met; an interrupted part reports what it saw.
#pragma once

#include <atomic>
#include <string>

namespace kvlive {

struct MqttOptions {
    double seconds = 60.0; //!< of publishing
    int tags = 10000;
    int rate = 10000;      //!< messages per second, round-robin over the tags
    double period = 0.25;  //!< between two applies, as a session refreshes
    std::string mosquitto; //!< the broker's program
};

struct ModbusOptions {
    double seconds = 30.0;
    int registers = 2000; //!< holding registers 0.., one uint16 tag each
    double poll = 0.25;
    std::string python; //!< a python3 that has pymodbus
    std::string server; //!< modbus_server.py
};

//! Set by SIGINT or SIGTERM: the parts end early, stop their peers and report what they saw.
extern std::atomic<bool> interrupted;

enum class Outcome { Met, Missed, Failed };

//! Failed when the part could not run (its peer did not start, the station did not connect).
Outcome runMqttBench(const MqttOptions& options);
Outcome runModbusBench(const ModbusOptions& options);

} // namespace kvlive
