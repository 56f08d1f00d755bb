// ctest-link: kestrolive
// Live data applied to the database between refreshes, its status tags, its reports, and the
// operators' writes routed to the sources, with a scripted connection in place of the network.
#include "runtime/host/logger.h"
#include "runtime/live/livedata.h"

#include <gtest/gtest.h>

using namespace kestro;
using namespace kestro::live;

namespace {

enum { kLevel, kMode, kLabel, kBrokerUp, kBrokerErrors, kPlcUp, kPlcErrors };
enum { kBroker, kPlc };

//! Accepts writes while `up`, keeping them; otherwise refuses them with its name.
struct ScriptedConnection : Connection {
    std::string name;
    bool up = false;
    bool started = false;
    std::vector<std::pair<int, WriteValue>> written;
    void start() override { started = true; }
    void stop() override { started = false; }
    bool write(int tag, const WriteValue& value, std::string* reason) override {
        if (!up) {
            *reason = name + ": not connected";
            return false;
        }
        written.push_back({tag, value});
        return true;
    }
};

TagDef tag(const char* name, VarType type, const char* connection) {
    TagDef def;
    def.name = name;
    def.type = type;
    def.source.connection = connection;
    return def;
}

TagDef status(const char* name, ConnectionStatus::What what, const char* connection) {
    TagDef def = tag(name, VarType::Int, "");
    def.status = {what, connection};
    return def;
}

class Live : public ::testing::Test {
public:
    void SetUp() override {
        using What = ConnectionStatus::What;
        project.connections.resize(2);
        project.connections[kBroker].name = "broker";
        project.connections[kPlc].name = "plc1";
        project.connections[kPlc].kind = ConnectionDef::Kind::ModbusTcp;
        project.tags = {tag("Level", VarType::Float, "broker"),
                        tag("Mode", VarType::Int, "plc1"),
                        tag("Label", VarType::String, "broker"),
                        status("broker.connected", What::Connected, "broker"),
                        status("broker.errors", What::Errors, "broker"),
                        status("plc1.connected", What::Connected, "plc1"),
                        status("plc1.errors", What::Errors, "plc1")};
        Rtdb::instance().clear();
        HostLog::instance().clear();
        for (const TagDef& def : project.tags) {
            Rtdb::instance().define(def.name, def.type);
        }
        live = std::make_unique<LiveData>(project, [this](const ConnectionDef& def, int index,
                                                          std::vector<ServedTag> served, Inbox&) {
            auto connection = std::make_unique<ScriptedConnection>();
            connection->name = def.name;
            served_[index] = served.size();
            connections[index] = connection.get();
            return connection;
        });
        live->start();
    }
    void TearDown() override { live.reset(); }

    void post(LiveEvent::Kind kind, int connection, int tag = -1, double number = 0,
              const char* text = nullptr, const char* reason = "") {
        LiveEvent event;
        event.kind = kind;
        event.connection = connection;
        event.tag = tag;
        event.number = number;
        event.isText = text != nullptr;
        event.text = text ? text : "";
        event.reason = reason;
        live->inbox().post(event);
    }
    static std::string text(int index) {
        std::string value;
        return Rtdb::instance().getString(index, &value) == RtdbOk ? value : "-";
    }
    static std::string state() {
        std::string bad;
        for (int tag : {kLevel, kMode, kLabel}) {
            if (Rtdb::instance().variable(tag)->bad) {
                bad += (bad.empty() ? "" : ",") + Rtdb::instance().variable(tag)->name;
            }
        }
        return text(kLevel) + " " + text(kMode) + " " + text(kLabel) + " bad:" + bad +
               " broker:" + text(kBrokerUp) + "/" + text(kBrokerErrors) + " plc1:" + text(kPlcUp) +
               "/" + text(kPlcErrors);
    }
    static std::vector<int> monitorCodes() {
        std::vector<int> codes;
        for (const MonitorRecord& record : HostLog::instance().monitor()) {
            codes.push_back(record.module * 100 + record.code);
        }
        return codes;
    }

