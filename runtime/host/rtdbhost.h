// The expression engine bound to the reference runtime: variables come from the real-time
// database, tag names compile to its indexes.
#pragma once

#include "kestrovalumen/host/script.h"
#include "runtime/script/compiler.h"

namespace kestro {

//! Reads variable index of Rtdb::instance() at the moment the program asks for it: an integer
//! variable as an integer, a float as a float, a string as a string. False for an unknown
//! index or a variable without a value.
class RtdbScriptHost : public Script::IHost {
public:
    bool getVariable(int index, Script::ValueType& out) override;
};

namespace script {

//! Compiles with the tags of the reference real-time database (Rtdb::instance().indexOf).
CompileResult compile(const std::string& source);

} // namespace script

} // namespace kestro
