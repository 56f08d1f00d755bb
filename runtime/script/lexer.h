// Tokens of the expression language.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace kestro::script {

enum class Tok {
    End,
    Integer, //!< digits only; integer holds the magnitude (up to 2^63, checked by the parser)
    Decimal, //!< with a fraction or an exponent
    String,
    Name,
    LParen,
    RParen,
    Comma,
    Question,
    Colon,
    Plus,
    Minus,
    Star,
    Slash,
    Percent,
    Not,
    Eq,
    Ne,
    Lt,
    Le,
    Gt,
    Ge,
    And,
    Or,
};

struct Token {
    Tok kind = Tok::End;
    size_t offset = 0;
    size_t length = 0;
    uint64_t integer = 0;
    bool integerTooLarge = false; //!< more than 2^63
    double decimal = 0.0;
    std::string text; //!< the name, or the string's value with escapes resolved
};

//! A fault in the source text at a byte offset.
struct SourceError : std::runtime_error {
    SourceError(size_t at, const std::string& message) : std::runtime_error(message), offset(at) {}
    size_t offset;
};

class Lexer {
public:
    explicit Lexer(const std::string& source) : m_source(source) {}
    //! The next token; throws SourceError for text that is no token.
    Token next();

private:
    void skipBlanks();
    Token number();
    Token string();
    Token name();

    const std::string& m_source;
    size_t m_pos = 0;
};

//! True for bytes that may start a name: letters, '_' and any byte of a UTF-8 sequence,
//! so that tags may carry names in the plant's own language.
inline bool isNameStart(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80;
}
inline bool isNamePart(unsigned char c) {
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '.';
}

} // namespace kestro::script
