// Project file text: a strict JSON scanner that records positions, Qt's parse for the values,
// and the typed reads of the screen compiler with their error messages.
#include "runtime/project/jsonsource.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <limits>
#include <tuple>

namespace kestro {

namespace {

constexpr int kMaxDepth = 200;

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return c - 'A' + 10;
}

void appendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Length of the well-formed UTF-8 sequence at text[i], or 0.
size_t utf8SequenceLength(const std::string& text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = byte(i);
    if (c < 0x80) {
        return 1;
    }
    size_t length = 0;
    uint32_t code = 0;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2, code = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3, code = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4, code = c & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    if (overlong || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
        return 0;
    }
    return length;
}

// A strict JSON scanner (RFC 8259). It builds the span tree and decodes member names the way
// Qt does, so that names can be looked up in Qt's objects.
class Scanner {
public:
    explicit Scanner(const std::string& text) : m_text(text) {}

    void document(JsonSpan* root) {
        skipBlanks();
        value(root, 0);
        skipBlanks();
        if (m_pos != m_text.size()) {
            throw SourceFailure(m_pos, "expected the end of the document after the top-level "
                                       "value");
        }
    }

    // Decodes the string literal at m_pos; with stopAt set, returns instead the offset of the
    // stopAt-th decoded byte (or the closing quote).
    std::string string(size_t stopAt = std::string::npos, size_t* stopOffset = nullptr) {
        const size_t start = m_pos;
        std::string out;
        ++m_pos; // opening quote
        for (;;) {
            if (stopOffset && out.size() >= stopAt) {
                *stopOffset = m_pos;
                return out;
            }
            if (m_pos >= m_text.size()) {
                throw SourceFailure(start, "unterminated string: expected '\"' before the end "
                                           "of the text");
            }
            const unsigned char c = static_cast<unsigned char>(m_text[m_pos]);
            if (c == '"') {
                if (stopOffset) {
                    *stopOffset = m_pos;
                }
                ++m_pos;
                return out;
            }
            if (c == '\n') {
                throw SourceFailure(start, "unterminated string: expected '\"' before the end "
                                           "of the line");
            }
            if (c < 0x20) {
                throw SourceFailure(m_pos, "control character in a string: write it as an "
                                           "escape such as \\t or \\u0001");
            }
            if (c == '\\') {
                escape(out);
                continue;
            }
            const size_t length = utf8SequenceLength(m_text, m_pos);
            if (length == 0) {
                throw SourceFailure(m_pos, "invalid UTF-8 in a string");
            }
            out.append(m_text, m_pos, length);
            m_pos += length;
        }
    }

    void setPosition(size_t pos) { m_pos = pos; }

private:
    void skipBlanks() {
        while (m_pos < m_text.size() && (m_text[m_pos] == ' ' || m_text[m_pos] == '\t' ||
                                         m_text[m_pos] == '\n' || m_text[m_pos] == '\r')) {
            ++m_pos;
        }
    }

    bool at(char c) const { return m_pos < m_text.size() && m_text[m_pos] == c; }

    void value(JsonSpan* span, int depth) {
        span->offset = m_pos;
        if (m_pos >= m_text.size()) {
            throw SourceFailure(m_pos, "expected a value before the end of the text");
        }
        const char c = m_text[m_pos];
        if (c == '{' || c == '[') {
            if (depth >= kMaxDepth) {
                throw SourceFailure(m_pos, "values nested more than 200 levels deep");
            }
            c == '{' ? object(span, depth) : array(span, depth);
        } else if (c == '"') {
            string();
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            number();
        } else if (!literal("true") && !literal("false") && !literal("null")) {
            throw SourceFailure(m_pos, "expected a value (object, array, string, number, true, "
                                       "false or null)");
        }
    }

    bool literal(const char* word) {
        const std::string w(word);
        if (m_text.compare(m_pos, w.size(), w) != 0) {
            return false;
        }
        const size_t end = m_pos + w.size();
        if (end < m_text.size() && std::isalnum(static_cast<unsigned char>(m_text[end]))) {
            return false;
        }
        m_pos = end;
        return true;
    }

    void object(JsonSpan* span, int depth) {
        if (!opens('}')) {
            return;
        }
        do {
            if (!at('"')) {
                throw SourceFailure(m_pos, "expected a member name in double quotes");
            }
            JsonSpan member;
            member.keyOffset = m_pos;
            std::string name = string();
            for (const auto& [other, otherSpan] : span->members) {
                if (other == name) {
                    throw SourceFailure(member.keyOffset,
                                        "duplicate member '" + name + "' in this object");
                }
            }
            skipBlanks();
            if (!at(':')) {
                throw SourceFailure(m_pos, "expected ':' after the member name");
            }
            ++m_pos;
            skipBlanks();
            value(&member, depth + 1);
            span->members.emplace_back(std::move(name), std::move(member));
        } while (another('}', "expected ',' or '}' after an object member"));
    }

