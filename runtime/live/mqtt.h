// A connection to an MQTT broker (libmosquitto, MQTT 3.1.1, a clean session), on a thread of
// its own.
//
// - Connecting never blocks the caller. On every (re)connection the connection subscribes to the
//   topic of each served tag, with the tag's qos; a topic may hold wildcards and may be shared by
//   several tags. Each message then gives every tag whose topic it matches a Value, or a Bad
//   event with the reason (payload.h reads it).
// - A lost connection, or a failed attempt, is retried after the Backoff's wait (0.5 s doubling to
//   30 s, reset once connected). Each failed attempt posts an Error; the connection going down
//   posts Disconnected once, with the reason (the socket's error, the broker's refusal, why TLS
//   failed), until it is up again.
// - TLS verifies the broker's certificate against tlsCa (the system's authorities when empty)
//   and checks that it names the host; it presents tlsCert/tlsKey when given (libmosquitto
//   takes them only with a tlsCa). A certificate that does not verify is never accepted.
// - A broker that does not answer CONNECT within 10 s counts as a failed attempt. The host name
//   is looked up on the connection's thread; stop() waits for a lookup under way.
// - write() and publishValue() publish at once or fail; nothing is kept to be sent later.
#pragma once

#include "runtime/live/live.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

struct mosquitto;
struct mosquitto_message;

namespace kestro::live {

class MqttConnection : public Connection {
public:
    //! The topic subscribed for each tag: its `topic`, as a host showing the plant does, or its
    //! `writeTopic`, as a simulator playing the plant does: operators' writes then come as Value
    //! events of the tag.
    enum class Listen { Topics, WriteTopics };

    //! connection: the index in Project::connections put on every event. The served tags'
    //! definitions must outlive the connection.
    MqttConnection(int connection, ConnectionDef def, std::vector<ServedTag> tags, Inbox* inbox,
                   Listen listen = Listen::Topics);
    ~MqttConnection() override;

    void start() override;
    //! Returns within about a tenth of a second, also in the middle of a back-off's wait.
    //! Nothing is posted after it returns; start() may connect again.
    void stop() override;
    //! Publishes the value to the tag's writeTopic with its qos and retain flag.
    bool write(int tag, const WriteValue& value, std::string* reason) override;
    //! Publishes the value to the tag's own topic, as the plant would.
    bool publishValue(int tag, const WriteValue& value, std::string* reason);

private:
    void run();
    //! One attempt: connects and serves until the connection ends; true when it was up.
    bool attempt(std::string* reason);
    bool configure(mosquitto* mosq, std::string* reason);
    std::string failure(int rc);
    bool publish(int tag, bool toWriteTopic, const WriteValue& value, std::string* reason);
    const std::string& listenedTopic(const ServedTag& tag) const;
    void post(LiveEvent::Kind kind, int tag, std::string reason);

    static void onConnect(mosquitto* mosq, void* self, int rc);
    static void onMessage(mosquitto* mosq, void* self, const mosquitto_message* message);
    static void onLog(mosquitto* mosq, void* self, int level, const char* text);

    const int m_connection;
    const ConnectionDef m_def;
    const std::vector<ServedTag> m_tags;
    Inbox* const m_inbox;
    const Listen m_listen;
    // Which served tags a message's topic reaches: exact topics by look-up, so that a station of
    // thousands of tags does not test every one against every message; wildcard filters one by
    // one. Positions in m_tags.
    std::unordered_map<std::string, std::vector<size_t>> m_exactTopics;
    std::vector<size_t> m_wildcardTopics;

    std::thread m_thread;
    std::mutex m_mutex; // guards m_mosq for the writers, and the back-off's wait
    std::condition_variable m_wake;
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_up{false};
    mosquitto* m_mosq = nullptr;

    // The connection's thread only.
    Backoff m_backoff;
    bool m_down = false;               // Disconnected posted since the last Connected
    bool m_answered = false;           // the broker answered this attempt's CONNECT
    std::string m_refusal;             // the broker's refusal of this attempt
    std::vector<std::string> m_errors; // the library's error lines during this attempt
};

} // namespace kestro::live
