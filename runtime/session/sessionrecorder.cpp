// The records of a session's host calls.
#include "runtime/session/sessionrecorder.h"

#include <algorithm>

namespace kestro {

CallMark CallRecorder::mark() const {
    const Gui& gui = Gui::instance();
    CallMark mark;
    mark.opened = gui.openedWindows().size();
    mark.closed = gui.closedWindows().size();
    mark.captures = gui.captures().size();
    mark.stops = gui.stops().size();
    mark.operationLog = gui.operationLog().size();
    mark.keyboards = gui.keyboardCalls().size();
    mark.strategies = Strategies::instance().runs().size();
    mark.writes = Rtdb::instance().writes().size();
    mark.monitor = HostLog::instance().monitor().size();
    mark.logs = HostLog::instance().logs().size();
    mark.faults = m_faults.size();
    return mark;
}

HostCalls CallRecorder::callsSince(const CallMark& mark) const {
    const Gui& gui = Gui::instance();
    HostCalls calls;
    calls.opened = recordsFrom(gui.openedWindows(), mark.opened);
    calls.closed = recordsFrom(gui.closedWindows(), mark.closed);
    calls.captures = recordsFrom(gui.captures(), mark.captures);
    calls.captureFiles = recordsFrom(m_captureFiles, mark.captures);
    calls.stops = recordsFrom(gui.stops(), mark.stops);
    calls.operationLog = recordsFrom(gui.operationLog(), mark.operationLog);
    calls.keyboards = recordsFrom(gui.keyboardCalls(), mark.keyboards);
    calls.strategies = recordsFrom(Strategies::instance().runs(), mark.strategies);
    const auto& writes = Rtdb::instance().writes();
    for (size_t i = mark.writes; i < writes.size(); ++i) {
        if (!isSimulationWrite(i)) {
            calls.writes.push_back(writes[i]);
        }
    }
    calls.monitor = recordsFrom(HostLog::instance().monitor(), mark.monitor);
    calls.logs = recordsFrom(HostLog::instance().logs(), mark.logs);
    calls.faults = recordsFrom(m_faults, mark.faults);
    return calls;
}

void CallRecorder::simulationWrote(size_t first, size_t last) {
    if (last <= first) {
        return;
    }
    if (!m_simulationWrites.empty() && m_simulationWrites.back().second == first) {
        m_simulationWrites.back().second = last;
    } else {
        m_simulationWrites.emplace_back(first, last);
    }
}

bool CallRecorder::isSimulationWrite(size_t position) const {
    return std::any_of(m_simulationWrites.begin(), m_simulationWrites.end(),
                       [position](const auto& range) {
                           return position >= range.first && position < range.second;
                       });
}

} // namespace kestro
