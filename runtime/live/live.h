// Live data: the connections that bring tag values in from the plant and take operators' writes
// back out. A connection does its network I/O on its own (a thread, or the event loop without
// ever waiting) and posts what happens to an Inbox; the session takes the inbox's events between
// refreshes and applies them to the real-time database, so a refresh never waits on the network.
#pragma once

#include "runtime/project/project.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kestro::live {

//! Something a connection saw. `connection` is the index in Project::connections, `tag` the
//! index in Project::tags (-1 where the event is about the connection).
struct LiveEvent {
    enum class Kind {
        Value,        //!< a good value of a tag: number, or text where isText
        Bad,          //!< a tag's value could not be read (reason says why); it keeps its last
        Connected,    //!< the connection is up
        Disconnected, //!< the connection is down (reason says why); its tags are bad
        Error,        //!< a failure counted in NAME.errors (reason says what)
        WriteFailed,  //!< an operator's write sent earlier was refused by the peer
    };
    Kind kind = Kind::Value;
    int connection = -1;
    int tag = -1;
    double number = 0.0;
    std::string text;
    bool isText = false;
    std::string reason;
};

//! Events from any thread to the session's thread, in the order posted.
class Inbox {
public:
    void post(LiveEvent event);
    //! Every event posted since the last take, oldest first.
    std::vector<LiveEvent> take();
    size_t pending() const;

private:
    mutable std::mutex m_mutex;
    std::vector<LiveEvent> m_events;
};

//! The wait before the next attempt to connect: 0.5 s, doubling up to 30 s; reset on success.
class Backoff {
public:
    static constexpr int kFirstMs = 500;
    static constexpr int kLastMs = 30000;
    //! The wait before the coming attempt, then doubles the next one.
    int next();
    void reset() { m_nextMs = kFirstMs; }

private:
    int m_nextMs = kFirstMs;
};

//! An operator's write of a tag's value.
struct WriteValue {
    double number = 0.0;
    std::string text;
    bool isText = false;
};

//! A tag a connection serves: its index in Project::tags and its definition.
struct ServedTag {
    int index = -1;
    const TagDef* def = nullptr;
};

//! One live connection. Construction does no I/O; start() begins connecting and returns at once.
class Connection {
public:
    virtual ~Connection() = default;
    virtual void start() = 0;
    //! Disconnects and stops every thread and timer; nothing is posted after it returns.
    virtual void stop() = 0;
    //! Sends an operator's write of a served tag. False, with the reason, when it cannot be sent
    //! now (disconnected, the tag has no write path, a value the source cannot hold); nothing is
    //! queued to be sent later. A peer's later refusal comes as a WriteFailed event.
    virtual bool write(int tag, const WriteValue& value, std::string* reason) = 0;
};

} // namespace kestro::live
