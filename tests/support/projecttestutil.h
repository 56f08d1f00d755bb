// Helpers of the project tests: bytes as hex, hex as bytes, the example project files.
#pragma once

#include "runtime/project/projectio.h"

#include <QByteArray>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace projecttest {

//! "0a 01 ff": the bytes as lower-case hex pairs.
inline std::string hex(const std::string& bytes) {
    return QByteArray::fromStdString(bytes).toHex(' ').toStdString();
}

//! "0a 01 ff" (blanks anywhere) as bytes.
inline std::string bytes(const std::string& hexText) {
    return QByteArray::fromHex(QByteArray::fromStdString(hexText)).toStdString();
}

inline std::string sourceDir() {
    const char* dir = std::getenv("KV_SOURCE_DIR");
    return dir ? dir : ".";
}

inline std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

inline kestro::Project compiled(const std::string& json, const std::string& name = "test.json") {
    kestro::Project project;
    kestro::ProjectError error;
    if (!kestro::compileProjectJson(json, name, &project, &error)) {
        ADD_FAILURE() << error.text();
    }
    return project;
}

} // namespace projecttest
