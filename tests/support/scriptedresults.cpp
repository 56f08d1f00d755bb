#include "tests/support/scriptedresults.h"

#include "runtime/script/evaluator.h"

namespace kvtest {

ScriptedResults& ScriptedResults::instance() {
    static ScriptedResults scripted;
    return scripted;
}

void ScriptedResults::install() {
    kestro::ScriptService::instance().setEvaluator(this);
}

bool ScriptedResults::run(const unsigned char* program, unsigned int length,
                          Script::ValueType& result, Script::IHost* host, std::string* reason) {
    ++m_runs;
    if (m_queued.empty()) {
        return kestro::script::run(program, length, result, host, reason);
    }
    const ScriptResult next = std::move(m_queued.front());
    m_queued.pop_front();
    switch (next.kind) {
    case ScriptResult::Number:
        result.setFloat(next.number);
        return true;
    case ScriptResult::Text:
        result.setString(next.text);
        return true;
    case ScriptResult::Failure:
        break;
    }
    result.clear();
    *reason = "scripted failure";
    return false;
}

void ScriptedResults::reset() {
    m_queued.clear();
    m_runs = 0;
}

} // namespace kvtest
