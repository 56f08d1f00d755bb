// Applying the events of an event script (eventscript.h) to a session: the one dispatch of
// every command that drives a session from events.
#pragma once

#include "runtime/session/eventscript.h"

#include <string>
#include <vector>

namespace kestro {

class Session;

//! An operator's action the objects did not take, and why.
struct RejectedAction {
    int object = -1;  //!< index in the current window's list; -1 when no object took it
    std::string name; //!< object name, "" when none
    std::string reason;
};

//! What one event did.
struct EventOutcome {
    //! False when the event could not be done: a click or sync on a name that is not in the
    //! current window, a value the tag cannot take, an unknown tag or window. error says why.
    bool done = true;
    std::string error;
    //! click-at: the index of the object hit, -1 when nothing was; -1 for the other events.
    int hit = -1;
    //! Operator actions of a done event that came to nothing: a click on nothing that takes
    //! clicks, a keyboard cancelled, an entry that is not a number or out of its range.
    //! (Clicks on a read-only or disconnected tag will be reported here too.)
    std::vector<RejectedAction> rejected;
};

//! Applies one event to the session, as its line in the script says.
EventOutcome dispatchEvent(Session& session, const ScriptEvent& event);

} // namespace kestro
