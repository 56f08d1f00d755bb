#include "runtime/live/payload.h"

#include "runtime/script/numbers.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <system_error>

namespace kestro::live {

namespace {

// A message shown in a reason: short, and with no control character that could break a log line.
std::string quoted(std::string_view text) {
    constexpr size_t kShown = 32;
    bool cut = false;
    if (text.size() > kShown) {
        size_t end = kShown;
        while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
            --end; // not inside a UTF-8 character
        }
        text = text.substr(0, end);
        cut = true;
    }
    std::string out = "\"";
    for (char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + (cut ? "...\"" : "\"");
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string numberText(double value) {
    char text[script::kNumberTextSize];
    return std::string(text, script::formatNumber(value, text));
}

// Length of the UTF-8 character at text[0], or 0 where none starts (overlong forms, surrogates
// and code points past U+10FFFF included).
size_t utf8Length(std::string_view text) {
    const auto at = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = at(0);
    if (lead < 0x80) {
        return 1;
    }
    size_t length = 0;
    uint32_t code = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length) {
        return 0;
    }
    for (size_t i = 1; i < length; ++i) {
        if ((at(i) & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (at(i) & 0x3F);
    }
    static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return 0;
    }
    return length;
}

bool isUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const size_t length = utf8Length(text.substr(i));
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

void appendUtf8(uint32_t code, std::string* out) {
    if (code < 0x80) {
        *out += static_cast<char>(code);
    } else if (code < 0x800) {
        *out += static_cast<char>(0xC0 | (code >> 6));
        *out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        *out += static_cast<char>(0xE0 | (code >> 12));
        *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        *out += static_cast<char>(0xF0 | (code >> 18));
        *out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// from_chars takes no '+' and never depends on the locale (Qt sets the user's).
bool toDouble(std::string_view digits, bool negative, double* value) {
    double magnitude = 0.0;
    const auto parsed = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
    if (parsed.ec != std::errc() || parsed.ptr != digits.data() + digits.size() ||
        !std::isfinite(magnitude)) {
        return false;
    }
    *value = negative ? -magnitude : magnitude;
    return true;
}

// A whole text as a decimal number: [sign] digits [. [digits]] or [sign] . digits, then an
// optional exponent. No hexadecimal, no inf or nan.
bool readNumber(std::string_view message, double* value, std::string* reason) {
    const std::string_view text = trimmed(message);
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        ++i;
    }
    const size_t start = i;
    size_t digits = 0;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        ++digits;
    }
    if (i < text.size() && text[i] == '.') {
        for (++i; i < text.size() && isDigit(text[i]); ++i) {
            ++digits;
        }
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            ++j;
        }
        if (j < text.size() && isDigit(text[j])) {
            for (i = j; i < text.size() && isDigit(text[i]); ++i) {
            }
        }
    }
    if (digits == 0 || i != text.size()) {
        *reason = quoted(text) + " is not a number";
        return false;
    }
    if (!toDouble(text.substr(start), negative, value)) {
        *reason = quoted(text) + " is out of range";
        return false;
    }
    return true;
}

// Reads a whole JSON document (RFC 8259) and keeps the value found at a path of member names
// and array indexes. Nothing is built but that value.
class JsonReader {
public:
    enum class Kind { Missing, Null, Boolean, Number, String, Object, Array };
    static constexpr size_t kMaxDepth = 64;

    JsonReader(std::string_view text, const std::vector<std::string>& path)
        : m_text(text), m_path(path) {}

    //! False with the reason when the text is not one JSON value.
    bool read(std::string* reason) {
        const bool ok = value(0, true) && (blanks(), m_at == m_text.size());
        if (!ok) {
            *reason = m_tooDeep ? "JSON nested deeper than " + std::to_string(kMaxDepth) +
                                      " levels at offset " + std::to_string(m_at)
                                : "invalid JSON at offset " + std::to_string(m_at);
        }
        return ok;
    }

