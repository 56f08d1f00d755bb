// kestro: the reference host's player and project tools on the command line.
//
// The dispatcher only picks the command; each command parses its own options and returns the
// exit code: 0 done, 1 failed (with a message on stderr), 2 wrong usage.
#include "tools/kestro/commands.h"
#include "tools/kestro/options.h"
#include "tools/kestro/play.h"

#include <QGuiApplication>
#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

namespace {

using namespace kestro::cli;

//! What a command needs to exist before it runs.
enum class Application {
    Gui, //!< a QGuiApplication (fonts, painting), offscreen unless told otherwise
    Own, //!< the command creates its own (a Widgets window needs a QApplication)
};

struct Command {
    const char* name;
    const char* const* usage;
    const char* summary;
    Application application;
    int (*run)(const Args& args);
};

// The table of commands.
const Command kCommands[] = {
    {"render", &kRenderUsage, "paint the current window at a moment of the virtual clock, as PNG",
     Application::Gui, renderCommand},
    {"trace", &kTraceUsage, "every paint call of the current window, per object, as JSON",
     Application::Gui, traceCommand},
    {"run", &kRunUsage, "run a script of events; one JSON line of state and host calls per event",
     Application::Gui, runCommand},
    {"compile", &kCompileUsage, "compile a project file into a .kvs container", Application::Gui,
     compileCommand},
    {"dump", &kDumpUsage, "write a project (.kvs or project file) back as a project file",
     Application::Gui, dumpCommand},
    {"play", &kPlayUsage, "play a project in a window: clicks, keys, keyboards, captures, tags",
     Application::Own, playCommand},
    {"gallery", &kGalleryUsage, "every shape class in its orientations and parameters, as PNG",
     Application::Gui, galleryCommand},
};

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
    for (const Command& command : kCommands) {
        std::fprintf(out, "  %-8s %s\n", command.name, command.summary);
    }
    std::fprintf(out, "\n");
    for (const Command& command : kCommands) {
        std::fprintf(out, "  %s\n", *command.usage);
    }
    std::fprintf(out,
                 "\nWithout FILE the player commands use the built-in demo plant. Plug-ins come "
                 "from --plugins DIR,\nelse $KESTRO_PLUGIN_DIR, else ../lib next to the kestro "
                 "executable. See docs/kestro.md.\n");
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        printUsage(stderr);
        return Usage;
    }
    const std::string name = argv[1];
    if (name == "help" || name == "--help" || name == "-h") {
        printUsage(stdout);
        return Ok;
    }
    const Command* command = nullptr;
    for (const Command& candidate : kCommands) {
        if (name == candidate.name) {
            command = &candidate;
        }
    }
    if (!command) {
        std::fprintf(stderr, "kestro: unknown command \"%s\"\n\n", name.c_str());
        printUsage(stderr);
        return Usage;
    }
    const Args args(argv + 2, argv + argc);
    try {
        if (command->application == Application::Own) {
            return command->run(args);
        }
        // Rendering must not depend on a display being there.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        g_qtHandler = qInstallMessageHandler(quietQtMessages);
        int qtArgc = 1;
        char* qtArgv[] = {argv[0], nullptr};
        QGuiApplication application(qtArgc, qtArgv);
        return command->run(args);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kestro %s: internal error: %s\n", name.c_str(), e.what());
    } catch (...) {
        std::fprintf(stderr, "kestro %s: internal error\n", name.c_str());
    }
    return Failed;
}
