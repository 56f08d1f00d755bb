// JSON as the dump writes it: members in the order they are added (Qt's objects sort their
// keys), numbers in the shortest text that reads back to the same value.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kestro {

class JsonOut {
public:
    static JsonOut null();
    static JsonOut boolean(bool value);
    static JsonOut integer(int64_t value);
    //! Shortest text that reads back as the same double (finite values only).
    static JsonOut number(double value);
    //! Shortest text that reads back, through a double, as the same float.
    static JsonOut float32(float value);
    static JsonOut string(const std::string& utf8);
    static JsonOut array();
    static JsonOut object();

    //! Appends a member (object) and returns *this.
    JsonOut& add(const std::string& key, JsonOut value);
    //! Appends an item (array) and returns *this.
    JsonOut& push(JsonOut value);

    bool isObject() const { return m_kind == Kind::Object; }
    bool empty() const { return m_members.empty() && m_items.empty(); }

    //! The text, indented by two spaces a level; arrays of plain values stay on one line.
    std::string text() const;

private:
    enum class Kind { Literal, String, Array, Object };
    void write(std::string& out, int indent) const;
    bool isFlat() const;
    bool oneLine(std::string* line) const;

    Kind m_kind = Kind::Literal;
    std::string m_text; //!< literal text, or the string's value
    std::vector<std::pair<std::string, JsonOut>> m_members;
    std::vector<JsonOut> m_items;
};

//! Lower-case hexadecimal pairs separated by blanks: "0a 01 ff".
std::string hexBytes(const std::string& bytes);
//! "#RRGGBB", or "#XXRRGGBB" when the high byte is set.
std::string colorText(uint32_t rgb);
//! A record text: a string when it is UTF-8, else {"hex": ...}.
JsonOut recordText(const std::string& bytes);

} // namespace kestro
