// The evaluator behind script_SvrRunProg.
#pragma once

#include "kestrovalumen/host/script.h"

#include <cstddef>
#include <string>

namespace kestro::script {

//! Verifies program and runs it against host. On success result holds the value; on failure
//! result is cleared and reason (when given) says why. A program of numbers and variables
//! allocates nothing on success.
bool run(const unsigned char* program, size_t length, Script::ValueType& result,
         Script::IHost* host, std::string* reason);

} // namespace kestro::script
