// JSON forms of what a session shows: object states, host calls, load problems, paint traces
// and the lines of a session driven by events. `kestro run` and `kestro trace` print them;
// docs/kestro.md describes the fields.
#pragma once

#include "runtime/session/eventdispatch.h"
#include "runtime/session/session.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <map>
#include <string>
#include <utility>

namespace kestro {

//! "#rrggbb" of a 0x00RRGGBB colour.
QString colorName(uint32_t rgb);

//! previous: the state of the same object at the last report, for "changed"; null: not known.
QJsonObject toJson(const ObjectState& state, const ObjectState* previous = nullptr);
QJsonObject toJson(const LoadProblem& problem);
QJsonObject toJson(const SessionFault& fault);
//! A change of an expression's state: `reason` only while it fails.
QJsonObject toJson(const ExpressionChange& change);
//! The same for people: `animation 2 (textColor) "a / b": division by zero in '/'`, or
//! `... runs again`.
std::string describe(const ExpressionChange& change);
//! The session names the objects of the operation log.
QJsonObject toJson(const HostCalls& calls, const Session& session);
QJsonObject toJson(const Session::Trace& trace);

//! The lines of a session driven by events: each the session's state (time, window, stack,
//! stop, every object of the current window) and the host calls since a mark. An object's
//! "changed" compares it with its state at the previous line.
class EventReporter {
public:
    explicit EventReporter(const Session& session) : m_session(session) {}

    //! Step 0: the session after loading and its first refresh, with where the project came
    //! from and what did not load.
    QJsonObject loadLine(const CallMark& mark, const std::string& source);
    //! The line of one event; step counts the events from 1.
    QJsonObject eventLine(int step, const ScriptEvent& event, const EventOutcome& outcome,
                          const CallMark& mark);

private:
    QJsonObject stateLine(const CallMark& mark);

    const Session& m_session;
    std::map<std::pair<int, int>, ObjectState> m_last; //!< by window and index
};

} // namespace kestro
