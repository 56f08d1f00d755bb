// The kestro commands. Each takes the arguments after its name and returns the exit code.
#pragma once

#include <string>
#include <vector>

namespace kestro::cli {

using Args = std::vector<std::string>;

int renderCommand(const Args& args);
int traceCommand(const Args& args);
int runCommand(const Args& args);
int compileCommand(const Args& args);
int dumpCommand(const Args& args);

extern const char* const kRenderUsage;
extern const char* const kTraceUsage;
extern const char* const kRunUsage;
extern const char* const kCompileUsage;
extern const char* const kDumpUsage;

} // namespace kestro::cli
