// kestro compile and kestro dump: project file to .kvs container and back.
#include "tools/kestro/commands.h"
#include "tools/kestro/options.h"

#include "runtime/project/projectcheck.h"
#include "runtime/project/projectio.h"

#include <QFile>

#include <cstdio>

namespace kestro::cli {

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

int compileCommand(const Arguments& args) {
    const std::string command = kCompileCommand.name;
    const std::string output = args.value("output");
    if (output.empty()) {
        return usageError(kCompileCommand, "the output file is missing (-o FILE.kvs)");
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

int dumpCommand(const Arguments& args) {
    const std::string command = kDumpCommand.name;
    const std::string input = args.positional().front();
    Project project;
    ProjectError projectError;
    if (!loadProjectFile(input, &project, &projectError)) {
        return projectFailure(command, projectError, input);
    }
    if (!writeFile(args.value("output"), dumpProjectJson(project))) {
        return fail(command, "cannot write " + args.value("output"));
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
