#include "runtime/session/expressionwatch.h"

#include "runtime/session/drawobjaccess.h"
#include "runtime/session/sessionwindow.h"
#include "runtime/stream/writer.h"

namespace kestro {

ExpressionWatch::~ExpressionWatch() {
    if (ScriptService::instance().watcher() == this) {
        ScriptService::instance().setWatcher(nullptr);
    }
}

void ExpressionWatch::enter(const LoadedWindow* window, const LoadedObject* object) {
    m_window = window;
    m_object = object;
}

void ExpressionWatch::ran(const unsigned char* program, const std::string* failure) {
    if (m_object == nullptr || (failure == nullptr && m_failing.empty())) {
        return;
    }
    const auto found = m_failing.find(program);
    if (failure == nullptr) {
        if (found != m_failing.end()) {
            m_failing.erase(found);
            setWantsSuccesses(!m_failing.empty());
            record(program, nullptr);
        }
        return;
    }
    if (found != m_failing.end() && found->second == *failure) {
        return;
    }
    m_failing[program] = *failure;
    setWantsSuccesses(true);
    record(program, failure);
}

void ExpressionWatch::record(const unsigned char* program, const std::string* failure) {
    static const char* const kSlots[] = {"expression", "upper", "lower"};
    const ProgramPlace place = findProgram(m_object->object, program);
    ExpressionChange change;
    change.window = m_window->number;
    change.index = m_object->index;
    change.name = objectName(*m_object);
    change.animation = place.animation;
    change.kind = animationKindName(place.type);
    change.program = kSlots[place.slot];
    change.source = m_object->programSource(place.animation, place.slot);
    change.failing = failure != nullptr;
    if (failure) {
        change.reason = *failure;
    }
    m_changes.push_back(std::move(change));
}

} // namespace kestro
