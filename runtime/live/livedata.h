// The live data of a running project: its connections, the values they bring, the status tags
// and the operators' writes. Everything here runs on the session's thread; only the connections
// work on their own, and they talk to it through the inbox.
//
//   start()   marks every live tag routed in the database (its writes come here) and bad until
//             its source gives a value, starts the connections; the status tags read 0
//   apply()   between refreshes: the values that came in are stored (a tag that was bad is good
//             again), connections going up or down set NAME.connected, failures count in
//             NAME.errors; a connection going down leaves its tags' last values, marked bad
//   writes    a setter on a live tag (click, value input, strategy, tag panel) comes to
//             routeWrite(): it is handed to the connection, or refused with the reason; the tag
//             keeps showing the source's value until the source sends a new one
//
// Reports go to the host's monitor and logger, one per change of state: a connection lost, a tag
// gone bad, a write refused or failed. What returns to normal is logged as information.
#pragma once

#include "runtime/host/rtdb.h"
#include "runtime/live/live.h"
#include "runtime/project/project.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kestro::live {

//! The monitor's module number of live data reports, and their codes.
constexpr int kLiveModule = 20;
enum LiveCode : int {
    kConnectionLost = 1,
    kTagBad = 2,
    kWriteRefused = 3, //!< not sent: disconnected, read-only, a value the source cannot hold
    kWriteFailed = 4,  //!< sent, and refused by the peer
};

//! A change of state that apply() saw; the tags' values themselves are in the database.
struct LiveNote {
    enum class Kind { Connected, Disconnected, TagBad, TagGood, WriteFailed };
    Kind kind = Kind::Connected;
    std::string connection;
    int tag = -1;       //!< TagBad, TagGood, WriteFailed
    std::string reason; //!< Disconnected, TagBad, WriteFailed
};

//! A write that did not reach the source.
struct RefusedWrite {
    int tag = -1;
    std::string name; //!< the tag's
    std::string reason;
};

using ConnectionFactory = std::function<std::unique_ptr<Connection>(
    const ConnectionDef& def, int index, std::vector<ServedTag> tags, Inbox& inbox)>;

//! The connections of the project as the kinds ask: MQTT and Modbus TCP.
std::unique_ptr<Connection> makeConnection(const ConnectionDef& def, int index,
                                           std::vector<ServedTag> tags, Inbox& inbox);

class LiveData : public RtdbRoute {
public:
    //! Builds the project's connections (no I/O yet); keeps its own copy of the project.
    LiveData(Project project, const ConnectionFactory& factory);
    ~LiveData() override;
    LiveData(const LiveData&) = delete;
    LiveData& operator=(const LiveData&) = delete;

    bool empty() const { return m_links.empty(); }
    void start();
    //! Stops the connections and gives the tags' writes back to the database.
    void stop();

    //! Applies what came in since the last call; the changes of state, in order.
    std::vector<LiveNote> apply();
    //! The writes refused since the last call (by routeWrite or, later, by a peer).
    std::vector<RefusedWrite> takeRefused();

    int routeWrite(int index, const Variable& value, std::string* reason) override;

    //! For the session and tests: events waiting, a connection's state.
    Inbox& inbox() { return m_inbox; }
    const Project& project() const { return m_project; }
    bool connected(int connection) const;

private:
    struct Link {
        const ConnectionDef* def = nullptr;
        std::unique_ptr<Connection> connection;
        int connectedTag = -1;
        int errorsTag = -1;
        bool up = false;
        int errors = 0;
        std::vector<int> tags;
    };

    void store(const LiveEvent& event, std::vector<LiveNote>& notes);
    void markBad(int tag, const std::string& reason, std::vector<LiveNote>& notes);
    void linkState(Link& link, const LiveEvent& event, std::vector<LiveNote>& notes);
    void refuse(int tag, const std::string& reason, int code);

    const Project m_project;
    Inbox m_inbox;
    std::vector<Link> m_links;
    std::vector<int> m_linkOfTag; //!< per tag of the project: its link, or -1
    std::vector<bool> m_badReported; //!< per tag: its going bad was reported, not its return
    std::vector<RefusedWrite> m_refused;
    bool m_started = false;
};

} // namespace kestro::live