    Kind kind = Kind::Missing;
    bool boolean = false;
    double number = 0.0;
    bool numberInRange = true;
    std::string string;

private:
    bool value(size_t depth, bool onPath) {
        blanks();
        const bool target = onPath && depth == m_path.size();
        if (m_at >= m_text.size()) {
            return false;
        }
        switch (m_text[m_at]) {
        case '{':
            return object(depth, onPath, target);
        case '[':
            return array(depth, onPath, target);
        case '"': {
            std::string text;
            if (!readString(&text)) {
                return false;
            }
            if (target) {
                found(Kind::String);
                string = std::move(text);
            }
            return true;
        }
        case 't':
        case 'f':
        case 'n': {
            const char* word = m_text[m_at] == 't'   ? "true"
                               : m_text[m_at] == 'f' ? "false"
                                                     : "null";
            for (const char* c = word; *c; ++c, ++m_at) {
                if (m_at >= m_text.size() || m_text[m_at] != *c) {
                    return false;
                }
            }
            if (target) {
                found(word[0] == 'n' ? Kind::Null : Kind::Boolean);
                boolean = word[0] == 't';
            }
            return true;
        }
        default:
            return readNumber(target);
        }
    }

    bool object(size_t depth, bool onPath, bool target) {
        if (!deeper(depth)) {
            return false;
        }
        if (target) {
            found(Kind::Object);
        }
        ++m_at;
        blanks();
        if (m_at < m_text.size() && m_text[m_at] == '}') {
            ++m_at;
            return true;
        }
        for (;;) {
            blanks();
            std::string name;
            if (m_at >= m_text.size() || m_text[m_at] != '"' || !readString(&name)) {
                return false;
            }
            blanks();
            if (m_at >= m_text.size() || m_text[m_at] != ':') {
                return false;
            }
            ++m_at;
            const bool member = onPath && depth < m_path.size() && name == m_path[depth];
            if (!value(depth + 1, member) || !next('}')) {
                return false;
            }
            if (m_text[m_at - 1] == '}') {
                return true;
            }
        }
    }

    bool array(size_t depth, bool onPath, bool target) {
        if (!deeper(depth)) {
            return false;
        }
        if (target) {
            found(Kind::Array);
        }
        ++m_at;
        blanks();
        if (m_at < m_text.size() && m_text[m_at] == ']') {
            ++m_at;
            return true;
        }
        for (size_t index = 0;; ++index) {
            // An index token is the decimal number without leading zeros, as to_string writes it.
            const bool item =
                onPath && depth < m_path.size() && std::to_string(index) == m_path[depth];
            if (!value(depth + 1, item) || !next(']')) {
                return false;
            }
            if (m_text[m_at - 1] == ']') {
                return true;
            }
        }
    }

    // After a member or an item: a comma, or the closing bracket.
    bool next(char close) {
        blanks();
        if (m_at < m_text.size() && (m_text[m_at] == ',' || m_text[m_at] == close)) {
            ++m_at;
            return true;
        }
        return false;
    }

    bool deeper(size_t depth) {
        if (depth >= kMaxDepth) {
            m_tooDeep = true;
            return false;
        }
        return true;
    }

    bool readString(std::string* out) {
        ++m_at; // the opening quote
        while (m_at < m_text.size()) {
            const unsigned char c = static_cast<unsigned char>(m_text[m_at]);
            if (c == '"') {
                ++m_at;
                return true;
            }
            if (c < 0x20) {
                return false;
            }
            if (c == '\\') {
                if (!escape(out)) {
                    return false;
                }
                continue;
            }
            const size_t length = utf8Length(m_text.substr(m_at));
            if (length == 0) {
                return false;
            }
            out->append(m_text.substr(m_at, length));
            m_at += length;
        }
        return false;
    }

