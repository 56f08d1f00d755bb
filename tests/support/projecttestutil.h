// Helpers of the project tests: bytes as hex, hex as bytes, the example project files.
#pragma once

#include "runtime/project/projectio.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace projecttest {

//! "0a 01 ff": the bytes as lower-case hex pairs.
inline std::string hex(const std::string& bytes) {
    std::string out;
    char pair[4];
    for (unsigned char byte : bytes) {
        std::snprintf(pair, sizeof pair, "%02x", byte);
        if (!out.empty()) {
            out += ' ';
        }
        out += pair;
    }
    return out;
}

//! "0a 01 ff" (blanks anywhere) as bytes.
inline std::string bytes(const std::string& hexText) {
    std::string out;
    std::string digits;
    for (char c : hexText) {
        if (c != ' ' && c != '\n') {
            digits += c;
        }
    }
    for (size_t i = 0; i + 1 < digits.size(); i += 2) {
        out += static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16));
    }
    return out;
}

inline std::string sourceDir() {
    const char* dir = std::getenv("KV_SOURCE_DIR");
    return dir ? dir : ".";
}

inline std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

//! Compiles project text; fails the test with the error when it does not compile.
inline kestro::Project compiled(const std::string& json, const std::string& name = "test.json") {
    kestro::Project project;
    kestro::ProjectError error;
    if (!kestro::compileProjectJson(json, name, &project, &error)) {
        ADD_FAILURE() << error.text();
    }
    return project;
}

} // namespace projecttest
