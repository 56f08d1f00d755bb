// kestro compile and kestro dump: project file to .kvs container and back.
#include "tools/kestro/commands.h"
#include "tools/kestro/options.h"

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

} // namespace

int compileCommand(const Args& argv) {
    const std::string command = "compile";
    Arguments args;
    std::string error;
    if (!args.parse(argv, {{"--output", "-o", true, false}}, &error)) {
        return usageError(command, error, kCompileUsage);
    }
    if (args.positional().size() != 1) {
        return usageError(command, "one project file expected", kCompileUsage);
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
        if (projectError.file.empty()) {
            projectError.file = input;
        }
        return fail(command, projectError.text());
    }
    if (!writeFile(output, writeKvs(project))) {
        return fail(command, "cannot write " + output);
    }
    return Ok;
}

int dumpCommand(const Args& argv) {
    const std::string command = "dump";
    Arguments args;
    std::string error;
    if (!args.parse(argv, {{"--output", "-o", true, false}}, &error)) {
        return usageError(command, error, kDumpUsage);
    }
    if (args.positional().size() != 1) {
        return usageError(command, "one project file expected", kDumpUsage);
    }
    const std::string input = args.positional().front();
    Project project;
    ProjectError projectError;
    if (!loadProjectFile(input, &project, &projectError)) {
        if (projectError.file.empty()) {
            projectError.file = input;
        }
        return fail(command, projectError.text());
    }
    if (!writeFile(args.value("--output"), dumpProjectJson(project))) {
        return fail(command, "cannot write " + args.value("--output"));
    }
    return Ok;
}

} // namespace kestro::cli
