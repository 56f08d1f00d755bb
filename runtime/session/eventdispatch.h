// Applying the events of an event script (eventscript.h) to a session: the one dispatch of
// every command that drives a session from events.
#pragma once

#include "runtime/session/eventscript.h"

#include <string>

namespace kestro {

class Session;

//! What one event did.
struct EventOutcome {
    //! False when the event could not be done: a click or sync on a name that is not in the
    //! current window, a value the tag cannot take, an unknown tag or window. error says why.
    bool done = true;
    std::string error;
    //! click-at: the index of the object hit, -1 when nothing was; -1 for the other events.
    int hit = -1;
};

//! Applies one event to the session, as its line in the script says.
EventOutcome dispatchEvent(Session& session, const ScriptEvent& event);

} // namespace kestro