    Project project;
    std::unique_ptr<LiveData> live;
    ScriptedConnection* connections[2] = {nullptr, nullptr};
    size_t served_[2] = {0, 0};
};

TEST_F(Live, EventsReachTheTagsStatusAndReportsOncePerChange) {
    using K = LiveEvent::Kind;
    using N = LiveNote::Kind;
    EXPECT_EQ(served_[kBroker], 2u);
    EXPECT_EQ(served_[kPlc], 1u);
    EXPECT_TRUE(connections[kBroker]->started);
    // state(): the three tags' values ("-": none), the bad ones, then for broker and plc1
    // their .connected and .errors.
    // clang-format off
    const struct {
        std::function<void(Live&)> post;
        std::vector<N> notes;
        const char* state;
        std::vector<int> monitor; // every record so far, module * 100 + code
    } steps[] = {
        {[](Live& t) { t.post(K::Error, kBroker, -1, 0, nullptr, "refused"); },
         {}, "- - - bad:Level,Mode,Label broker:0/1 plc1:0/0", {}}, // bad until a first value
        {[](Live& t) {
             t.post(K::Connected, kBroker);
             t.post(K::Value, kBroker, kLevel, 12.5);
             t.post(K::Value, kBroker, kLabel, 0, "ok");
             t.post(K::Value, kBroker, kMode, 9); // not the broker's tag: ignored
             t.post(K::Connected, kPlc);
             t.post(K::Value, kPlc, kMode, 2.6); // rounded into the int tag
         },
         {N::Connected, N::Connected}, "12.5 3 ok bad: broker:1/1 plc1:1/0", {}},
        {[](Live& t) {
             t.post(K::Value, kBroker, kLevel, 0, "abc"); // a text that is no number
             t.post(K::Bad, kBroker, kLevel, 0, nullptr, "invalid JSON at offset 0");
             t.post(K::Value, kBroker, kLabel, 7); // a number into a text tag
         },
         {N::TagBad}, "12.5 3 7 bad:Level broker:1/1 plc1:1/0", {2002}},
        {[](Live& t) {
             t.post(K::Disconnected, kPlc, -1, 0, nullptr, "connection refused");
             t.post(K::Disconnected, kPlc, -1, 0, nullptr, "connection refused");
             t.post(K::Error, kPlc);
             t.post(K::Value, kBroker, kLevel, 13);
         },
         {N::Disconnected, N::TagGood}, "13 3 7 bad:Mode broker:1/1 plc1:0/1", {2002, 2001}},
    };
    // clang-format on
    for (size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE(i);
        const auto& s = steps[i];
        s.post(*this);
        std::vector<N> notes;
        for (const LiveNote& note : live->apply()) {
            notes.push_back(note.kind);
        }
        EXPECT_EQ(notes, s.notes);
        EXPECT_EQ(state(), s.state);
        EXPECT_EQ(monitorCodes(), s.monitor);
    }
}

TEST_F(Live, WritesGoToTheSourceOrAreRefusedAndReported) {
    Rtdb& rtdb = Rtdb::instance();
    connections[kBroker]->up = true;
    const struct {
        std::function<int()> write;
        int result;
        const char* refused; // "name: reason", "" for none
    } rows[] = {
        {[&] { return rtdb.setFloat(kLevel, 40.5); }, RtdbOk, ""},
        {[&] { return rtdb.setString(kLabel, "go"); }, RtdbOk, ""},
        {[&] { return rtdb.setFloat(kMode, 1.5); }, RtdbWrongType, ""}, // checked before routing
        {[&] { return rtdb.setInt(kMode, 1); }, RtdbRefused, "Mode: plc1: not connected"},
        {[&] { return rtdb.setInt(kBrokerUp, 0); }, RtdbRefused,
         "broker.connected: set by its connection only"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.write(), row.result) << row.refused;
        std::string refused;
        for (const RefusedWrite& write : live->takeRefused()) {
            refused += write.name + ": " + write.reason;
        }
        EXPECT_EQ(refused, row.refused);
        // The database's own record of the write carries the same reason.
        const RtdbWrite& write = rtdb.writes().back();
        EXPECT_EQ(write.refusal.empty() ? ""
                                        : project.tags[write.index].name + ": " + write.refusal,
                  row.refused);
    }
    // The wishes went out; the tags still show only what the sources sent (nothing yet).
    ASSERT_EQ(connections[kBroker]->written.size(), 2u);
    EXPECT_EQ(connections[kBroker]->written[0].second.number, 40.5);
    EXPECT_EQ(connections[kBroker]->written[1].second.text, "go");
    EXPECT_EQ(text(kLevel), "-");
    EXPECT_EQ(monitorCodes(), (std::vector<int>{2003, 2003}));

    // A peer's refusal later is reported too; once stopped, the tags take writes again.
    post(LiveEvent::Kind::WriteFailed, kBroker, kLevel, 0, nullptr, "exception 2");
    live->apply();
    EXPECT_EQ(live->takeRefused().at(0).reason, "exception 2");
    live->stop();
    EXPECT_EQ(rtdb.setFloat(kLevel, 1.0), RtdbOk);
    EXPECT_EQ(text(kLevel), "1");
}

} // namespace