    void array(JsonSpan* span, int depth) {
        if (!opens(']')) {
            return;
        }
        do {
            JsonSpan item;
            value(&item, depth + 1);
            span->items.push_back(std::move(item));
        } while (another(']', "expected ',' or ']' after an array item"));
    }

    // Past the opening bracket of an object or array: false when it closes at once.
    bool opens(char close) {
        ++m_pos;
        skipBlanks();
        if (at(close)) {
            ++m_pos;
            return false;
        }
        return true;
    }

    // After a member or an item: true when a comma brings another, false at the closing
    // bracket.
    bool another(char close, const char* failure) {
        skipBlanks();
        if (at(',')) {
            ++m_pos;
            skipBlanks();
            return true;
        }
        if (at(close)) {
            ++m_pos;
            return false;
        }
        throw SourceFailure(m_pos, failure);
    }

    void digits(const char* what) {
        if (m_pos >= m_text.size() || !std::isdigit(static_cast<unsigned char>(m_text[m_pos]))) {
            throw SourceFailure(m_pos, std::string("expected a digit ") + what);
        }
        while (m_pos < m_text.size() && std::isdigit(static_cast<unsigned char>(m_text[m_pos]))) {
            ++m_pos;
        }
    }

    void number() {
        const size_t start = m_pos;
        if (at('-')) {
            ++m_pos;
        }
        if (at('0')) {
            ++m_pos;
            if (m_pos < m_text.size() && std::isdigit(static_cast<unsigned char>(m_text[m_pos]))) {
                throw SourceFailure(m_pos - 1, "a number must not start with the digit 0 "
                                               "followed by more digits");
            }
        } else {
            digits("in the number");
        }
        if (at('.')) {
            ++m_pos;
            digits("after the decimal point");
        }
        if (at('e') || at('E')) {
            ++m_pos;
            if (at('+') || at('-')) {
                ++m_pos;
            }
            digits("in the exponent");
        }
        // Read the way Qt reads it, so that a number this accepts Qt accepts too.
        bool ok = false;
        const double value =
            QByteArray(m_text.data() + start, static_cast<qsizetype>(m_pos - start)).toDouble(&ok);
        if (!ok || !std::isfinite(value)) {
            throw SourceFailure(start, "number out of range");
        }
    }

    void escape(std::string& out) {
        const size_t start = m_pos;
        ++m_pos;
        if (m_pos >= m_text.size()) {
            throw SourceFailure(start, "unterminated string: expected '\"' before the end of the "
                                       "text");
        }
        const char c = m_text[m_pos++];
        switch (c) {
        case '"':
            out += '"';
            return;
        case '\\':
            out += '\\';
            return;
        case '/':
            out += '/';
            return;
        case 'b':
            out += '\b';
            return;
        case 'f':
            out += '\f';
            return;
        case 'n':
            out += '\n';
            return;
        case 'r':
            out += '\r';
            return;
        case 't':
            out += '\t';
            return;
        case 'u':
            break;
        default:
            throw SourceFailure(start, std::string("invalid escape '\\") + c +
                                           "' in a string: expected one of \\\" \\\\ \\/ \\b "
                                           "\\f \\n \\r \\t \\uXXXX");
        }
        uint32_t code = hex4(start);
        if (code >= 0xD800 && code <= 0xDBFF) {
            if (m_text.compare(m_pos, 2, "\\u") != 0) {
                throw SourceFailure(start, "a high surrogate \\u escape must be followed by a "
                                           "low surrogate \\u escape");
            }
            const size_t second = m_pos;
            m_pos += 2;
            const uint32_t low = hex4(second);
            if (low < 0xDC00 || low > 0xDFFF) {
                throw SourceFailure(second, "expected a low surrogate \\u escape (DC00 to DFFF)");
            }
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        } else if (code >= 0xDC00 && code <= 0xDFFF) {
            throw SourceFailure(start, "a low surrogate \\u escape without a high surrogate");
        }
        appendUtf8(out, code);
    }

    uint32_t hex4(size_t escapeStart) {
        uint32_t code = 0;
        for (int i = 0; i < 4; ++i) {
            if (m_pos >= m_text.size() || !isHexDigit(m_text[m_pos])) {
                throw SourceFailure(escapeStart, "expected four hexadecimal digits after \\u");
            }
            code = code * 16 + static_cast<uint32_t>(hexValue(m_text[m_pos++]));
        }
        return code;
    }

