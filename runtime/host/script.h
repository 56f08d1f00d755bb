// Expression service of the reference host: who answers script_SvrRunProg, and why the last run
// failed.
#pragma once

#include "kestrovalumen/host/script.h"

#include <string>

namespace kestro {

//! Runs the programs of script_SvrRunProg. Without one installed the service runs the expression
//! engine (kestro::script::run); an installed evaluator answers every run in its place.
class ScriptEvaluator {
public:
    virtual ~ScriptEvaluator();
    //! As script_SvrRunProg: true with result set, or false with result cleared and reason set.
    virtual bool run(const unsigned char* program, unsigned int length, Script::ValueType& result,
                     Script::IHost* host, std::string* reason) = 0;
    //! The host returns to its start-up state (resetHost): forget what was kept between runs.
    virtual void reset() {}
};

//! Told of every failed run while installed, which program and why, and of successes too while
//! it wants them. A session uses it to say which object's expression fails, and when it stops
//! failing: it wants successes only while something fails.
class ScriptWatcher {
public:
    virtual ~ScriptWatcher();
    //! failure is null after a success.
    virtual void ran(const unsigned char* program, const std::string* failure) = 0;
    //! Whether successes are told as well as failures.
    bool wantsSuccesses() const { return m_wantsSuccesses; }

protected:
    // A flag, not a virtual call: runs come by the thousand and nearly all of them succeed.
    void setWantsSuccesses(bool wants) { m_wantsSuccesses = wants; }

private:
    bool m_wantsSuccesses = true;
};

class ScriptService {
public:
    static ScriptService& instance() { return s_instance; }

    //! Why the last run failed ("" after a success).
    const std::string& lastError() const { return m_lastError; }
    //! Every later run goes to evaluator, which the caller keeps alive while it is installed;
    //! nullptr gives the runs back to the expression engine.
    void setEvaluator(ScriptEvaluator* evaluator) { m_evaluator = evaluator; }
    ScriptEvaluator* evaluator() const { return m_evaluator; }
    //! Every later run that fails, and every success while it wants them, is told to watcher,
    //! which the caller keeps alive while it is installed; nullptr stops it. One watcher at a
    //! time: the latest installed is told.
    void setWatcher(ScriptWatcher* watcher) { m_watcher = watcher; }
    ScriptWatcher* watcher() const { return m_watcher; }
    //! Forgets the last error and resets the installed evaluator, which stays installed.
    void clear();

    //! script_SvrRunProg.
    bool run(const unsigned char* program, unsigned int length, Script::ValueType& result,
             Script::IHost* host);

private:
    ScriptService() = default;
    // Reached on every run: a plain object, not a function-local static behind a guard.
    static ScriptService s_instance;
    ScriptEvaluator* m_evaluator = nullptr;
    ScriptWatcher* m_watcher = nullptr;
    std::string m_lastError;
};

} // namespace kestro
