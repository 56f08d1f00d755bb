// printf-style formatting shared by the host's string, utility and logging libraries.
#pragma once

#include <cstdarg>
#include <string>

namespace kestro {

//! The format with its arguments applied; "" for a null format. Leaves args unconsumed for
//! the caller's va_end.
std::string formatArgs(const char* format, va_list args) __attribute__((format(printf, 1, 0)));

} // namespace kestro