    bool escape(std::string* out) {
        const size_t start = m_at;
        if (m_at + 1 >= m_text.size()) {
            return false;
        }
        const char c = m_text[++m_at];
        static const std::string_view kFrom = "\"\\/bfnrt", kTo = "\"\\/\b\f\n\r\t";
        const size_t simple = kFrom.find(c);
        if (simple != std::string_view::npos) {
            *out += kTo[simple];
            ++m_at;
            return true;
        }
        uint32_t code = 0;
        if (c != 'u' || !hex4(&code)) {
            return false;
        }
        if (code >= 0xD800 && code <= 0xDBFF && m_text.substr(m_at, 2) == "\\u") {
            uint32_t low = 0;
            ++m_at;
            if (!hex4(&low)) {
                return false;
            }
            if (low < 0xDC00 || low > 0xDFFF) {
                m_at = start;
                return false;
            }
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        }
        if (code >= 0xD800 && code <= 0xDFFF) {
            m_at = start; // half of a surrogate pair
            return false;
        }
        appendUtf8(code, out);
        return true;
    }

    // The four hex digits after the 'u' at m_at; leaves m_at after them.
    bool hex4(uint32_t* code) {
        for (int i = 0; i < 4; ++i) {
            ++m_at;
            const char c = m_at < m_text.size() ? m_text[m_at] : '\0';
            const int digit = isDigit(c)             ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
            if (digit < 0) {
                return false;
            }
            *code = *code * 16 + static_cast<uint32_t>(digit);
        }
        ++m_at;
        return true;
    }

    // -? (0 | [1-9][0-9]*) (. [0-9]+)? ([eE] [+-]? [0-9]+)?
    bool readNumber(bool target) {
        const size_t start = m_at;
        const auto digitsHere = [&] {
            const size_t first = m_at;
            while (m_at < m_text.size() && isDigit(m_text[m_at])) {
                ++m_at;
            }
            return m_at - first;
        };
        const bool negative = m_text[m_at] == '-';
        if (negative) {
            ++m_at;
        }
        const size_t intStart = m_at;
        const size_t intDigits = digitsHere();
        if (intDigits == 0) {
            return false;
        }
        if (intDigits > 1 && m_text[intStart] == '0') {
            m_at = intStart + 1;
            return false;
        }
        if (m_at < m_text.size() && m_text[m_at] == '.') {
            ++m_at;
            if (digitsHere() == 0) {
                return false;
            }
        }
        if (m_at < m_text.size() && (m_text[m_at] == 'e' || m_text[m_at] == 'E')) {
            ++m_at;
            if (m_at < m_text.size() && (m_text[m_at] == '+' || m_text[m_at] == '-')) {
                ++m_at;
            }
            if (digitsHere() == 0) {
                return false;
            }
        }
        if (target) {
            found(Kind::Number);
            numberInRange = toDouble(m_text.substr(intStart, m_at - intStart), negative, &number);
            string = std::string(m_text.substr(start, m_at - start));
        }
        return true;
    }

    void found(Kind what) {
        kind = what;
        string.clear();
    }

    void blanks() {
        while (m_at < m_text.size() && isBlank(m_text[m_at])) {
            ++m_at;
        }
    }

    std::string_view m_text;
    const std::vector<std::string>& m_path;
    size_t m_at = 0;
    bool m_tooDeep = false;
};

const char* kindName(JsonReader::Kind kind) {
    switch (kind) {
    case JsonReader::Kind::Null:
        return "null";
    case JsonReader::Kind::Boolean:
        return "a boolean";
    case JsonReader::Kind::Number:
        return "a number";
    case JsonReader::Kind::String:
        return "a string";
    case JsonReader::Kind::Object:
        return "an object";
    case JsonReader::Kind::Array:
        return "an array";
    case JsonReader::Kind::Missing:
        break;
    }
    return "missing";
}

DecodedValue bad(std::string reason) {
    DecodedValue result;
    result.reason = std::move(reason);
    return result;
}

DecodedValue decodeJson(const TagDef& tag, std::string_view message) {
    const std::string& pointer = tag.source.jsonPointer;
    std::vector<std::string> path;
    if (!splitJsonPointer(pointer, &path)) {
        return bad("bad JSON pointer " + quoted(pointer));
    }
    JsonReader reader(message, path);
    std::string reason;
    if (!reader.read(&reason)) {
        return bad(reason);
    }
    if (reader.kind == JsonReader::Kind::Missing) {
        return bad("no member " + pointer);
    }
    const bool wantText = tag.type == VarType::String;
    const std::string what = pointer.empty() ? "the message" : pointer;
    DecodedValue result;
    if (wantText && reader.kind == JsonReader::Kind::String) {
        result.text = std::move(reader.string);
        result.isText = true;
    } else if (!wantText && reader.kind == JsonReader::Kind::Boolean) {
        result.number = reader.boolean ? 1.0 : 0.0;
    } else if (!wantText && reader.kind == JsonReader::Kind::Number) {
        if (!reader.numberInRange) {
            return bad(what + " " + quoted(reader.string) + " is out of range");
        }
        result.number = reader.number;
    } else {
        return bad(what + " is " + kindName(reader.kind) + ", not " +
                   (wantText ? "a string" : "a number"));
    }
    result.ok = true;
    return result;
}

void appendJsonString(std::string_view text, std::string* out) {
    *out += '"';
    for (char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            *out += '\\';
            *out += c;
        } else if (byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", byte);
            *out += escaped;
        } else {
            *out += c;
        }
    }
    *out += '"';
}

} // namespace

