// Text formatting shared by the host's libraries: printf-style formatting for the string,
// utility and logging libraries, and quoted texts for the project files and program listings.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

namespace kestro {

//! The text of a C string the caller may pass as null; "" for null.
inline std::string orEmpty(const char* text) {
    return text ? text : "";
}

//! The format with its arguments applied; "" for a null format. Leaves args unconsumed for
//! the caller's va_end.
std::string formatArgs(const char* format, va_list args) __attribute__((format(printf, 1, 0)));

//! How a quoted text writes the control bytes that have no escape of their own.
enum class ControlEscape {
    Unicode, //!< \u00XX, as JSON has it; 0x7F stays as it is
    Hex,     //!< \xXX, 0x7F included
};

//! The bytes in double quotes, with \" \\ \n \t \r escaped and the other control bytes as
//! control says; every other byte as it is.
std::string quotedText(const char* text, size_t length, ControlEscape control);

} // namespace kestro
