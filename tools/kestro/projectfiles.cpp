// kestro compile and kestro dump: project file to .kvs container and back.
#include "tools/kestro/commands.h"
#include "tools/kestro/files.h"
#include "tools/kestro/options.h"

#include "runtime/project/projectcheck.h"
#include "runtime/project/projectio.h"

#include <QByteArray>

namespace kestro::cli {

namespace {

int compileCommand(const Arguments& args) {
    const std::string command = kCompileCommand.name;
    const std::string output = args.value("output");
    if (output.empty()) {
        return usageError(kCompileCommand, "the output file is missing (-o FILE.kvs)");
    }
    const std::string input = args.positional().front();
    std::string error;
    QByteArray json;
    if (!readInput(input, &json, &error) || !checkNotAnInput(output, {input}, &error)) {
        return fail(command, error);
    }
    Project project;
    ProjectError projectError;
    if (!compileProjectJson(json.toStdString(), input, &project, &projectError)) {
        return projectFailure(command, projectError, input);
    }
    if (const Problem problem = checkRunnable(project)) {
        return fail(command, problem.message);
    }
    if (!writeOutput(output, QByteArray::fromStdString(writeKvs(project)), &error)) {
        return fail(command, error);
    }
    return Ok;
}

int dumpCommand(const Arguments& args) {
    const std::string command = kDumpCommand.name;
    const std::string input = args.positional().front();
    const std::string output = args.value("output");
    std::string error;
    if (!checkInput(input, &error) || !checkNotAnInput(output, {input}, &error)) {
        return fail(command, error);
    }
    Project project;
    ProjectError projectError;
    if (!loadProjectFile(input, &project, &projectError)) {
        return projectFailure(command, projectError, input);
    }
    if (!writeOutput(output, QByteArray::fromStdString(dumpProjectJson(project)), &error)) {
        return fail(command, error);
    }
    return Ok;
}

} // namespace

const CommandDef kCompileCommand = {
    "compile",
    "kestro compile FILE.json -o FILE.kvs",
    "compile a project file into a .kvs container",
    {
        {{QStringLiteral("o"), QStringLiteral("output")},
         QStringLiteral("FILE.kvs"),
         QStringLiteral("the container to write (- for stdout)"),
         false},
    },
    {{QStringLiteral("FILE.json"), QStringLiteral("the project file to check and compile")}},
    1,
    1,
    "one project file expected",
    Application::Gui,
    compileCommand,
};

const CommandDef kDumpCommand = {
    "dump",
    "kestro dump FILE.kvs [-o FILE.json]",
    "write a project (.kvs or project file) back as a project file",
    {
        {{QStringLiteral("o"), QStringLiteral("output")},
         QStringLiteral("FILE.json"),
         QStringLiteral("write the project file there instead of to stdout"),
         false},
    },
    {{QStringLiteral("FILE.kvs"), QStringLiteral("a .kvs container or a project file")}},
    1,
    1,
    "one project file expected",
    Application::Gui,
    dumpCommand,
};

} // namespace kestro::cli
