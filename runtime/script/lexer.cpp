// Tokens of the expression language.
#include "runtime/script/lexer.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace kestro::script {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int hexValue(char c) {
    if (isDigit(c)) {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string describeChar(unsigned char c) {
    char text[32];
    if (c >= 0x21 && c < 0x7F) {
        std::snprintf(text, sizeof text, "'%c'", c);
    } else {
        std::snprintf(text, sizeof text, "byte 0x%02x", c);
    }
    return text;
}

} // namespace

void Lexer::skipBlanks() {
    while (m_pos < m_source.size()) {
        const char c = m_source[m_pos];
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') {
            return;
        }
        ++m_pos;
    }
}

Token Lexer::next() {
    skipBlanks();
    Token token;
    token.offset = m_pos;
    if (m_pos >= m_source.size()) {
        token.kind = Tok::End;
        return token;
    }
    const char c = m_source[m_pos];
    const char after = m_pos + 1 < m_source.size() ? m_source[m_pos + 1] : '\0';
    if (isDigit(c) || (c == '.' && isDigit(after))) {
        return number();
    }
    if (c == '"') {
        return string();
    }
    if (isNameStart(static_cast<unsigned char>(c))) {
        return name();
    }
    auto single = [&](Tok kind) {
        token.kind = kind;
        token.length = 1;
        ++m_pos;
        return token;
    };
    auto pair = [&](Tok kind) {
        token.kind = kind;
        token.length = 2;
        m_pos += 2;
        return token;
    };
    switch (c) {
    case '(':
        return single(Tok::LParen);
    case ')':
        return single(Tok::RParen);
    case ',':
        return single(Tok::Comma);
    case '?':
        return single(Tok::Question);
    case ':':
        return single(Tok::Colon);
    case '+':
        return single(Tok::Plus);
    case '-':
        return single(Tok::Minus);
    case '*':
        return single(Tok::Star);
    case '/':
        return single(Tok::Slash);
    case '%':
        return single(Tok::Percent);
    case '!':
        return after == '=' ? pair(Tok::Ne) : single(Tok::Not);
    case '<':
        return after == '=' ? pair(Tok::Le) : single(Tok::Lt);
    case '>':
        return after == '=' ? pair(Tok::Ge) : single(Tok::Gt);
    case '=':
        if (after == '=') {
            return pair(Tok::Eq);
        }
        throw SourceError(m_pos, "expected '==' (a single '=' is no operator)");
    case '&':
        if (after == '&') {
            return pair(Tok::And);
        }
        throw SourceError(m_pos, "expected '&&'");
    case '|':
        if (after == '|') {
            return pair(Tok::Or);
        }
        throw SourceError(m_pos, "expected '||'");
    default:
        throw SourceError(m_pos, "unexpected " + describeChar(static_cast<unsigned char>(c)));
    }
}

Token Lexer::number() {
    Token token;
    token.offset = m_pos;
    const size_t size = m_source.size();
    size_t i = m_pos;
    bool decimal = false;
    while (i < size && isDigit(m_source[i])) {
        ++i;
    }
    if (i < size && m_source[i] == '.') {
        decimal = true;
        ++i;
        if (i >= size || !isDigit(m_source[i])) {
            throw SourceError(i, "expected a digit after '.'");
        }
        while (i < size && isDigit(m_source[i])) {
            ++i;
        }
    }
    if (i < size && (m_source[i] == 'e' || m_source[i] == 'E')) {
        decimal = true;
        ++i;
        if (i < size && (m_source[i] == '+' || m_source[i] == '-')) {
            ++i;
        }
        if (i >= size || !isDigit(m_source[i])) {
            throw SourceError(i, "expected a digit in the exponent");
        }
        while (i < size && isDigit(m_source[i])) {
            ++i;
        }
    }
    if (i < size && isNamePart(static_cast<unsigned char>(m_source[i])) && m_source[i] != '.') {
        throw SourceError(m_pos, "tag names must not start with a digit");
    }
    const char* first = m_source.data() + m_pos;
    const char* last = m_source.data() + i;
    if (decimal) {
        token.kind = Tok::Decimal;
        const auto parsed = std::from_chars(first, last, token.decimal);
        if (parsed.ec != std::errc() || !std::isfinite(token.decimal)) {
            throw SourceError(m_pos, "decimal constant out of range");
        }
    } else {
        token.kind = Tok::Integer;
        // Accumulated by hand: 2^63 is valid after a minus sign, which only the parser knows.
        for (const char* p = first; p < last; ++p) {
            const uint64_t digit = static_cast<uint64_t>(*p - '0');
            if (token.integer > (UINT64_C(1) << 63) / 10 ||
                token.integer * 10 + digit > (UINT64_C(1) << 63)) {
                token.integerTooLarge = true;
                break;
            }
            token.integer = token.integer * 10 + digit;
        }
    }
    token.length = i - m_pos;
    m_pos = i;
    return token;
}

Token Lexer::string() {
    Token token;
    token.kind = Tok::String;
    token.offset = m_pos;
    const size_t size = m_source.size();
    size_t i = m_pos + 1;
    for (;;) {
        if (i >= size || m_source[i] == '\n' || m_source[i] == '\r') {
            throw SourceError(i, "expected '\"' to end the string");
        }
        const char c = m_source[i];
        if (c == '"') {
            ++i;
            break;
        }
        if (c != '\\') {
            token.text += c;
            ++i;
            continue;
        }
        if (i + 1 >= size) {
            throw SourceError(size, "expected '\"' to end the string");
        }
        const char e = m_source[i + 1];
        switch (e) {
        case '"':
        case '\\':
            token.text += e;
            break;
        case 'n':
            token.text += '\n';
            break;
        case 't':
            token.text += '\t';
            break;
        case 'r':
            token.text += '\r';
            break;
        case 'x': {
            const int high = i + 2 < size ? hexValue(m_source[i + 2]) : -1;
            const int low = i + 3 < size ? hexValue(m_source[i + 3]) : -1;
            if (high < 0 || low < 0) {
                throw SourceError(i, "expected two hexadecimal digits after '\\x'");
            }
            token.text += static_cast<char>(high * 16 + low);
            i += 2;
            break;
        }
        default:
            throw SourceError(i, "unknown escape sequence '\\" +
                                     std::string(1, e >= 0x20 && e < 0x7F ? e : '?') + "'");
        }
        i += 2;
    }
    token.length = i - m_pos;
    m_pos = i;
    return token;
}

Token Lexer::name() {
    Token token;
    token.kind = Tok::Name;
    token.offset = m_pos;
    size_t i = m_pos;
    while (i < m_source.size() && isNamePart(static_cast<unsigned char>(m_source[i]))) {
        ++i;
    }
    token.text = m_source.substr(m_pos, i - m_pos);
    token.length = i - m_pos;
    m_pos = i;
    return token;
}

} // namespace kestro::script
