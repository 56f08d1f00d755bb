// kestro compile and kestro dump: project file to .kvs container and back.
#include "tools/kestro/commands.h"
#include "tools/kestro/options.h"

#include "runtime/project/projectcheck.h"
#include "runtime/project/projectio.h"

#include <QFile>

#include <cstdio>

namespace kestro::cli {

const char* const kCompileUsage = "kestro compile FILE.json -o FILE.kvs";
const char* const kDumpUsage = "kestro dump FILE.kvs [-o FILE.json]";

namespace {

bool writeFile(const std::string& path, const std::string& bytes) {
    if (path.empty() || path == "-") {
        return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() &&
               std::fflush(stdout) == 0;
    }
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
               static_cast<qint64>(bytes.size()) &&
           file.flush();
}

//! The arguments of a command on one project file with -o; on a mistake prints it with the
//! usage line and returns false.
bool parseFileArguments(const std::string& command, const Args& argv, const char* usage,
                        Arguments* args) {
    std::string error;
    if (!args->parse(argv, {{"--output", "-o", true, false}}, &error)) {
        usageError(command, error, usage);
        return false;
    }
    if (args->positional().size() != 1) {
        usageError(command, "one project file expected", usage);
        return false;
    }
    return true;
}

} // namespace

int compileCommand(const Args& argv) {
    const std::string command = "compile";
    Arguments args;
    if (!parseFileArguments(command, argv, kCompileUsage, &args)) {
        return Usage;
    }
    const std::string output = args.value("--output");
    if (output.empty()) {
        return usageError(command, "the output file is missing (-o FILE.kvs)", kCompileUsage);
    }
    const std::string input = args.positional().front();
    QFile file(QString::fromStdString(input));
    if (!file.open(QIODevice::ReadOnly)) {
        return fail(command, "cannot read " + input);
    }
    const std::string json = file.readAll().toStdString();
    Project project;
    ProjectError projectError;
    if (!compileProjectJson(json, input, &project, &projectError)) {
        return projectFailure(command, projectError, input);
    }
    if (const Problem problem = checkRunnable(project)) {
        return fail(command, problem.message);
    }
    if (!writeFile(output, writeKvs(project))) {
        return fail(command, "cannot write " + output);
    }
    return Ok;
}

int dumpCommand(const Args& argv) {
    const std::string command = "dump";
    Arguments args;
    if (!parseFileArguments(command, argv, kDumpUsage, &args)) {
        return Usage;
    }
    const std::string input = args.positional().front();
    Project project;
    ProjectError projectError;
    if (!loadProjectFile(input, &project, &projectError)) {
        return projectFailure(command, projectError, input);
    }
    if (!writeFile(args.value("--output"), dumpProjectJson(project))) {
        return fail(command, "cannot write " + args.value("--output"));
    }
    return Ok;
}

} // namespace kestro::cli
