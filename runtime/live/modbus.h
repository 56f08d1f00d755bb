// A Modbus TCP client connection: polls its tags' registers and coils and sends operators' writes,
// on a thread of its own.
#pragma once

#include "runtime/live/live.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class QThread;

namespace kestro::live {

class ModbusWorker;

//! Connects to def.host:def.port (502 for 0) and reads every served tag each def.poll seconds,
//! in the fewest requests; each request may take def.timeout seconds, an attempt to connect as
//! long but at least a second. After a loss it reconnects with a Backoff. Its thread has an event
//! loop of its own: the caller's thread never waits on the network.
class ModbusConnection : public Connection {
public:
    //! `index` is the connection's place in Project::connections; the tags' definitions belong to
    //! the project, which outlives the connection.
    ModbusConnection(int index, ConnectionDef def, std::vector<ServedTag> tags, Inbox* inbox);
    ~ModbusConnection() override;
    ModbusConnection(const ModbusConnection&) = delete;
    ModbusConnection& operator=(const ModbusConnection&) = delete;

    void start() override;
    void stop() override;
    bool write(int tag, const WriteValue& value, std::string* reason) override;

private:
    const int m_index;
    const ConnectionDef m_def;
    const std::vector<ServedTag> m_tags;
    Inbox* const m_inbox;
    std::atomic<bool> m_connected{false};
    std::mutex m_mutex; // guards the worker's lifetime against write() from another thread
    std::unique_ptr<QThread> m_thread;
    ModbusWorker* m_worker = nullptr;
};

} // namespace kestro::live
