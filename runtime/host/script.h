// Expression engine of the reference host: the test seam in front of the evaluator.
#pragma once

#include <deque>
#include <string>

namespace kestro {

//! One scripted result of script_SvrRunProg.
struct ScriptResult {
    enum Kind { Number, Text, Failure } kind = Number;
    double number = 0.0;
    std::string text;

    static ScriptResult value(double v) { return {Number, v, {}}; }
    static ScriptResult string(std::string s) { return {Text, 0.0, std::move(s)}; }
    static ScriptResult failure() { return {Failure, 0.0, {}}; }
};

class ScriptService {
public:
    static ScriptService& instance() { return s_instance; }

    //! The next runs return these results, in order, whatever program they are given.
    void queueResult(ScriptResult result) { m_queued.push_back(std::move(result)); }
    std::size_t queuedResults() const { return m_queued.size(); }
    //! Number of script_SvrRunProg calls so far.
    unsigned long long runs() const { return m_runs; }
    //! Why the last run failed ("" after a success).
    const std::string& lastError() const { return m_lastError; }
    void clear();

    // Used by script_SvrRunProg.
    bool takeQueued(ScriptResult* out);
    void countRun() { ++m_runs; }
    void setLastError(std::string reason) { m_lastError = std::move(reason); }
    bool hasQueued() const { return !m_queued.empty(); }

private:
    ScriptService() = default;
    // Reached on every run: a plain object, not a function-local static behind a guard.
    static ScriptService s_instance;
    std::deque<ScriptResult> m_queued;
    unsigned long long m_runs = 0;
    std::string m_lastError;
};

} // namespace kestro
