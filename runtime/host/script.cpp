// Expression service of the reference host: the result holder and the run entry point.
#include "runtime/host/script.h"

#include "runtime/script/evaluator.h"
#include "runtime/script/numbers.h"

namespace Script {

ValueType::ValueType() : m_kind(Empty), m_integer(0), m_float(0.0) {}
ValueType::~ValueType() = default;
ValueType::ValueType(const ValueType& other) = default;
ValueType& ValueType::operator=(const ValueType& other) = default;

double ValueType::getFloat() const {
    switch (m_kind) {
    case Integer:
        return static_cast<double>(m_integer);
    case Float:
        return m_float;
    case String:
        return kestro::script::leadingNumber(m_string.data(), m_string.size()).value;
    default:
        return 0.0;
    }
}

std::string ValueType::getString() const {
    char text[kestro::script::kNumberTextSize];
    switch (m_kind) {
    case Integer:
        return std::string(text, kestro::script::formatInteger(m_integer, text));
    case Float:
        return std::string(text, kestro::script::formatNumber(m_float, text));
    case String:
        return m_string;
    default:
        return {};
    }
}

void ValueType::clear() {
    m_kind = Empty;
    m_integer = 0;
    m_float = 0.0;
    m_string.clear();
}

void ValueType::setInteger(int64_t value) {
    clear();
    m_kind = Integer;
    m_integer = value;
}

void ValueType::setFloat(double value) {
    clear();
    m_kind = Float;
    m_float = value;
}

void ValueType::setString(const std::string& value) {
    clear();
    m_kind = String;
    m_string = value;
}

void ValueType::setString(const char* bytes, size_t count) {
    clear();
    m_kind = String;
    m_string.assign(bytes, count);
}

IHost::~IHost() = default;

} // namespace Script

namespace kestro {

ScriptService ScriptService::s_instance;

ScriptEvaluator::~ScriptEvaluator() = default;

ScriptWatcher::~ScriptWatcher() = default;

void ScriptService::clear() {
    m_lastError.clear();
    if (m_evaluator) {
        m_evaluator->reset();
    }
}

bool ScriptService::run(const unsigned char* program, unsigned int length,
                        Script::ValueType& result, Script::IHost* host) {
    // Runs come by the thousand on every refresh: nothing is built or emptied that is empty.
    if (!m_lastError.empty()) {
        m_lastError.clear();
    }
    std::string reason;
    const bool ok = m_evaluator ? m_evaluator->run(program, length, result, host, &reason)
                                : script::run(program, length, result, host, &reason);
    if (!ok) {
        m_lastError = std::move(reason);
    }
    if (m_watcher && (!ok || m_watcher->wantsSuccesses())) {
        m_watcher->ran(program, ok ? nullptr : &m_lastError);
    }
    return ok;
}

} // namespace kestro

bool script_SvrRunProg(const unsigned char* program, unsigned int length, Script::ValueType& result,
                       Script::IHost* host) {
    return kestro::ScriptService::instance().run(program, length, result, host);
}
