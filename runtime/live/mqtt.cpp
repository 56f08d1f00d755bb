#include "runtime/live/mqtt.h"

#include "runtime/live/payload.h"

#include <mosquitto.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <fstream>
#include <map>
#include <utility>

namespace kestro::live {

namespace {

// How long mosquitto_loop waits for the socket: the longest stop() may wait for the thread.
constexpr int kLoopMs = 100;
// A broker that has not answered CONNECT by then is taken as unreachable.
constexpr auto kAnswerTime = std::chrono::seconds(10);

void initLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

// The library's sentences as reasons: no leading capital, no full stop.
std::string plainWords(std::string text) {
    const size_t start = text.find_first_not_of(' ');
    text.erase(0, start == std::string::npos ? text.size() : start);
    while (!text.empty() && (text.back() == '.' || text.back() == ' ')) {
        text.pop_back();
    }
    if (!text.empty()) {
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    }
    return text;
}

bool readable(const std::string& path) {
    return std::ifstream(path).good();
}

} // namespace

MqttConnection::MqttConnection(int connection, ConnectionDef def, std::vector<ServedTag> tags,
                               Inbox* inbox, Listen listen)
    : m_connection(connection), m_def(std::move(def)), m_tags(std::move(tags)), m_inbox(inbox),
      m_listen(listen) {
    initLibrary();
    for (size_t i = 0; i < m_tags.size(); ++i) {
        const std::string& topic = listenedTopic(m_tags[i]);
        if (topic.find_first_of("+#") != std::string::npos) {
            m_wildcardTopics.push_back(i);
        } else if (!topic.empty()) {
            m_exactTopics[topic].push_back(i);
        }
    }
}

MqttConnection::~MqttConnection() {
    stop();
}

void MqttConnection::start() {
    if (m_thread.joinable()) {
        return;
    }
    m_stopping = false;
    m_down = false;
    m_backoff.reset();
    m_thread = std::thread([this] { run(); });
}

void MqttConnection::stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void MqttConnection::run() {
    while (!m_stopping) {
        std::string reason;
        const bool wasUp = attempt(&reason);
        if (m_stopping) {
            break;
        }
        if (!wasUp) {
            post(LiveEvent::Kind::Error, -1, reason);
        }
        if (!m_down) {
            post(LiveEvent::Kind::Disconnected, -1, reason);
            m_down = true;
        }
        std::unique_lock<std::mutex> lock(m_mutex);
        m_wake.wait_for(lock, std::chrono::milliseconds(m_backoff.next()),
                        [this] { return m_stopping.load(); });
    }
}

bool MqttConnection::attempt(std::string* reason) {
    mosquitto* mosq =
        mosquitto_new(m_def.clientId.empty() ? nullptr : m_def.clientId.c_str(), true, this);
    if (!mosq) {
        *reason = "cannot make an MQTT client (out of memory)";
        return false;
    }
    m_answered = false;
    m_refusal.clear();
    m_errors.clear();
    if (!configure(mosq, reason)) {
        mosquitto_destroy(mosq);
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_mosq = mosq;
    }
    const int port = m_def.port > 0 ? m_def.port : m_def.tls ? 8883 : 1883;
    const auto deadline = std::chrono::steady_clock::now() + kAnswerTime;
    int rc = mosquitto_connect_async(mosq, m_def.host.c_str(), port, m_def.keepAlive);
    while (rc == MOSQ_ERR_SUCCESS && !m_stopping) {
        rc = mosquitto_loop(mosq, kLoopMs, 1);
        if (!m_answered && std::chrono::steady_clock::now() > deadline) {
            m_refusal = "no answer within " + std::to_string(kAnswerTime.count()) + " s";
            break;
        }
    }
    const std::string why = failure(rc); // while errno is still the loop's
    *reason = m_def.host + ":" + std::to_string(port) + ": " + why;
    const bool wasUp = m_up.exchange(false);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_mosq = nullptr;
    }
    if (wasUp && m_stopping) {
        mosquitto_disconnect(mosq);
        mosquitto_loop_write(mosq, 1);
    }
    mosquitto_destroy(mosq);
    return wasUp;
}

