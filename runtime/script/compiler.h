// Compiler from expression source text to program bytes (docs/expressions.md).
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace kestro::script {

struct CompileError {
    size_t offset = 0; //!< byte offset into the source
    int line = 0;      //!< 1-based
    int column = 0;    //!< 1-based, in characters (UTF-8 sequences count once)
    std::string message;

    //! "line:column: message"
    std::string text() const;
};

struct CompileResult {
    std::vector<unsigned char> bytes; //!< the program; empty when compiling failed
    CompileError error;               //!< message empty on success

    bool ok() const { return error.message.empty(); }
};

//! Maps a tag name to its variable index, or -1 for a tag that does not exist.
using Resolver = std::function<int(const std::string& tag)>;

CompileResult compile(const std::string& source, const Resolver& resolver);

} // namespace kestro::script
