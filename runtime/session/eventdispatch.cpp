// The dispatch of script events to a session.
#include "runtime/session/eventdispatch.h"

#include "runtime/host/rtdb.h"
#include "runtime/session/session.h"

#include <QByteArray>
#include <QList>

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

// The module's numeric keyboard; its third text is the range "low,high".
constexpr int kNumericKeyboard = 1;

//! Why an answered keyboard wrote nothing, or "" when nothing says it was refused (an unchanged
//! value is not a refusal).
std::string refusedEntry(const KeyboardCall& call) {
    if (call.kind != kNumericKeyboard) {
        return std::string();
    }
    bool ok = false;
    const double value = QByteArray::fromStdString(call.answer).trimmed().toDouble(&ok);
    if (!ok) {
        return "\"" + call.answer + "\" is not a number";
    }
    const QList<QByteArray> limits = QByteArray::fromStdString(call.text3).split(',');
    if (limits.size() != 2) {
        return std::string();
    }
    bool lowOk = false, highOk = false;
    const double low = limits[0].toDouble(&lowOk);
    const double high = limits[1].toDouble(&highOk);
    if (lowOk && highOk && low != high && (value < low || value > high)) {
        return "\"" + call.answer + "\" is out of the range " + limits[0].toStdString() + " to " +
               limits[1].toStdString();
    }
    return std::string();
}

//! The keyboards of an operation that came to nothing: not opened, or answered with an entry
//! the object refused, when the operation wrote no tag; and the writes of live tags that did
//! not reach their source.
void collectRejected(const HostCalls& calls, const ObjectRef& object,
                     std::vector<RejectedAction>* rejected) {
    for (const RtdbWrite& write : calls.writes) {
        if (write.result == RtdbRefused) {
            const Variable* tag = Rtdb::instance().variable(write.index);
            rejected->push_back({object.index, object.name,
                                 (tag ? tag->name + ": " : std::string()) + write.refusal});
        }
    }
    for (const KeyboardCall& call : calls.keyboards) {
        std::string reason;
        if (!call.opened || call.cancelled) {
            reason = "keyboard cancelled";
        } else if (calls.writes.empty()) {
            reason = refusedEntry(call);
        }
        if (!reason.empty()) {
            rejected->push_back({object.index, object.name, std::move(reason)});
        }
    }
}

ObjectRef namedObject(const Session& session, const std::string& name) {
    ObjectRef ref;
    ref.index = session.indexOf(name);
    ref.name = name;
    return ref;
}

ObjectRef indexedObject(const Session& session, int index) {
    ObjectRef ref;
    ref.index = index;
    for (const ObjectState& state : session.objectStates()) {
        if (state.index == index) {
            ref.name = state.name;
        }
    }
    return ref;
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
    case ScriptEvent::Kind::Click: {
        // Named before the click, which may switch windows.
        const ObjectRef object = namedObject(session, event.name);
        const CallMark mark = session.mark();
        if (!session.click(event.name)) {
            return noObject(session, event.name);
        }
        collectRejected(session.callsSince(mark), object, &outcome.rejected);
        break;
    }
    case ScriptEvent::Kind::ClickAt: {
        session.start();
        const int window = session.currentWindow();
        const int index = session.hitTest(event.x, event.y);
        const ObjectRef object = indexedObject(session, index);
        const CallMark mark = session.mark();
        outcome.hit = session.clickAt(event.x, event.y);
        if (outcome.hit < 0) {
            outcome.rejected.push_back({-1, std::string(),
                                        "nothing that takes clicks at (" + std::to_string(event.x) +
                                            ", " + std::to_string(event.y) + ") in window " +
                                            std::to_string(window)});
        }
        collectRejected(session.callsSince(mark), object, &outcome.rejected);
        break;
    }
    case ScriptEvent::Kind::Sync: {
        const ObjectRef object = namedObject(session, event.name);
        const CallMark mark = session.mark();
        if (!session.sync(event.name, event.text)) {
            return noObject(session, event.name);
        }
        collectRejected(session.callsSince(mark), object, &outcome.rejected);
        break;
    }
    case ScriptEvent::Kind::Set: {
        const CallMark mark = session.mark();
        if (!session.setTag(event.name, event.text, &outcome.error)) {
            return failed(outcome.error);
        }
        collectRejected(session.callsSince(mark), ObjectRef(), &outcome.rejected);
        break;
    }
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
