// Loading a project into the host: the checks that it can run, the host services set up from
// it, and the windows' objects built from their records.
#pragma once

#include "runtime/host/logger.h"
#include "runtime/project/project.h"
#include "runtime/session/sessionwindow.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Script {
class IHost;
}

namespace kestro {

class CallRecorder;
class PluginSet;
class SimulatedTags;

//! An object record that did not load, or loaded with something left over.
struct LoadProblem {
    int window = 0;
    int index = 0;
    uint32_t classNumber = 0;
    std::string className;  //!< "" when the class is not registered
    std::string objectName; //!< from the record when it got that far, else from the project
    std::string reason;
    bool skipped = true; //!< the object was destroyed; false: it loaded, this is a warning
    std::vector<MonitorRecord> monitor; //!< what loading it reported
    std::vector<LogRecord> logs;

    //! One line naming the object, the reason and the reports.
    std::string text() const;
};

//! Sets the host services up from the project, in this order: the real-time database (tag i
//! is variable i, with its initial value; the simulated number tags go to simulated), the
//! strategies, the languages (the project's language current, else the first), the project
//! version. False with the reason for a tag without a name or with a name taken, or a strategy
//! on an unknown tag.
bool setUpHost(const Project& project, SimulatedTags* simulated, std::string* error);

//! Builds the objects of windows as a runtime does: each object is created through its class,
//! reads its record, gets the expression host and no parent group.
class WindowLoader {
public:
    //! plugins: objects are made only from classes of our own plug-ins among them (their
    //! identifiers begin with "vorn_"); null: the caller vouches for every registered class.
    //! recorder: takes the faults of the objects' first run.
    WindowLoader(const PluginSet* plugins, Script::IHost* scriptHost, CallRecorder& recorder);

    //! The window with every object that loaded. An object that did not is destroyed and named
    //! in problems, as is one that left bytes of its record unread (which stays).
    LoadedWindow load(const WindowDef& def, std::vector<LoadProblem>* problems);
    //! Run(-1) once on every object of a loaded window, which does not count as a change: the
    //! polylines place their vertices then.
    void prepare(LoadedWindow& window);

private:
    //! The object of one record, or null with the problem filled in.
    draw_object_c* create(const ObjectDef& def, LoadProblem* problem);
    //! Reads the record into the object; false (the object is to be destroyed) when it did not
    //! load. Leftover bytes only fill in the problem's reason.
    bool read(draw_object_c* object, const ObjectDef& def, LoadProblem* problem);

    const PluginSet* m_plugins;
    Script::IHost* m_scriptHost;
    CallRecorder& m_recorder;
};

} // namespace kestro
