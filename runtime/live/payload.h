// The text of an MQTT message and a tag's value, in the tag's payload form:
//   Number  the whole message is a decimal number (blanks around it allowed);
//   Text    the message is the UTF-8 text of a string tag (a number tag reads it as Number);
//   Json    a JSON document whose member at the tag's JSON pointer holds the value: a number or
//           a boolean (1 or 0) for a number tag, a string for a string tag.
// A message is never trusted: its size is checked before anything reads it, and every failure
// comes back as a reason in plain words.
#pragma once

#include "runtime/live/live.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kestro::live {

//! The largest message a tag's value is read from, in bytes.
constexpr size_t kMaxPayloadBytes = 65536;

//! A message read for a tag: a value (text for a string tag, number otherwise), or why not.
struct DecodedValue {
    bool ok = false;
    double number = 0.0;
    std::string text;
    bool isText = false;
    std::string reason; //!< when !ok: "\"abc\" is not a number", "no member /a/b", ...
};

DecodedValue decodePayload(const TagDef& tag, std::string_view message);

//! The message that carries an operator's write of the tag: the number's shortest text that
//! reads back the same, the text as it is, or for Json the nested object the pointer names
//! ({"a":{"b":12.5}}; every token is a member name, also a number). False with the reason when
//! the value does not fit the form (a text that is no number, a number that is not finite).
bool encodePayload(const TagDef& tag, const WriteValue& value, std::string* message,
                   std::string* reason);

//! The tokens of a JSON pointer, unescaped (~1 is '/', ~0 is '~'); false when it is malformed.
bool splitJsonPointer(const std::string& pointer, std::vector<std::string>* tokens);

} // namespace kestro::live
