// MQTT at scale: a broker of the bench's own, a publisher thread sending each tag's message in
// turn at a fixed rate, and LiveData applying its inbox every refresh period as a session does.
// Every payload is the steady clock at its publication (µs); the value apply() stores is that
// payload, read back from the database's record of writes, so each message's latency is measured
// from its publication to the apply that stored it.
#include "bench/live/figures.h"
#include "bench/live/livebench.h"
#include "bench/live/process.h"

#include "runtime/host/rtdb.h"
#include "runtime/live/livedata.h"

#include <mosquitto.h>

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace kvlive {

using kestro::Rtdb;

namespace {

constexpr int kBrokerAttempts = 3; // a port may be taken between its choice and the bind
constexpr double kStartSeconds = 10.0;
constexpr double kWarmUpSeconds = 60.0;
constexpr double kDrainSeconds = 10.0;
constexpr double kMemorySampleSeconds = 10.0;
constexpr double kMemoryMarginMb = 2.0;
constexpr const char* kDroppedTopic = "$SYS/broker/publish/messages/dropped";

void sleepFor(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

std::string topicOf(int tag) {
    return "bench/t/" + std::to_string(tag);
}

//! mosquitto on a free port of 127.0.0.1, anonymous, nothing kept on disk.
class Broker {
public:
    bool start(const ScratchDir& dir, const std::string& program, std::string* error) {
        const passwd* user = getpwuid(getuid());
        for (int attempt = 0; attempt < kBrokerAttempts; ++attempt) {
            m_port = freePort();
            std::ofstream(dir.file("broker.conf"))
                << "listener " << m_port << " 127.0.0.1\n"
                << "allow_anonymous true\npersistence false\n"
                // Its count of dropped messages, every second (the publisher listens).
                << "sys_interval 1\n"
                // Run as root, mosquitto would otherwise switch to a user of its own.
                << (user ? "user " + std::string(user->pw_name) + "\n" : std::string());
            if (!m_process.start({program, "-c", dir.file("broker.conf")}, dir.file("broker.log"),
                                 error)) {
                return false;
            }
            const double deadline = nowSeconds() + kStartSeconds;
            while (m_process.running() && !accepts(m_port) && nowSeconds() < deadline) {
                sleepFor(0.02);
            }
            if (m_process.running() && accepts(m_port)) {
                return true;
            }
            m_process.stop();
        }
        std::ifstream log(dir.file("broker.log"));
        *error = "the broker did not start: " +
                 std::string(std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>());
        return false;
    }
    int port() const { return m_port; }
    pid_t pid() const { return m_process.pid(); }
    void stop() { m_process.stop(); }

private:
    ChildProcess m_process;
    int m_port = 0;
};

//! The plant's side: its own libmosquitto client, publishing QoS 0 from a thread of its own.
class Publisher {
public:
    explicit Publisher(int tags) {
        for (int t = 0; t < tags; ++t) {
            m_topics.push_back(topicOf(t));
        }
    }
    ~Publisher() {
        stopPacing();
        if (m_mosq) {
            mosquitto_disconnect(m_mosq);
            mosquitto_loop_stop(m_mosq, false);
            mosquitto_destroy(m_mosq);
        }
    }
    Publisher(const Publisher&) = delete;
    Publisher& operator=(const Publisher&) = delete;

    bool connect(int port, std::string* error) {
        m_mosq = mosquitto_new(nullptr, true, this);
        if (!m_mosq) {
            *error = "publisher: cannot make a client";
            return false;
        }
        mosquitto_connect_callback_set(m_mosq, [](mosquitto* mosq, void* self, int rc) {
            static_cast<Publisher*>(self)->m_connack = rc == 0 ? 1 : -1;
            mosquitto_subscribe(mosq, nullptr, kDroppedTopic, 0);
        });
        mosquitto_message_callback_set(
            m_mosq, [](mosquitto*, void* self, const mosquitto_message* message) {
                const std::string text(static_cast<const char*>(message->payload),
                                       size_t(std::max(0, message->payloadlen)));
                static_cast<Publisher*>(self)->m_dropped = std::strtoull(text.c_str(), nullptr, 10);
            });
        int rc = mosquitto_connect(m_mosq, "127.0.0.1", port, 60);
        if (rc == MOSQ_ERR_SUCCESS) {
            rc = mosquitto_loop_start(m_mosq);
        }
        const double deadline = nowSeconds() + kStartSeconds;
        while (rc == MOSQ_ERR_SUCCESS && m_connack == 0 && nowSeconds() < deadline) {
            sleepFor(0.01);
        }
        if (rc != MOSQ_ERR_SUCCESS || m_connack != 1) {
            *error = std::string("publisher: ") +
                     (rc != MOSQ_ERR_SUCCESS ? mosquitto_strerror(rc) : "no CONNACK");
            return false;
        }
        return true;
    }

    //! One message to each of the tags, at once.
    void publishTo(const std::vector<int>& tags) {
        for (int tag : tags) {
            publish(tag);
        }
    }

    //! Publishes `rate` messages a second for `seconds` on its thread, round-robin from tag 0;
    //! sent() and failed() count from here.
    void startPacing(int rate, double seconds) {
        m_sent = 0;
        m_failed = 0;
        m_thread = std::thread([this, rate, seconds] {
            const uint64_t total = uint64_t(double(rate) * seconds);
            const double start = nowSeconds();
            uint64_t k = 0;
            while (k < total && !m_stop) {
                const uint64_t due =
                    std::min(total, uint64_t((nowSeconds() - start) * double(rate)) + 1);
                for (; k < due; ++k) {
                    publish(int(k % m_topics.size()));
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            m_finishedAt = nowSeconds();
            m_done = true;
        });
    }
    void stopPacing() {
        m_stop = true;
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }

    uint64_t sent() const { return m_sent; }
    uint64_t failed() const { return m_failed; }
    bool done() const { return m_done; }
    //! Messages the broker dropped, as it last told (every second): QoS 0 messages for a
    //! client too slow to take them are lost once its queue is full, not delayed.
    uint64_t brokerDropped() const { return m_dropped; }
    //! When the last message was published (the steady clock, seconds); valid once done().
    double finishedAt() const { return m_finishedAt; }

private:
    void publish(int tag) {
        const std::string payload = std::to_string(nowMicros());
        const int rc = mosquitto_publish(m_mosq, nullptr, m_topics[size_t(tag)].c_str(),
                                         int(payload.size()), payload.data(), 0, false);
        ++(rc == MOSQ_ERR_SUCCESS ? m_sent : m_failed);
    }

    std::vector<std::string> m_topics;
    mosquitto* m_mosq = nullptr;
    std::atomic<int> m_connack{0};
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_done{false};
    std::atomic<double> m_finishedAt{0.0};
    std::atomic<uint64_t> m_sent{0};
    std::atomic<uint64_t> m_failed{0};
    std::atomic<uint64_t> m_dropped{0};
};

kestro::Project benchProject(int tags, int port) {
    using kestro::ConnectionStatus;
    kestro::Project project;
    kestro::ConnectionDef broker;
    broker.name = "broker";
    broker.kind = kestro::ConnectionDef::Kind::Mqtt;
    broker.host = "127.0.0.1";
    broker.port = port;
    project.connections.push_back(broker);
    for (int t = 0; t < tags; ++t) {
        kestro::TagDef tag;
        tag.name = "t" + std::to_string(t);
        tag.type = kestro::VarType::Float;
        tag.source.connection = broker.name;
        tag.source.topic = topicOf(t);
        project.tags.push_back(tag);
    }
    for (const auto& [suffix, what] : {std::pair{".connected", ConnectionStatus::What::Connected},
                                       std::pair{".errors", ConnectionStatus::What::Errors}}) {
        kestro::TagDef status;
        status.name = broker.name + suffix;
        status.type = kestro::VarType::Int;
        status.status = {what, broker.name};
        project.tags.push_back(status);
    }
    return project;
}

//! The database as a session defines it from the project: tag i at index i.
bool defineTags(const kestro::Project& project) {
    Rtdb& rtdb = Rtdb::instance();
    rtdb.clear();
    for (size_t i = 0; i < project.tags.size(); ++i) {
        if (rtdb.define(project.tags[i].name, project.tags[i].type) != int(i)) {
            return false;
        }
    }
    return true;
}

//! The values apply() stored, read from the database's record of writes, which is then
//! forgotten, as a session forgets the writes of an event it has reported.
class StoredValues {
public:
    explicit StoredValues(int tags) : m_tags(tags) {
        // One apply may store far more than a session's event writes when the station lags.
        record().setLimit(kRecordLimit);
        take(0, 0, nullptr);
    }
    //! The values of the bench's tags stored since the last call, with each one's latency from
    //! its payload (the publication) to appliedAt. A value published after previousApply began
    //! was stored at the first apply it could reach.
    uint64_t take(int64_t previousApply, int64_t appliedAt, LatencyHistogram* latencies) {
        auto& writes = record();
        m_lost += writes.droppedSince(m_mark);
        uint64_t values = 0;
        const size_t first = m_mark > writes.dropped() ? m_mark - writes.dropped() : 0;
        for (size_t i = first; i < writes.size(); ++i) {
            const kestro::RtdbWrite& write = writes[i];
            if (write.index < m_tags && write.result == kestro::RtdbOk &&
                write.setter == kestro::VarType::Float) {
                ++values;
                if (latencies) {
                    const auto published = int64_t(write.floatValue);
                    latencies->add(appliedAt - published);
                    m_firstChance += published >= previousApply;
                }
            }
        }
        m_mark = writes.total();
        writes.forgetBefore(m_mark);
        return values;
    }
    //! Values stored by the first apply that began after their publication.
    uint64_t firstChance() const { return m_firstChance; }
    //! Writes the record dropped before they were read: their latencies are missing.
    uint64_t lost() const { return m_lost; }

private:
    static constexpr size_t kRecordLimit = 1000000;
    static kestro::RecordList<kestro::RtdbWrite>& record() {
        return Rtdb::instance().writeRecord();
    }
    const int m_tags;
    size_t m_mark = 0;
    uint64_t m_lost = 0;
    uint64_t m_firstChance = 0;
};

//! Until every tag has had a value, which proves each subscription is in place before the run:
//! each round publishes to the tags still without one, then applies until nothing more comes.
bool warmUp(kestro::live::LiveData& live, Publisher& publisher, StoredValues& stored,
            const MqttOptions& o) {
    const double deadline = nowSeconds() + kWarmUpSeconds;
    const Rtdb& rtdb = Rtdb::instance();
    while (nowSeconds() < deadline && !interrupted) {
        std::vector<int> missing;
        for (int t = 0; t < o.tags; ++t) {
            const kestro::Variable* v = rtdb.variable(t);
            if (!v->hasValue || v->bad) {
                missing.push_back(t);
            }
        }
        if (missing.empty()) {
            return true;
        }
        publisher.publishTo(missing);
        for (int quiet = 0; quiet < 2 && nowSeconds() < deadline && !interrupted;) {
            sleepFor(o.period);
            live.apply();
            const bool nothing = stored.take(0, 0, nullptr) == 0 && live.inbox().pending() == 0;
            quiet = nothing ? quiet + 1 : 0;
        }
    }
    return false;
}

//! What the run saw at each apply while the publisher was sending, and over the whole run.
struct Run {
    LatencyHistogram latencies;
    std::vector<double> pending;  //!< the inbox's events waiting when apply() began
    std::vector<double> inFlight; //!< published and not yet stored, after apply()
    double applySum = 0.0;
    double applyMax = 0.0;
    uint64_t applies = 0;
    uint64_t received = 0;
    uint64_t receivedPublishing = 0; //!< stored while the publisher was sending
    double publishing = 0.0;         //!< seconds until the last publication
    double drain = 0.0;              //!< seconds from the last publication to the last value stored
};

std::string countText(double n) {
    return format("%.0f", n);
}

//! What the broker's side showed.
struct BrokerFigures {
    double startMb = 0.0;
    double endMb = 0.0;
    uint64_t dropped = 0;
};

void printTable(const MqttOptions& o, const Run& run, const Publisher& publisher,
                const StoredValues& stored, const MemoryTrack& memory, const BrokerFigures& broker,
                bool* met) {
    const double sent = double(publisher.sent());
    const double perPeriod = double(o.rate) * o.period;
    Table table(format("MQTT: %d float tags, %d messages/s for %.0f s, applied every %.2f s",
                       o.tags, o.rate, o.seconds, o.period));
    table.row("messages published",
              countText(sent) +
                  (publisher.failed()
                       ? format(" (%llu refused)", (unsigned long long)publisher.failed())
                       : std::string()) +
                  format(" in %.1f s", run.publishing));
    table.row("messages stored by apply()",
              format("%.0f (%.2f %%)", double(run.received),
                     sent > 0 ? 100.0 * double(run.received) / sent : 0.0),
              format("all, within %.0f s of the last", kDrainSeconds),
              run.received == publisher.sent() && publisher.failed() == 0 && sent > 0);
    table.row("values stored per second while publishing",
              countText(run.publishing > 0 ? double(run.receivedPublishing) / run.publishing : 0));
    table.row("last value stored after the last publication",
              format("%.2f s", run.drain) + (run.received < publisher.sent()
                                                 ? ", still storing when the bench stopped"
                                                 : ""));
    const double p99 = run.latencies.percentile(0.99);
    table.row("latency p50, ms", millis(run.latencies.percentile(0.50)));
    // A value waits up to one period for the refresh that stores it, whatever the network does:
    // the target is that the broker and the connection add at most a tenth of a period to that.
    const double allowed = o.period * 1.1;
    table.row("latency p99, ms", millis(p99),
              format("<= %.0f (a refresh period, plus a tenth for the network)", allowed * 1e3),
              run.latencies.count() > 0 && p99 <= allowed * 1e6 && stored.lost() == 0);
    table.row("latency max, ms", millis(double(run.latencies.max())));
    table.row("stored by the first apply after their publication",
              format("%.2f %%", run.received
                                    ? 100.0 * double(stored.firstChance()) / double(run.received)
                                    : 0.0));
    if (stored.lost()) {
        table.row("latencies lost (the write record overflowed)", countText(double(stored.lost())));
    }
    const auto growth = [&](const char* what, const std::vector<double>& series) {
        const double most = series.empty() ? 0.0 : *std::max_element(series.begin(), series.end());
        const Quarters q = quarterMeans(series);
        table.row(format("%s: max", what), countText(most));
        table.row(format("%s: mean, first quarter -> last quarter", what),
                  format("%.0f -> %.0f", q.first, q.last),
                  format("no growth (<= +%.0f, half a period's messages)", perPeriod / 2),
                  q.last - q.first <= perPeriod / 2);
    };
    growth("inbox pending at apply", run.pending);
    growth("published, not yet stored, after apply", run.inFlight);
    table.row("apply(): mean / max, ms",
              format("%s / %s",
                     millis(run.applies ? run.applySum / double(run.applies) * 1e6 : 0).c_str(),
                     millis(run.applyMax * 1e6).c_str()));
    table.row("resident memory, MiB (at s)", memory.samples());
    table.row(format("resident memory from %.0f s to the end", memory.warmAt()),
              format("%+.2f MiB", memory.end() - memory.warm()),
              format("< %.0f MiB", memory.margin()), memory.flat());
    table.row("the broker's resident memory, MiB",
              format("%.1f -> %.1f", broker.startMb, broker.endMb));
    table.row("messages the broker dropped (its $SYS count)", countText(double(broker.dropped)));
    table.print();
    *met = table.allMet();
}

} // namespace

Outcome runMqttBench(const MqttOptions& o) {
    const auto fail = [](const std::string& why) {
        std::fprintf(stderr, "kvlivebench: MQTT: %s\n", interrupted ? "interrupted" : why.c_str());
        return Outcome::Failed;
    };
    ScratchDir dir;
    Broker broker;
    std::string error;
    if (!dir.ok()) {
        return fail("no scratch folder");
    }
    if (!broker.start(dir, o.mosquitto, &error)) {
        return fail(error);
    }
    const kestro::Project project = benchProject(o.tags, broker.port());
    if (!defineTags(project)) {
        return fail("cannot define the tags");
    }
    kestro::live::LiveData live(project, kestro::live::makeConnection);
    StoredValues stored(o.tags);
    live.start();
    const double connectBy = nowSeconds() + kStartSeconds;
    while (!live.connected(0) && nowSeconds() < connectBy && !interrupted) {
        live.apply();
        sleepFor(0.01);
    }
    if (!live.connected(0)) {
        return fail("the station did not connect to the broker");
    }
    Publisher publisher(o.tags);
    if (!publisher.connect(broker.port(), &error)) {
        return fail(error);
    }
    if (!warmUp(live, publisher, stored, o)) {
        return fail(format("not every tag had its first value within %.0f s", kWarmUpSeconds));
    }

    Run run;
    const size_t applies = size_t((o.seconds + kDrainSeconds) / o.period) + 16;
    run.pending.reserve(applies);
    run.inFlight.reserve(applies);
    MemoryTrack memory(kMemorySampleSeconds, std::min(kMemorySampleSeconds, o.seconds / 2),
                       kMemoryMarginMb);
    const double brokerStart = residentMb(broker.pid());
    const double start = nowSeconds();
    memory.poll(0.0);
    publisher.startPacing(o.rate, o.seconds);
    double next = start + o.period;
    double lastStored = 0.0;
    auto previousApply = int64_t(start * 1e6);
    for (;;) {
        sleepFor(next - nowSeconds());
        for (const double now = nowSeconds(); next <= now;) {
            next += o.period; // a late wake-up skips the ticks it missed, as a refresh does
        }
        const double waiting = double(live.inbox().pending());
        const double before = nowSeconds();
        live.apply();
        const int64_t appliedAt = nowMicros();
        const double applied = double(appliedAt) / 1e6;
        const uint64_t values = stored.take(previousApply, appliedAt, &run.latencies);
        previousApply = int64_t(before * 1e6);
        run.received += values;
        run.applySum += applied - before;
        run.applyMax = std::max(run.applyMax, applied - before);
        ++run.applies;
        const double t = applied - start;
        lastStored = values ? t : lastStored;
        const bool publishing = !publisher.done();
        run.receivedPublishing += publishing ? values : 0;
        if (publishing && run.pending.size() < run.pending.capacity()) {
            run.pending.push_back(waiting);
            run.inFlight.push_back(std::max(0.0, double(publisher.sent()) - double(run.received)));
        }
        memory.poll(t);
        run.publishing = publishing ? t : publisher.finishedAt() - start;
        if (interrupted || (!publishing && (run.received >= publisher.sent() ||
                                            t - run.publishing > kDrainSeconds))) {
            memory.finish(t);
            break;
        }
    }
    run.drain = std::max(0.0, lastStored - run.publishing);
    publisher.stopPacing();
    const double brokerEnd = residentMb(broker.pid());
    live.stop();
    if (run.received < publisher.sent()) {
        sleepFor(1.2); // the broker's next count of dropped messages
    }
    const uint64_t dropped = publisher.brokerDropped();
    broker.stop();

    bool met = false;
    printTable(o, run, publisher, stored, memory, {brokerStart, brokerEnd, dropped}, &met);
    return met ? Outcome::Met : Outcome::Missed;
}

} // namespace kvlive
