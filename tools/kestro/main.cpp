// kestro: the reference host's player and project tools on the command line.
//
// The dispatcher picks the command, parses its options (answering -h and --help itself) and
// creates the application the command needs; the command returns the exit code: 0 done, 1
// failed (with a message on stderr), 2 wrong usage (with the usage line).
#include "tools/kestro/commands.h"
#include "tools/kestro/files.h"
#include "tools/kestro/options.h"
#include "tools/kestro/workers.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QGuiApplication>
#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#ifndef KESTRO_VERSION
#error "KESTRO_VERSION is set by the build"
#endif

namespace {

using namespace kestro::cli;

// The commands, in the order of the usage.
const CommandDef* const kCommands[] = {
    &kRenderCommand,   &kTraceCommand,   &kRunCommand,     &kPlayCommand, &kMonitorCommand,
    &kSimulateCommand, &kGalleryCommand, &kCompileCommand, &kDumpCommand, &kPluginsCommand,
};

const CommandDef* findCommand(const std::string& name) {
    for (const CommandDef* command : kCommands) {
        if (name == command->name) {
            return command;
        }
    }
    return nullptr;
}

QtMessageHandler g_qtHandler = nullptr;

// Offscreen rendering needs no runtime directory, so Qt's complaint that none is set would only
// clutter the messages of a command.
void quietQtMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QLatin1String("QStandardPaths: "))) {
        return;
    }
    if (g_qtHandler) {
        g_qtHandler(type, context, message);
    }
}

void printUsage(std::FILE* out) {
    std::fprintf(out, "usage: kestro COMMAND [ARGUMENTS]\n\ncommands:\n");
    for (const CommandDef* command : kCommands) {
        std::fprintf(out, "  %-8s %s\n", command->name, command->summary);
    }
    std::fprintf(out, "\n");
    for (const CommandDef* command : kCommands) {
        std::fprintf(out, "  %s\n", command->synopsis);
    }
    std::fprintf(out, "  kestro help [COMMAND]\n  kestro --version\n");
    std::fprintf(out,
                 "\nWithout FILE the player commands use the built-in demo plant. Plug-ins come "
                 "from --plugins DIR,\nelse $KESTRO_PLUGIN_DIR, else ../lib next to the kestro "
                 "executable. kestro COMMAND --help\nlists the options of a command. See "
                 "docs/kestro.md.\n");
}

int usage(const std::string& message) {
    std::fprintf(stderr, "kestro: %s\n\n", message.c_str());
    printUsage(stderr);
    return Usage;
}

//! kestro help [COMMAND]
int help(const QStringList& topics) {
    if (topics.isEmpty()) {
        printUsage(stdout);
        return Ok;
    }
    if (topics.size() > 1) {
        return usage("help takes one command");
    }
    const CommandDef* command = findCommand(topics.front().toStdString());
    if (!command) {
        return usage("unknown command \"" + topics.front().toStdString() + "\"");
    }
    std::fputs(helpText(*command).c_str(), stdout);
    return Ok;
}

int runCommand(const CommandDef& command, const std::vector<std::string>& argv, char* program) {
    Arguments args;
    std::string error;
    if (!args.parse(argv, command, &error)) {
        return usageError(command, error);
    }
    if (args.helpAsked()) {
        std::fputs(helpText(command).c_str(), stdout);
        return Ok;
    }
    if (command.application == Application::Own) {
        return command.run(args);
    }
    // Rendering must not depend on a display being there.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    std::string threads;
    if (!workerThreadsStart(&threads)) {
        std::fprintf(stderr, "kestro %s: %s\n", command.name, threads.c_str());
        return Failed;
    }
    g_qtHandler = qInstallMessageHandler(quietQtMessages);
    int qtArgc = 1;
    char* qtArgv[] = {program, nullptr};
    QGuiApplication application(qtArgc, qtArgv);
    return command.run(args);
}

int dispatch(int argc, char** argv) {
    QStringList all;
    for (int i = 0; i < argc; ++i) {
        all.append(QString::fromLocal8Bit(argv[i]));
    }
    // Only what comes before the command is kestro's own; the rest is the command's.
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("show the usage"));
    const QCommandLineOption versionOption({QStringLiteral("v"), QStringLiteral("version")},
                                           QStringLiteral("show the version"));
    parser.addOption(helpOption);
    parser.addOption(versionOption);
    const bool parsed = parser.parse(all);
    if (parser.isSet(helpOption)) {
        printUsage(stdout);
        return Ok;
    }
    if (!parsed) {
        // Before the command there are only options: the first one not known is the mistake.
        for (const QString& arg : all.mid(1)) {
            if (arg != QLatin1String("-h") && arg != QLatin1String("--help") &&
                arg != QLatin1String("-v") && arg != QLatin1String("--version")) {
                return usage("unknown option " + arg.toStdString());
            }
        }
        return usage(parser.errorText().toStdString());
    }
    if (parser.isSet(versionOption)) {
        std::printf("kestro %s\n", KESTRO_VERSION);
        return Ok;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        printUsage(stderr);
        return Usage;
    }
    const std::string name = positional.front().toStdString();
    if (name == "help") {
        return help(positional.mid(1));
    }
    const CommandDef* command = findCommand(name);
    if (!command) {
        return usage("unknown command \"" + name + "\"");
    }
    // The command's arguments as given, bytes unchanged.
    const int first = argc - static_cast<int>(positional.size()) + 1;
    const std::vector<std::string> args(argv + first, argv + argc);
    try {
        return runCommand(*command, args, argv[0]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kestro %s: internal error: %s\n", name.c_str(), e.what());
    } catch (...) {
        std::fprintf(stderr, "kestro %s: internal error\n", name.c_str());
    }
    return Failed;
}

} // namespace

int main(int argc, char** argv) {
    const int result = dispatch(argc, argv);
    // Whatever went to stdout (help, tables, JSON) must have arrived, or the command failed; a
    // command that failed already has said why.
    std::string error;
    if (!finishStandardOutput(&error) && result == Ok) {
        std::fprintf(stderr, "kestro: %s\n", error.c_str());
        return Failed;
    }
    return result;
}