bool splitJsonPointer(const std::string& pointer, std::vector<std::string>* tokens) {
    tokens->clear();
    if (pointer.empty()) {
        return true;
    }
    if (pointer[0] != '/') {
        return false;
    }
    for (size_t i = 0; i < pointer.size(); ++i) {
        if (pointer[i] == '/') {
            tokens->emplace_back();
        } else if (pointer[i] != '~') {
            tokens->back() += pointer[i];
        } else if (i + 1 < pointer.size() && (pointer[i + 1] == '0' || pointer[i + 1] == '1')) {
            tokens->back() += pointer[++i] == '0' ? '~' : '/';
        } else {
            return false;
        }
    }
    return true;
}

DecodedValue decodePayload(const TagDef& tag, std::string_view message) {
    if (message.size() > kMaxPayloadBytes) {
        return bad("message of " + std::to_string(message.size()) + " bytes is over the " +
                   std::to_string(kMaxPayloadBytes) + " limit");
    }
    const TagSource::Payload form = tag.source.payload;
    if (form == TagSource::Payload::Json) {
        return decodeJson(tag, message);
    }
    DecodedValue result;
    if (form == TagSource::Payload::Text && tag.type == VarType::String) {
        if (!isUtf8(message)) {
            return bad("message is not UTF-8 text");
        }
        result.text = std::string(message);
        result.isText = true;
    } else if (!readNumber(message, &result.number, &result.reason)) {
        return result;
    } else if (tag.type == VarType::String) {
        result.text = std::string(trimmed(message)); // the plant's own digits
        result.isText = true;
    }
    result.ok = true;
    return result;
}

bool encodePayload(const TagDef& tag, const WriteValue& value, std::string* message,
                   std::string* reason) {
    const TagSource::Payload form = tag.source.payload;
    if (value.isText && form == TagSource::Payload::Text) {
        *message = value.text;
        return true;
    }
    std::string text;
    if (value.isText && form == TagSource::Payload::Json) {
        if (!isUtf8(value.text)) {
            *reason = "the text is not UTF-8";
            return false;
        }
        appendJsonString(value.text, &text);
    } else {
        double number = value.number;
        if (value.isText && !readNumber(value.text, &number, reason)) {
            return false;
        }
        if (!std::isfinite(number)) {
            *reason = numberText(number) + " is not a finite number";
            return false;
        }
        text = numberText(number);
    }
    if (form != TagSource::Payload::Json) {
        *message = std::move(text);
        return true;
    }
    std::vector<std::string> path;
    if (!splitJsonPointer(tag.source.jsonPointer, &path)) {
        *reason = "bad JSON pointer " + quoted(tag.source.jsonPointer);
        return false;
    }
    message->clear();
    for (const std::string& name : path) {
        *message += '{';
        appendJsonString(name, message);
        *message += ':';
    }
    *message += text;
    message->append(path.size(), '}');
    return true;
}

} // namespace kestro::live
