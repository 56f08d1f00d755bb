// Helpers shared by the expression engine tests.
#pragma once

#include "kestrovalumen/host/script.h"
#include "runtime/host/script.h"
#include "runtime/script/compiler.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace scripttest {

//! Variables by index as the test sets them; remembers which ones a program read.
class MapHost : public Script::IHost {
public:
    void setInteger(int index, int64_t value) { m_values[index].setInteger(value); }
    void setFloat(int index, double value) { m_values[index].setFloat(value); }
    void setString(int index, const std::string& value) { m_values[index].setString(value); }

    bool getVariable(int index, Script::ValueType& out) override {
        reads.push_back(index);
        const auto found = m_values.find(index);
        if (found == m_values.end()) {
            return false;
        }
        out = found->second;
        return true;
    }

    std::vector<int> reads;

private:
    std::map<int, Script::ValueType> m_values;
};

inline kestro::script::Resolver tags(std::map<std::string, int> names) {
    return [names](const std::string& tag) {
        const auto found = names.find(tag);
        return found == names.end() ? -1 : found->second;
    };
}

//! Compiles source, failing the test on a compile error.
inline std::vector<unsigned char> program(const std::string& source,
                                          const kestro::script::Resolver& resolver = {}) {
    const kestro::script::CompileResult compiled = kestro::script::compile(source, resolver);
    EXPECT_TRUE(compiled.ok()) << source << ": " << compiled.error.text();
    return compiled.bytes;
}

struct Outcome {
    bool ok = false;
    Script::ValueType value;
    std::string error; //!< lastError() after the run
};

inline Outcome runBytes(const std::vector<unsigned char>& bytes, Script::IHost* host) {
    Outcome outcome;
    outcome.ok = script_SvrRunProg(bytes.data(), static_cast<unsigned int>(bytes.size()),
                                   outcome.value, host);
    outcome.error = kestro::ScriptService::instance().lastError();
    return outcome;
}

inline Outcome run(const std::string& source, Script::IHost* host = nullptr,
                   const kestro::script::Resolver& resolver = {}) {
    return runBytes(program(source, resolver), host);
}

} // namespace scripttest
