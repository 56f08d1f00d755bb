// A project file as the screen compiler reads it: Qt's JSON values, and where each value and
// member name sits in the text, so that every error names a line and a column.
//
// The text is first scanned by a strict JSON scanner that records the positions (and reports
// syntax errors at the exact character, with what was expected there), then parsed with
// QJsonDocument for the values.
#pragma once

#include "runtime/project/projectio.h"

#include <QJsonValue>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <utility>
#include <vector>

namespace kestro {

//! Where a JSON value sits: its first character, and for a member the opening quote of its name.
struct JsonSpan {
    size_t offset = 0;
    size_t keyOffset = 0;
    std::vector<std::pair<std::string, JsonSpan>> members; //!< document order
    std::vector<JsonSpan> items;
};

//! An error at a byte offset of the source text; turned into a ProjectError by the source.
struct SourceFailure : std::exception {
    SourceFailure(size_t at, std::string text) : offset(at), message(std::move(text)) {}
    const char* what() const noexcept override { return message.c_str(); }
    size_t offset;
    std::string message;
};

class Node;

class JsonSource {
public:
    //! Scans and parses text; false with the error filled in when it is no valid JSON.
    bool parse(const std::string& text, const std::string& fileName, ProjectError* error);

    Node root() const;
    //! 1-based line and column (in characters) of a byte offset.
    std::pair<int, int> position(size_t offset) const;
    ProjectError errorAt(size_t offset, const std::string& message) const;
    //! The offset in the text of the decodedOffset-th byte of the string that starts (with its
    //! quote) at literal; escapes count as the bytes they stand for.
    size_t literalOffset(size_t literal, size_t decodedOffset) const;
    const std::string& text() const { return m_text; }

private:
    std::string m_text;
    std::string m_fileName;
    QJsonValue m_root;
    JsonSpan m_span;
};

//! One value of the document with its position. A missing member is a Node that does not exist.
class Node {
public:
    Node() = default;
    Node(const JsonSource* source, QJsonValue value, const JsonSpan* span, std::string label)
        : m_source(source), m_value(std::move(value)), m_span(span), m_label(std::move(label)) {}

    bool exists() const { return m_span != nullptr; }
    const std::string& label() const { return m_label; }
    const QJsonValue& value() const { return m_value; }
    size_t offset() const { return m_span ? m_span->offset : 0; }
    size_t keyOffset() const { return m_span ? m_span->keyOffset : 0; }
    const JsonSource& source() const { return *m_source; }

    bool isObject() const { return m_value.isObject(); }
    bool isArray() const { return m_value.isArray(); }
    bool isString() const { return m_value.isString(); }
    bool isNumber() const { return m_value.isDouble(); }
    bool isBool() const { return m_value.isBool(); }

    //! A member of an object (checked to be one); a Node that does not exist when absent.
    Node operator[](const std::string& key) const;
    //! Member names in document order.
    std::vector<std::string> keys() const;
    //! Fails on a member not in allowed: "unknown field 'x' in <where>".
    void allowOnly(const std::vector<std::string>& allowed, const std::string& where) const;
    //! The items of an array (checked to be one).
    std::vector<Node> items() const;

    void expectObject() const;
    void expectArray() const;
    bool toBool() const;
    double toNumber() const;
    //! A whole number, or "0x..." text of up to eight digits (a signed field's bits), between
    //! min and max.
    int64_t toInteger(int64_t min, int64_t max) const;
    //! A number that fits a float32 record field.
    float toFloat32() const;
    std::string toText() const;
    //! A colour "#RRGGBB", or "#XXRRGGBB" with a high byte: 0x00RRGGBB (plus the high byte).
    uint32_t toColor() const;
    //! Hexadecimal bytes, blanks between the pairs allowed.
    std::string toHexBytes() const;
    //! A string, or {"hex": "..."} for bytes that are no UTF-8 text.
    std::string toRecordText() const;

    [[noreturn]] void fail(const std::string& message) const;
    [[noreturn]] void failAtKey(const std::string& message) const;
    [[noreturn]] void failInside(size_t decodedOffset, const std::string& message) const;
    //! "a string", "an object", ... for messages.
    std::string kindName() const;

private:
    [[noreturn]] void wrongType(const char* expected) const;

    const JsonSource* m_source = nullptr;
    QJsonValue m_value;
    const JsonSpan* m_span = nullptr;
    std::string m_label;
};

//! True for text that is well-formed UTF-8.
bool isValidUtf8(const std::string& text);

} // namespace kestro
