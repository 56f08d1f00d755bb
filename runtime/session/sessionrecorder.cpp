// The records of a session's host calls.
#include "runtime/session/sessionrecorder.h"

#include <algorithm>

namespace kestro {

CallMark CallRecorder::mark() const {
    const Gui& gui = Gui::instance();
    CallMark mark;
    mark.opened = gui.openedWindows().total();
    mark.closed = gui.closedWindows().total();
    mark.captures = gui.captures().total();
    mark.stops = gui.stops().total();
    mark.operationLog = gui.operationLog().total();
    mark.keyboards = gui.keyboardCalls().total();
    mark.strategies = Strategies::instance().runs().total();
    mark.writes = Rtdb::instance().writes().total();
    mark.monitor = HostLog::instance().monitor().total();
    mark.logs = HostLog::instance().logs().total();
    mark.faults = m_faults.total();
    mark.expressions = m_expressions.changes().total();
    return mark;
}

namespace {

template <class T>
std::vector<T> takeSince(const RecordList<T>& list, size_t position, size_t* dropped) {
    *dropped += list.droppedSince(position);
    return list.since(position);
}

} // namespace

HostCalls CallRecorder::callsSince(const CallMark& mark) const {
    const Gui& gui = Gui::instance();
    HostCalls calls;
    size_t* dropped = &calls.dropped;
    calls.opened = takeSince(gui.openedWindows(), mark.opened, dropped);
    calls.closed = takeSince(gui.closedWindows(), mark.closed, dropped);
    calls.captures = takeSince(gui.captures(), mark.captures, dropped);
    calls.captureFiles = m_captureFiles.since(mark.captures);
    calls.stops = takeSince(gui.stops(), mark.stops, dropped);
    calls.operationLog = takeSince(gui.operationLog(), mark.operationLog, dropped);
    calls.keyboards = takeSince(gui.keyboardCalls(), mark.keyboards, dropped);
    calls.strategies = takeSince(Strategies::instance().runs(), mark.strategies, dropped);
    const RecordList<RtdbWrite>& writes = Rtdb::instance().writes();
    // The simulation's own writes are no calls: those dropped are not counted either.
    const size_t lost = writes.droppedSince(mark.writes);
    *dropped += lost - simulationWritesIn(mark.writes, mark.writes + lost);
    for (size_t position = std::max(mark.writes, writes.dropped()); position < writes.total();
         ++position) {
        if (!isSimulationWrite(position)) {
            calls.writes.push_back(writes[position - writes.dropped()]);
        }
    }
    calls.monitor = takeSince(HostLog::instance().monitor(), mark.monitor, dropped);
    calls.logs = takeSince(HostLog::instance().logs(), mark.logs, dropped);
    calls.faults = takeSince(m_faults, mark.faults, dropped);
    calls.expressions = takeSince(m_expressions.changes(), mark.expressions, dropped);
    return calls;
}

void CallRecorder::forgetBefore(const CallMark& mark) {
    Gui::Records& gui = Gui::instance().records();
    gui.opened.forgetBefore(mark.opened);
    gui.closed.forgetBefore(mark.closed);
    gui.captures.forgetBefore(mark.captures);
    gui.stops.forgetBefore(mark.stops);
    gui.operationLog.forgetBefore(mark.operationLog);
    gui.keyboardCalls.forgetBefore(mark.keyboards);
    Strategies::instance().runRecord().forgetBefore(mark.strategies);
    Rtdb::instance().writeRecord().forgetBefore(mark.writes);
    HostLog::instance().monitorRecord().forgetBefore(mark.monitor);
    HostLog::instance().logRecord().forgetBefore(mark.logs);
    m_faults.forgetBefore(mark.faults);
    m_expressions.changeRecord().forgetBefore(mark.expressions);
    m_captureFiles.forgetBefore(mark.captures);
    // Ranges of writes that are gone can no longer be asked about.
    const size_t oldest = Rtdb::instance().writes().dropped();
    m_simulationWrites.erase(
        m_simulationWrites.begin(),
        std::find_if(m_simulationWrites.begin(), m_simulationWrites.end(),
                     [oldest](const auto& range) { return range.second > oldest; }));
}

void CallRecorder::setLimit(size_t limit) {
    Gui::Records& gui = Gui::instance().records();
    gui.opened.setLimit(limit);
    gui.closed.setLimit(limit);
    gui.captures.setLimit(limit);
    gui.stops.setLimit(limit);
    gui.operationLog.setLimit(limit);
    gui.keyboardCalls.setLimit(limit);
    Strategies::instance().runRecord().setLimit(limit);
    Rtdb::instance().writeRecord().setLimit(limit);
    HostLog::instance().monitorRecord().setLimit(limit);
    HostLog::instance().logRecord().setLimit(limit);
    m_faults.setLimit(limit);
    m_expressions.changeRecord().setLimit(limit);
    m_captureFiles.setLimit(limit);
}

size_t CallRecorder::kept() const {
    const Gui& gui = Gui::instance();
    return gui.openedWindows().size() + gui.closedWindows().size() + gui.captures().size() +
           gui.stops().size() + gui.operationLog().size() + gui.keyboardCalls().size() +
           Strategies::instance().runs().size() + Rtdb::instance().writes().size() +
           HostLog::instance().monitor().size() + HostLog::instance().logs().size() +
           m_faults.size() + m_expressions.changes().size() + m_captureFiles.size() +
           m_simulationWrites.size();
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

size_t CallRecorder::simulationWritesIn(size_t first, size_t last) const {
    size_t count = 0;
    for (const auto& range : m_simulationWrites) {
        const size_t from = std::max(first, range.first);
        const size_t to = std::min(last, range.second);
        count += to > from ? to - from : 0;
    }
    return count;
}

bool CallRecorder::isSimulationWrite(size_t position) const {
    return std::any_of(m_simulationWrites.begin(), m_simulationWrites.end(),
                       [position](const auto& range) {
                           return position >= range.first && position < range.second;
                       });
}

} // namespace kestro
