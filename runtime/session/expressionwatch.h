// Which expressions of a session fail, and why: the expression engine says why a run failed,
// the module only that it did. The watch pins each failure on the object and animation whose
// program it was, and records a change only when a program starts failing, fails for another
// reason, or runs again: a failure on every refresh is one entry, not one per refresh.
#pragma once

#include "runtime/host/records.h"
#include "runtime/host/script.h"

#include <string>
#include <unordered_map>

namespace kestro {

struct LoadedObject;
struct LoadedWindow;

//! A program that began to fail, failed for another reason, or ran again after failing.
struct ExpressionChange {
    int window = 0;
    int index = 0;        //!< the object's position in its window's list
    std::string name;     //!< the object's name
    int animation = -1;   //!< index in the object's animation list; -1 when none holds it
    std::string kind;     //!< "visible", "input", ...
    std::string program;  //!< "expression", or a value input's "upper" or "lower" limit
    std::string source;   //!< the program's source text, where the project gave it
    bool failing = false; //!< false: it ran again
    std::string reason;   //!< the expression engine's; "" when it ran again
};

class ExpressionWatch : public ScriptWatcher {
public:
    ExpressionWatch() { setWantsSuccesses(false); }
    //! Uninstalls itself if it is still installed.
    ~ExpressionWatch() override;
    ExpressionWatch(const ExpressionWatch&) = delete;
    ExpressionWatch& operator=(const ExpressionWatch&) = delete;

    //! Watches the script service's runs from now on (the latest installed watch is told).
    void install() { ScriptService::instance().setWatcher(this); }
    //! Runs from now on belong to this object (none: they are not watched).
    void enter(const LoadedWindow* window, const LoadedObject* object);
    const LoadedWindow* window() const { return m_window; }
    const LoadedObject* object() const { return m_object; }

    const RecordList<ExpressionChange>& changes() const { return m_changes; }
    RecordList<ExpressionChange>& changeRecord() { return m_changes; }
    //! Programs failing now.
    size_t failing() const { return m_failing.size(); }

    void ran(const unsigned char* program, const std::string* failure) override;

private:
    void record(const unsigned char* program, const std::string* failure);

    const LoadedWindow* m_window = nullptr;
    const LoadedObject* m_object = nullptr;
    //! The reason each failing program gave last. Programs live as long as their objects, which
    //! live as long as the session.
    std::unordered_map<const unsigned char*, std::string> m_failing;
    RecordList<ExpressionChange> m_changes;
};

//! The runs of one object's Run belong to it; the object watched before is watched again after.
class WatchedRun {
public:
    WatchedRun(ExpressionWatch& watch, const LoadedWindow& window, const LoadedObject& object)
        : m_watch(watch), m_window(watch.window()), m_object(watch.object()) {
        watch.enter(&window, &object);
    }
    ~WatchedRun() { m_watch.enter(m_window, m_object); }
    WatchedRun(const WatchedRun&) = delete;
    WatchedRun& operator=(const WatchedRun&) = delete;

private:
    ExpressionWatch& m_watch;
    const LoadedWindow* m_window;
    const LoadedObject* m_object;
};

} // namespace kestro