bool MqttConnection::configure(mosquitto* mosq, std::string* reason) {
    // The loop runs on this thread; writers only queue their packets and wake it.
    mosquitto_threaded_set(mosq, true);
    mosquitto_connect_callback_set(mosq, &MqttConnection::onConnect);
    mosquitto_message_callback_set(mosq, &MqttConnection::onMessage);
    mosquitto_log_callback_set(mosq, &MqttConnection::onLog);
    if (m_def.hasCredentials &&
        mosquitto_username_pw_set(mosq, m_def.username.c_str(), m_def.password.c_str()) !=
            MOSQ_ERR_SUCCESS) {
        *reason = "the user name is not valid UTF-8";
        return false;
    }
    if (!m_def.tls) {
        return true;
    }
    if (m_def.tlsCert.empty() != m_def.tlsKey.empty()) {
        *reason = "TLS: a client certificate and its key go together";
        return false;
    }
    for (const std::string* file : {&m_def.tlsCa, &m_def.tlsCert, &m_def.tlsKey}) {
        if (!file->empty() && !readable(*file)) {
            *reason = "TLS: cannot read " + *file;
            return false;
        }
    }
    const auto orNull = [](const std::string& text) {
        return text.empty() ? nullptr : text.c_str();
    };
    // The library takes a client certificate only together with a CA file or folder.
    if (m_def.tlsCa.empty() && !m_def.tlsCert.empty()) {
        *reason = "TLS: a client certificate needs a CA file to verify the broker with";
        return false;
    }
    int rc = m_def.tlsCa.empty()
                 ? mosquitto_int_option(mosq, MOSQ_OPT_TLS_USE_OS_CERTS, 1)
                 : mosquitto_tls_set(mosq, m_def.tlsCa.c_str(), nullptr, orNull(m_def.tlsCert),
                                     orNull(m_def.tlsKey), nullptr);
    if (rc == MOSQ_ERR_SUCCESS) {
        rc = mosquitto_tls_opts_set(mosq, 1 /* SSL_VERIFY_PEER */, nullptr, nullptr);
    }
    if (rc == MOSQ_ERR_SUCCESS) {
        rc = mosquitto_tls_insecure_set(mosq, false);
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        *reason = "TLS: " + plainWords(mosquitto_strerror(rc));
        return false;
    }
    return true;
}

std::string MqttConnection::failure(int rc) {
    if (!m_refusal.empty()) {
        return m_refusal;
    }
    if (rc == MOSQ_ERR_TLS) {
        std::string details;
        for (const std::string& error : m_errors) {
            details += (details.empty() ? "" : "; ") + error;
        }
        return "TLS: " + (details.empty() ? std::string("handshake failed") : details);
    }
    return plainWords(mosquitto_strerror(rc));
}

const std::string& MqttConnection::listenedTopic(const ServedTag& tag) const {
    return m_listen == Listen::Topics ? tag.def->source.topic : tag.def->source.writeTopic;
}

void MqttConnection::onConnect(mosquitto* mosq, void* self, int rc) {
    auto* connection = static_cast<MqttConnection*>(self);
    connection->m_answered = true;
    if (rc != 0) {
        // "Connection Refused: not authorised."
        const std::string text = mosquitto_connack_string(rc);
        const size_t colon = text.find(": ");
        connection->m_refusal =
            "the broker refused the connection: " +
            plainWords(colon == std::string::npos ? text : text.substr(colon + 2));
        return;
    }
    // Each topic once, with the highest qos of the tags that share it.
    std::map<std::string, int> topics;
    for (const ServedTag& tag : connection->m_tags) {
        const std::string& topic = connection->listenedTopic(tag);
        if (!topic.empty()) {
            topics[topic] = std::max(topics[topic], tag.def->source.qos);
        }
    }
    connection->m_up = true;
    connection->m_backoff.reset();
    connection->m_down = false;
    connection->post(LiveEvent::Kind::Connected, -1, {});
    for (const auto& [topic, qos] : topics) {
        if (mosquitto_subscribe(mosq, nullptr, topic.c_str(), qos) == MOSQ_ERR_SUCCESS) {
            continue;
        }
        for (const ServedTag& tag : connection->m_tags) {
            if (connection->listenedTopic(tag) == topic) {
                connection->post(LiveEvent::Kind::Bad, tag.index,
                                 "cannot subscribe to \"" + topic + "\"");
            }
        }
    }
}