    const std::string& m_text;
    size_t m_pos = 0;
};

std::string typeName(const QJsonValue& value) {
    switch (value.type()) {
    case QJsonValue::Object:
        return "an object";
    case QJsonValue::Array:
        return "an array";
    case QJsonValue::String:
        return "a string";
    case QJsonValue::Double:
        return "a number";
    case QJsonValue::Bool:
        return "a boolean";
    default:
        return "null";
    }
}

std::string numberText(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

} // namespace

bool isValidUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const size_t length = utf8SequenceLength(text, i);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

// ---- JsonSource ----

bool JsonSource::parse(const std::string& text, const std::string& fileName, ProjectError* error) {
    // Editors on some systems start a UTF-8 file with a byte order mark; it is no part of the
    // document, and positions count from after it, as the editor shows them.
    static const std::string kByteOrderMark = "\xEF\xBB\xBF";
    m_text = text.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0
                 ? text.substr(kByteOrderMark.size())
                 : text;
    m_fileName = fileName;
    m_span = JsonSpan{};
    try {
        Scanner(m_text).document(&m_span);
    } catch (const SourceFailure& failure) {
        if (error) {
            *error = errorAt(failure.offset, failure.message);
        }
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray(m_text.data(), static_cast<qsizetype>(m_text.size())), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        // The scanner is stricter than Qt; should Qt still refuse, its word is final.
        if (error) {
            *error = errorAt(static_cast<size_t>(std::max(0, parseError.offset)),
                             parseError.errorString().toStdString());
        }
        return false;
    }
    m_root = document.isObject() ? QJsonValue(document.object()) : QJsonValue(document.array());
    return true;
}

Node JsonSource::root() const {
    return Node(this, m_root, &m_span, "the project");
}

std::pair<int, int> JsonSource::position(size_t offset) const {
    int line = 1;
    int column = 1;
    const size_t end = std::min(offset, m_text.size());
    for (size_t i = 0; i < end; ++i) {
        const unsigned char c = static_cast<unsigned char>(m_text[i]);
        if (c == '\n') {
            ++line;
            column = 1;
        } else if ((c & 0xC0) != 0x80) { // continuation bytes belong to their character
            ++column;
        }
    }
    return {line, column};
}

ProjectError JsonSource::errorAt(size_t offset, const std::string& message) const {
    ProjectError error;
    error.file = m_fileName;
    std::tie(error.line, error.column) = position(offset);
    error.message = message;
    return error;
}

size_t JsonSource::literalOffset(size_t literal, size_t decodedOffset) const {
    Scanner scanner(m_text);
    scanner.setPosition(literal);
    size_t offset = literal;
    try {
        scanner.string(decodedOffset, &offset);
    } catch (const SourceFailure&) {
        // The text was scanned once already; a failure here cannot happen.
    }
    return offset;
}

// ---- Node ----

Node Node::operator[](const std::string& key) const {
    expectObject();
    for (const auto& [name, span] : m_span->members) {
        if (name == key) {
            return Node(m_source, m_value.toObject().value(QString::fromStdString(key)), &span,
                        key);
        }
    }
    return Node();
}

std::vector<std::string> Node::keys() const {
    expectObject();
    std::vector<std::string> names;
    for (const auto& member : m_span->members) {
        names.push_back(member.first);
    }
    return names;
}

void Node::allowOnly(const std::vector<std::string>& allowed, const std::string& where) const {
    expectObject();
    for (const auto& [name, span] : m_span->members) {
        bool known = false;
        for (const std::string& candidate : allowed) {
            known = known || candidate == name;
        }
        if (!known) {
            throw SourceFailure(span.keyOffset, "unknown field '" + name + "' in " + where);
        }
    }
}

std::vector<Node> Node::items() const {
    expectArray();
    const QJsonArray array = m_value.toArray();
    std::vector<Node> nodes;
    for (size_t i = 0; i < m_span->items.size(); ++i) {
        nodes.emplace_back(m_source, array.at(static_cast<qsizetype>(i)), &m_span->items[i],
                           m_label + "[" + std::to_string(i) + "]");
    }
    return nodes;
}

std::string Node::kindName() const {
    return typeName(m_value);
}

void Node::wrongType(const char* expected) const {
    fail("'" + m_label + "' must be " + expected + ", found " + kindName());
}

void Node::expectObject() const {
    if (!m_value.isObject()) {
        wrongType("an object");
    }
}

void Node::expectArray() const {
    if (!m_value.isArray()) {
        wrongType("an array");
    }
}

bool Node::toBool() const {
    if (!m_value.isBool()) {
        wrongType("true or false");
    }
    return m_value.toBool();
}

double Node::toNumber() const {
    if (!m_value.isDouble()) {
        wrongType("a number");
    }
    return m_value.toDouble();
}

int64_t Node::toInteger(int64_t min, int64_t max) const {
    int64_t result = 0;
    if (m_value.isString()) {
        const std::string text = m_value.toString().toStdString();
        if (text.compare(0, 2, "0x") != 0 && text.compare(0, 2, "0X") != 0) {
            wrongType("a whole number");
        }
        bool ok = text.size() > 2 && text.size() <= 18 && text[0] == '0' &&
                  (text[1] == 'x' || text[1] == 'X');
        for (size_t i = 2; ok && i < text.size(); ++i) {
            ok = isHexDigit(text[i]);
            result = result * 16 + (ok ? hexValue(text[i]) : 0);
        }
        if (!ok || text.size() > 10) {
            fail("'" + m_label +
                 "' must be a whole number or hexadecimal text such as "
                 "\"0x1F\", found \"" +
                 text + "\"");
        }
        // Hexadecimal gives the field's bits: a signed field reads them in two's complement,
        // so "0xFFFFFFFF" is -1 in an int32 field.
        const bool twosComplement =
            min < 0 && max > 0 && max <= std::numeric_limits<int32_t>::max() && min == -max - 1;
        if (twosComplement && result > max && result <= 2 * max + 1) {
            result -= 2 * (max + 1);
        }
    } else {
        if (!m_value.isDouble()) {
            wrongType("a whole number");
        }
        const double value = m_value.toDouble();
        if (value != std::floor(value)) {
            fail("'" + m_label + "' must be a whole number, found " + numberText(value));
        }
        if (value < static_cast<double>(min) || value > static_cast<double>(max)) {
            fail("'" + m_label + "' must be between " + std::to_string(min) + " and " +
                 std::to_string(max) + ", found " + numberText(value));
        }
        result = static_cast<int64_t>(value);
    }
    if (result < min || result > max) {
        fail("'" + m_label + "' must be between " + std::to_string(min) + " and " +
             std::to_string(max) + ", found " + std::to_string(result));
    }
    return result;
}

float Node::toFloat32() const {
    const double value = toNumber();
    if (std::fabs(value) > std::numeric_limits<float>::max()) {
        fail("'" + m_label +
             "' is out of the range of a single-precision number: " + numberText(value));
    }
    return static_cast<float>(value);
}

std::string Node::toText() const {
    if (!m_value.isString()) {
        wrongType("a string");
    }
    return m_value.toString().toStdString();
}

uint32_t Node::toColor() const {
    const std::string text = m_value.isString() ? m_value.toString().toStdString() : "";
    bool ok = m_value.isString() && (text.size() == 7 || text.size() == 9) && text[0] == '#';
    uint32_t rgb = 0;
    for (size_t i = 1; ok && i < text.size(); ++i) {
        ok = isHexDigit(text[i]);
        rgb = rgb * 16 + (ok ? static_cast<uint32_t>(hexValue(text[i])) : 0u);
    }
    if (!ok) {
        fail("'" + m_label + "' must be a colour \"#RRGGBB\", found " +
             (m_value.isString() ? "\"" + text + "\"" : kindName()));
    }
    return rgb;
}

std::string Node::toHexBytes() const {
    const std::string text = toText();
    std::string bytes;
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            ++i;
            continue;
        }
        if (!isHexDigit(c) || i + 1 >= text.size() || !isHexDigit(text[i + 1])) {
            const size_t bad = isHexDigit(c) ? i + 1 : i;
            failInside(bad, "'" + m_label +
                                "' must be hexadecimal bytes, two digits each (such as \"0a ff\")");
        }
        bytes += static_cast<char>(hexValue(c) * 16 + hexValue(text[i + 1]));
        i += 2;
    }
    return bytes;
}

std::string Node::toRecordText() const {
    if (m_value.isObject()) {
        allowOnly({"hex"}, "a text given as bytes");
        const Node hex = (*this)["hex"];
        if (!hex.exists()) {
            fail("'" + m_label + "' as an object must hold \"hex\": the text's bytes");
        }
        return hex.toHexBytes();
    }
    if (!m_value.isString()) {
        wrongType("a string (or {\"hex\": ...})");
    }
    return toText();
}

void Node::fail(const std::string& message) const {
    throw SourceFailure(offset(), message);
}

void Node::failAtKey(const std::string& message) const {
    throw SourceFailure(keyOffset(), message);
}

void Node::failInside(size_t decodedOffset, const std::string& message) const {
    throw SourceFailure(m_source->literalOffset(offset(), decodedOffset), message);
}

} // namespace kestro
