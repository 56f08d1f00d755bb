// Live data on the command line: --connect and --live, and the link between a session and the
// project's connections that every live command shares.
#pragma once

#include "runtime/live/livedata.h"
#include "runtime/session/session.h"
#include "tools/kestro/commands.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kestro::cli {

class Arguments;
struct Player;

//! --connect NAME=HOST:PORT (repeatable), of every player command.
OptionDef connectOption();
//! --live, of the commands that otherwise run on the simulations only.
OptionDef liveOption();

//! From now on SIGINT and SIGTERM ask the commands that run until stopped (monitor, simulate)
//! to finish their work and exit, instead of killing them.
void stopOnSignals();
bool stopRequested();

//! Applies every --connect to the project; false after printing why.
bool applyConnectOptions(const CommandDef& command, const Arguments& args, Project* project);

//! The project with its TLS files found from the project file's directory (the current one for
//! the demo, which has no file).
Project withTlsPaths(Project project, const std::string& projectFile);

//! A change of state in words: "broker: connection lost (…)", "Level: bad value (…)".
std::string describe(const live::LiveNote& note, const Project& project);

//! A session's live data while it lives: the live tags no longer simulated (the plant gives
//! their values), the connections started (TLS files found next to the project file), their
//! values taken before every instant of the session's clock, the changes of state handed to
//! `notes`.
class LiveLink {
public:
    using NoteSink = std::function<void(const live::LiveNote&)>;
    LiveLink(Session& session, Project project, const std::string& projectFile,
             NoteSink notes = {});
    ~LiveLink();
    LiveLink(const LiveLink&) = delete;
    LiveLink& operator=(const LiveLink&) = delete;

    //! Waits, applying what comes, until every connection is up and every live tag has a value
    //! or `seconds` have passed; true when all came.
    bool waitForValues(double seconds);
    live::LiveData& data() { return m_live; }

    //! For the commands that run once (render, trace, run): a started link when the player is
    //! live and the project has connections, after waiting 3 s at most for the first values;
    //! its failures printed as warnings. Null otherwise.
    static std::unique_ptr<LiveLink> forCommand(const std::string& command, const Player& player,
                                                Session& session);

private:
    void apply();

    Session& m_session;
    live::LiveData m_live;
    NoteSink m_notes;
};

} // namespace kestro::cli