void MqttConnection::onMessage(mosquitto*, void* self, const mosquitto_message* message) {
    auto* connection = static_cast<MqttConnection*>(self);
    const std::string_view payload(static_cast<const char*>(message->payload),
                                   message->payload ? static_cast<size_t>(message->payloadlen) : 0);
    std::vector<size_t> reached;
    if (const auto exact = connection->m_exactTopics.find(message->topic);
        exact != connection->m_exactTopics.end()) {
        reached = exact->second;
    }
    for (size_t i : connection->m_wildcardTopics) {
        bool matches = false;
        if (mosquitto_topic_matches_sub(connection->listenedTopic(connection->m_tags[i]).c_str(),
                                        message->topic, &matches) == MOSQ_ERR_SUCCESS &&
            matches) {
            reached.push_back(i);
        }
    }
    std::sort(reached.begin(), reached.end()); // the tags' order, whichever way they matched
    for (size_t i : reached) {
        const ServedTag& tag = connection->m_tags[i];
        DecodedValue value = decodePayload(*tag.def, payload);
        LiveEvent event;
        event.kind = value.ok ? LiveEvent::Kind::Value : LiveEvent::Kind::Bad;
        event.connection = connection->m_connection;
        event.tag = tag.index;
        event.number = value.number;
        event.text = std::move(value.text);
        event.isText = value.isText;
        event.reason = std::move(value.reason);
        connection->m_inbox->post(std::move(event));
    }
}

void MqttConnection::onLog(mosquitto*, void* self, int level, const char* text) {
    auto* connection = static_cast<MqttConnection*>(self);
    if (!(level & MOSQ_LOG_ERR) || connection->m_errors.size() >= 4) {
        return;
    }
    // "Error: host name verification failed." and
    // "OpenSSL Error[0]: error:0A000086:SSL routines::certificate verify failed"
    const std::string line = text;
    const size_t colon = line.rfind(':');
    const std::string error =
        plainWords(colon == std::string::npos ? line : line.substr(colon + 1));
    if (!error.empty() && std::find(connection->m_errors.begin(), connection->m_errors.end(),
                                    error) == connection->m_errors.end()) {
        connection->m_errors.push_back(error);
    }
}

bool MqttConnection::write(int tag, const WriteValue& value, std::string* reason) {
    return publish(tag, true, value, reason);
}

bool MqttConnection::publishValue(int tag, const WriteValue& value, std::string* reason) {
    return publish(tag, false, value, reason);
}

bool MqttConnection::publish(int tag, bool toWriteTopic, const WriteValue& value,
                             std::string* reason) {
    const auto served = std::find_if(m_tags.begin(), m_tags.end(),
                                     [tag](const ServedTag& t) { return t.index == tag; });
    if (served == m_tags.end()) {
        *reason = m_def.name + ": tag " + std::to_string(tag) + " is not one of its tags";
        return false;
    }
    const TagDef& def = *served->def;
    const std::string& topic = toWriteTopic ? def.source.writeTopic : def.source.topic;
    if (topic.empty()) {
        *reason =
            def.name + (toWriteTopic ? ": no write topic; the tag is read-only" : ": no topic");
        return false;
    }
    if (mosquitto_pub_topic_check(topic.c_str()) != MOSQ_ERR_SUCCESS) {
        *reason = def.name + ": cannot publish to \"" + topic + "\"";
        return false;
    }
    std::string message;
    if (!encodePayload(def, value, &message, reason)) {
        *reason = def.name + ": " + *reason;
        return false;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_up || !m_mosq) {
        *reason = m_def.name + ": not connected";
        return false;
    }
    const int rc =
        mosquitto_publish(m_mosq, nullptr, topic.c_str(), static_cast<int>(message.size()),
                          message.data(), def.source.qos, def.source.retain);
    if (rc != MOSQ_ERR_SUCCESS) {
        *reason = m_def.name + ": " + plainWords(mosquitto_strerror(rc));
        return false;
    }
    return true;
}

void MqttConnection::post(LiveEvent::Kind kind, int tag, std::string reason) {
    LiveEvent event;
    event.kind = kind;
    event.connection = m_connection;
    event.tag = tag;
    event.reason = std::move(reason);
    m_inbox->post(std::move(event));
}

} // namespace kestro::live
