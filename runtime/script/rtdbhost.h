// The expression host of the reference runtime: variables come from the real-time database.
#pragma once

#include "kestrovalumen/host/script.h"

namespace kestro {

//! Reads variable index of Rtdb::instance() at the moment the program asks for it: an integer
//! variable as an integer, a float as a float, a string as a string. False for an unknown
//! index or a variable without a value.
class RtdbScriptHost : public Script::IHost {
public:
    bool getVariable(int index, Script::ValueType& out) override;
};

} // namespace kestro
