// Queued results the expression service returns for its next runs, whatever the program; with
// none queued the engine answers. Installed by main.cpp; resetHost empties it.
#pragma once

#include "runtime/host/script.h"
#include "runtime/script/evaluator.h"

#include <deque>
#include <string>

namespace kvtest {

struct ScriptResult {
    enum Kind { Number, Text, Failure } kind = Number;
    double number = 0.0;
    std::string text;

    static ScriptResult value(double v) { return {Number, v, {}}; }
    static ScriptResult string(std::string s) { return {Text, 0.0, std::move(s)}; }
    //! A failed run; its reason is "scripted failure".
    static ScriptResult failure() { return {Failure, 0.0, {}}; }
};

class ScriptedResults : public kestro::ScriptEvaluator {
public:
    static ScriptedResults& instance() {
        static ScriptedResults scripted;
        return scripted;
    }
    void install() { kestro::ScriptService::instance().setEvaluator(this); }

    //! The next runs return these results, in order.
    void queue(ScriptResult result) { m_queued.push_back(std::move(result)); }
    std::size_t queued() const { return m_queued.size(); }
    //! Runs since the last reset, scripted or not.
    unsigned long long runs() const { return m_runs; }

    bool run(const unsigned char* program, unsigned int length, Script::ValueType& result,
             Script::IHost* host, std::string* reason) override {
        ++m_runs;
        if (m_queued.empty()) {
            return kestro::script::run(program, length, result, host, reason);
        }
        const ScriptResult next = std::move(m_queued.front());
        m_queued.pop_front();
        if (next.kind == ScriptResult::Number) {
            result.setFloat(next.number);
        } else if (next.kind == ScriptResult::Text) {
            result.setString(next.text);
        } else {
            result.clear();
            *reason = "scripted failure";
        }
        return next.kind != ScriptResult::Failure;
    }
    void reset() override {
        m_queued.clear();
        m_runs = 0;
    }

private:
    std::deque<ScriptResult> m_queued;
    unsigned long long m_runs = 0;
};

inline void queueScriptResult(ScriptResult result) {
    ScriptedResults::instance().queue(std::move(result));
}

inline unsigned long long scriptRuns() {
    return ScriptedResults::instance().runs();
}

} // namespace kvtest
