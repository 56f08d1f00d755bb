#include "runtime/live/livedata.h"

#include "kestrovalumen/core/arith.h"
#include "runtime/host/logger.h"
#include "runtime/script/numbers.h"

#include <utility>

namespace kestro::live {

namespace {

// Failures at level 2, as the host's other runtime failures; returns to normal at level 4.
constexpr int kFailureLevel = 2;
constexpr int kInfoLevel = 4;

void report(int code, int level, const std::string& text) {
    HostLog& log = HostLog::instance();
    if (code != 0) {
        log.addMonitor({kLiveModule, code, text, 1});
    }
    LogRecord line;
    line.module = kLiveModule;
    line.function = "LiveData";
    line.file = "live\\livedata";
    line.level = level;
    line.tag = "live";
    line.format = text;
    line.text = text;
    log.addLog(std::move(line));
}

std::string numberText(double value) {
    char text[script::kNumberTextSize];
    return std::string(text, script::formatNumber(value, text));
}

void setStatus(int tag, int value) {
    if (tag >= 0) {
        Rtdb& rtdb = Rtdb::instance();
        const Rtdb::SourceScope fromConnection(rtdb);
        rtdb.setInt(tag, value);
    }
}

} // namespace

LiveData::LiveData(Project project, const ConnectionFactory& factory)
    : m_project(std::move(project)), m_linkOfTag(m_project.tags.size(), -1),
      m_badReported(m_project.tags.size(), false) {
    for (size_t c = 0; c < m_project.connections.size(); ++c) {
        Link link;
        link.def = &m_project.connections[c];
        std::vector<ServedTag> served;
        for (size_t t = 0; t < m_project.tags.size(); ++t) {
            const TagDef& tag = m_project.tags[t];
            if (tag.source.connection == link.def->name) {
                served.push_back({static_cast<int>(t), &tag});
                link.tags.push_back(static_cast<int>(t));
                m_linkOfTag[t] = static_cast<int>(c);
            } else if (tag.status.connection == link.def->name) {
                (tag.status.what == ConnectionStatus::What::Connected ? link.connectedTag
                                                                      : link.errorsTag) =
                    static_cast<int>(t);
            }
        }
        link.connection = factory(*link.def, static_cast<int>(c), std::move(served), m_inbox);
        m_links.push_back(std::move(link));
    }
}

LiveData::~LiveData() {
    stop();
}

void LiveData::start() {
    if (m_started) {
        return;
    }
    m_started = true;
    Rtdb& rtdb = Rtdb::instance();
    rtdb.setRoute(this);
    for (Link& link : m_links) {
        // The status tags are the connection's to set: routed too, and refused by routeWrite.
        for (int tag : link.tags) {
            rtdb.setRouted(tag, true);
            rtdb.setBad(tag, true);
        }
        rtdb.setRouted(link.connectedTag, true);
        rtdb.setRouted(link.errorsTag, true);
        setStatus(link.connectedTag, 0);
        setStatus(link.errorsTag, 0);
        if (link.connection) {
            link.connection->start();
        }
    }
}

void LiveData::stop() {
    if (!m_started) {
        return;
    }
    m_started = false;
    Rtdb& rtdb = Rtdb::instance();
    for (Link& link : m_links) {
        if (link.connection) {
            link.connection->stop();
        }
        for (int tag : link.tags) {
            rtdb.setRouted(tag, false);
        }
        rtdb.setRouted(link.connectedTag, false);
        rtdb.setRouted(link.errorsTag, false);
    }
    rtdb.setRoute(nullptr);
}

bool LiveData::connected(int connection) const {
    return connection >= 0 && connection < static_cast<int>(m_links.size()) &&
           m_links[static_cast<size_t>(connection)].up;
}

std::vector<LiveNote> LiveData::apply() {
    std::vector<LiveNote> notes;
    for (const LiveEvent& event : m_inbox.take()) {
        if (event.connection < 0 || event.connection >= static_cast<int>(m_links.size())) {
            continue;
        }
        Link& link = m_links[static_cast<size_t>(event.connection)];
        const bool ours = event.tag >= 0 && event.tag < static_cast<int>(m_linkOfTag.size()) &&
                          m_linkOfTag[static_cast<size_t>(event.tag)] == event.connection;
        switch (event.kind) {
        case LiveEvent::Kind::Value:
            if (ours) {
                store(event, notes);
            }
            break;
        case LiveEvent::Kind::Bad:
            if (ours) {
                markBad(event.tag, event.reason, notes);
            }
            break;
        case LiveEvent::Kind::WriteFailed:
            if (ours) {
                notes.push_back(
                    {LiveNote::Kind::WriteFailed, link.def->name, event.tag, event.reason});
                refuse(event.tag, event.reason, kWriteFailed);
            }
            break;
        default:
            linkState(link, event, notes);
        }
    }
    return notes;
}

void LiveData::linkState(Link& link, const LiveEvent& event, std::vector<LiveNote>& notes) {
    const std::string& name = link.def->name;
    switch (event.kind) {
    case LiveEvent::Kind::Connected:
        if (!link.up) {
            link.up = true;
            setStatus(link.connectedTag, 1);
            notes.push_back({LiveNote::Kind::Connected, name, -1, ""});
            report(0, kInfoLevel, name + ": connected");
        }
        break;
    case LiveEvent::Kind::Disconnected: {
        // Reported once per loss: the attempts to come back count in NAME.errors.
        const bool wasUp = link.up;
        link.up = false;
        setStatus(link.connectedTag, 0);
        if (wasUp) {
            notes.push_back({LiveNote::Kind::Disconnected, name, -1, event.reason});
            report(kConnectionLost, kFailureLevel,
                   name + ": connection lost (" + event.reason +
                       "); its tags keep their last values");
        }
        Rtdb& rtdb = Rtdb::instance();
        for (int tag : link.tags) {
            rtdb.setBad(tag, true);
        }
        break;
    }
    case LiveEvent::Kind::Error:
        setStatus(link.errorsTag, ++link.errors);
        break;
    default:
        break;
    }
}

void LiveData::store(const LiveEvent& event, std::vector<LiveNote>& notes) {
    Rtdb& rtdb = Rtdb::instance();
    const TagDef& def = m_project.tags[static_cast<size_t>(event.tag)];
    int result = RtdbOk;
    {
        const Rtdb::SourceScope fromSource(rtdb);
        if (def.type == VarType::String) {
            result = event.isText ? rtdb.setString(event.tag, event.text)
                                  : rtdb.setString(event.tag, numberText(event.number));
        } else if (event.isText) {
            result = rtdb.setString(event.tag, event.text);
        } else if (def.type == VarType::Int) {
            result = rtdb.setInt(event.tag, kv::RoundSaturate32(event.number));
        } else {
            result = rtdb.setFloat(event.tag, event.number);
        }
    }
    if (result != RtdbOk) {
        markBad(event.tag, "the value does not fit the tag", notes);
        return;
    }
    rtdb.setBad(event.tag, false);
    if (m_badReported[static_cast<size_t>(event.tag)]) {
        m_badReported[static_cast<size_t>(event.tag)] = false;
        notes.push_back({LiveNote::Kind::TagGood, def.source.connection, event.tag, ""});
        report(0, kInfoLevel, def.name + ": good again");
    }
}

void LiveData::markBad(int tag, const std::string& reason, std::vector<LiveNote>& notes) {
    Rtdb& rtdb = Rtdb::instance();
    rtdb.setBad(tag, true);
    if (m_badReported[static_cast<size_t>(tag)]) {
        return;
    }
    m_badReported[static_cast<size_t>(tag)] = true;
    const TagDef& def = m_project.tags[static_cast<size_t>(tag)];
    notes.push_back({LiveNote::Kind::TagBad, def.source.connection, tag, reason});
    report(kTagBad, kFailureLevel, def.name + ": bad value (" + reason + "); the last one stays");
}

int LiveData::routeWrite(int index, const Variable& value, std::string* reason) {
    const int c = index >= 0 && index < static_cast<int>(m_linkOfTag.size())
                      ? m_linkOfTag[static_cast<size_t>(index)]
                      : -1;
    if (c < 0 || !m_started) {
        const bool status =
            index >= 0 && index < static_cast<int>(m_project.tags.size()) &&
            m_project.tags[static_cast<size_t>(index)].status.what != ConnectionStatus::What::None;
        *reason = status ? "set by its connection only" : "no live source takes it";
        refuse(index, *reason, kWriteRefused);
        return RtdbRefused;
    }
    Link& link = m_links[static_cast<size_t>(c)];
    WriteValue wish;
    switch (value.type) {
    case VarType::Int:
        wish.number = value.intValue;
        break;
    case VarType::Float:
        wish.number = value.floatValue;
        break;
    case VarType::String:
        wish.text = value.stringValue;
        wish.isText = true;
        break;
    }
    if (!link.connection || !link.connection->write(index, wish, reason)) {
        if (reason->empty()) {
            *reason = link.def->name + ": cannot write";
        }
        refuse(index, *reason, kWriteRefused);
        return RtdbRefused;
    }
    report(0, kInfoLevel, value.name + ": write sent to " + link.def->name);
    return RtdbOk;
}

void LiveData::refuse(int tag, const std::string& reason, int code) {
    const std::string name = tag >= 0 && tag < static_cast<int>(m_project.tags.size())
                                 ? m_project.tags[static_cast<size_t>(tag)].name
                                 : std::to_string(tag);
    m_refused.push_back({tag, name, reason});
    report(code, kFailureLevel,
           name + (code == kWriteFailed ? ": write failed (" : ": write refused (") + reason + ")");
}

std::vector<RefusedWrite> LiveData::takeRefused() {
    std::vector<RefusedWrite> refused;
    refused.swap(m_refused);
    return refused;
}

} // namespace kestro::live
