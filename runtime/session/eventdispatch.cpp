// The dispatch of script events to a session.
#include "runtime/session/eventdispatch.h"

#include "runtime/session/session.h"

#include <utility>

namespace kestro {

namespace {

EventOutcome failed(std::string error) {
    EventOutcome outcome;
    outcome.done = false;
    outcome.error = std::move(error);
    return outcome;
}

EventOutcome noObject(const Session& session, const std::string& name) {
    return failed("no object \"" + name + "\" in window " +
                  std::to_string(session.currentWindow()));
}

} // namespace

EventOutcome dispatchEvent(Session& session, const ScriptEvent& event) {
    EventOutcome outcome;
    switch (event.kind) {
    case ScriptEvent::Kind::Advance:
        session.advance(event.seconds);
        break;
    case ScriptEvent::Kind::Refresh:
        session.refresh();
        break;
    case ScriptEvent::Kind::Blink:
        session.blinkTick(event.number);
        break;
    case ScriptEvent::Kind::Trigger:
        session.trigger(event.number);
        break;
    case ScriptEvent::Kind::Click:
        if (!session.click(event.name)) {
            return noObject(session, event.name);
        }
        break;
    case ScriptEvent::Kind::ClickAt:
        outcome.hit = session.clickAt(event.x, event.y);
        break;
    case ScriptEvent::Kind::Sync:
        if (!session.sync(event.name, event.text)) {
            return noObject(session, event.name);
        }
        break;
    case ScriptEvent::Kind::Set:
        if (!session.setTag(event.name, event.text, &outcome.error)) {
            return failed(outcome.error);
        }
        break;
    case ScriptEvent::Kind::Key:
        session.queueKeyboardAnswer(event.text, true);
        break;
    case ScriptEvent::Kind::KeyCancel:
        session.queueKeyboardAnswer(std::string(), false);
        break;
    case ScriptEvent::Kind::Window:
        if (!session.showWindow(event.number)) {
            return failed("no window " + std::to_string(event.number) + " in the project");
        }
        break;
    }
    return outcome;
}

} // namespace kestro
