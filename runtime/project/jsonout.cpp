// The dump's JSON writer.
#include "runtime/project/jsonout.h"

#include "runtime/host/textformat.h"
#include "runtime/project/jsonsource.h"

#include <QByteArray>

#include <charconv>
#include <cstdio>

namespace kestro {

namespace {

// Reads number text back the way the project file's parser does.
double readBack(const char* text) {
    return QByteArray(text).toDouble();
}

} // namespace

JsonOut JsonOut::null() {
    JsonOut value;
    value.m_text = "null";
    return value;
}

JsonOut JsonOut::boolean(bool flag) {
    JsonOut value;
    value.m_text = flag ? "true" : "false";
    return value;
}

JsonOut JsonOut::integer(int64_t number) {
    JsonOut value;
    value.m_text = std::to_string(number);
    return value;
}

JsonOut JsonOut::number(double number) {
    char text[40];
    const auto end = std::to_chars(text, text + sizeof text, number).ptr;
    JsonOut value;
    value.m_text.assign(text, end);
    return value;
}

JsonOut JsonOut::float32(float number) {
    // The shortest text of the float; where reading it as a double and narrowing would land on
    // a neighbour, the exact double of the float.
    char text[40];
    auto end = std::to_chars(text, text + sizeof text, number).ptr;
    *end = '\0';
    if (static_cast<float>(readBack(text)) != number) {
        end = std::to_chars(text, text + sizeof text, static_cast<double>(number)).ptr;
    }
    JsonOut value;
    value.m_text.assign(text, end);
    return value;
}

JsonOut JsonOut::string(const std::string& utf8) {
    JsonOut value;
    value.m_kind = Kind::String;
    value.m_text = utf8;
    return value;
}

JsonOut JsonOut::array() {
    JsonOut value;
    value.m_kind = Kind::Array;
    return value;
}

JsonOut JsonOut::object() {
    JsonOut value;
    value.m_kind = Kind::Object;
    return value;
}

JsonOut& JsonOut::add(const std::string& key, JsonOut value) {
    m_members.emplace_back(key, std::move(value));
    return *this;
}

JsonOut& JsonOut::push(JsonOut value) {
    m_items.push_back(std::move(value));
    return *this;
}

namespace {

void writeString(std::string& out, const std::string& text) {
    out += quotedText(text.data(), text.size(), ControlEscape::Unicode);
}

} // namespace

// Plain values, and arrays of plain values (a point list), fit on one line.
bool JsonOut::isFlat() const {
    if (m_kind == Kind::Object) {
        return m_members.empty();
    }
    if (m_kind == Kind::Array) {
        for (const JsonOut& item : m_items) {
            if (item.m_kind == Kind::Object || (item.m_kind == Kind::Array && !item.isFlat())) {
                return false;
            }
        }
    }
    return true;
}

// A small object of plain members reads best on one line: {"width": 2, "color": "#303030"}.
bool JsonOut::oneLine(std::string* line) const {
    constexpr size_t kLongest = 64;
    std::string text = "{";
    for (size_t i = 0; i < m_members.size(); ++i) {
        const JsonOut& value = m_members[i].second;
        if (value.m_kind == Kind::Object || !value.isFlat()) {
            return false;
        }
        text += i ? ", " : "";
        writeString(text, m_members[i].first);
        text += ": ";
        value.write(text, 0);
        if (text.size() > kLongest) {
            return false;
        }
    }
    *line = text + "}";
    return true;
}

void JsonOut::write(std::string& out, int indent) const {
    const std::string inner(static_cast<size_t>(indent + 2), ' ');
    switch (m_kind) {
    case Kind::Literal:
        out += m_text;
        return;
    case Kind::String:
        writeString(out, m_text);
        return;
    case Kind::Array:
        if (isFlat()) {
            out += '[';
            for (size_t i = 0; i < m_items.size(); ++i) {
                out += i ? ", " : "";
                m_items[i].write(out, indent);
            }
            out += ']';
            return;
        }
        out += "[\n";
        for (size_t i = 0; i < m_items.size(); ++i) {
            out += inner;
            m_items[i].write(out, indent + 2);
            out += i + 1 < m_items.size() ? ",\n" : "\n";
        }
        out += std::string(static_cast<size_t>(indent), ' ') + ']';
        return;
    case Kind::Object:
        if (m_members.empty()) {
            out += "{}";
            return;
        }
        if (std::string line; oneLine(&line)) {
            out += line;
            return;
        }
        out += "{\n";
        for (size_t i = 0; i < m_members.size(); ++i) {
            out += inner;
            writeString(out, m_members[i].first);
            out += ": ";
            m_members[i].second.write(out, indent + 2);
            out += i + 1 < m_members.size() ? ",\n" : "\n";
        }
        out += std::string(static_cast<size_t>(indent), ' ') + '}';
        return;
    }
}

std::string JsonOut::text() const {
    std::string out;
    write(out, 0);
    out += '\n';
    return out;
}

std::string hexBytes(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char byte : bytes) {
        if (!out.empty()) {
            out += ' ';
        }
        out += kDigits[byte >> 4];
        out += kDigits[byte & 0xF];
    }
    return out;
}

std::string colorText(uint32_t rgb) {
    char text[16];
    if (rgb > 0xFFFFFFu) {
        std::snprintf(text, sizeof text, "#%08X", static_cast<unsigned>(rgb));
    } else {
        std::snprintf(text, sizeof text, "#%06X", static_cast<unsigned>(rgb));
    }
    return text;
}

JsonOut recordText(const std::string& bytes) {
    if (isValidUtf8(bytes)) {
        return JsonOut::string(bytes);
    }
    return JsonOut::object().add("hex", JsonOut::string(hexBytes(bytes)));
}

} // namespace kestro
