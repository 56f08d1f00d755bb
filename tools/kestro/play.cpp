// kestro play: the player in a window (Qt Widgets).
#include "tools/kestro/commands.h"
#include "tools/kestro/live.h"
#include "tools/kestro/options.h"
#include "tools/kestro/playwindow.h"

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QString>
#include <QtGlobal>

namespace kestro::cli {

namespace {

QtMessageHandler g_qtHandler = nullptr;

// Notes of Qt's that say nothing to an operator: a runtime directory that the player does not
// use, and a platform without window-size hints (offscreen).
void quietQtMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QLatin1String("QStandardPaths: ")) ||
        message.contains(QLatin1String("propagateSizeHints"))) {
        return;
    }
    if (g_qtHandler) {
        g_qtHandler(type, context, message);
    }
}

bool haveDisplay() {
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
           !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

int playCommand(const Arguments& args) {
    const CommandDef& command = kPlayCommand;
    play::PlayOptions options;
    if (args.has("size") && !parseSize(args.value("size"), &options.viewSize)) {
        return usageError(command, sizeUsage(args.value("size")));
    }
    options.captureDir = QString::fromStdString(args.value("capture-dir"));
    options.paused = args.has("paused");
    PlayerSettings settings;
    if (!readPlayerSettings(command, args, &settings)) {
        return Usage;
    }
    options.session.refreshPeriod = settings.refreshPeriod;
    // Without a display Qt would abort; say what is missing instead.
    if (!haveDisplay()) {
        return fail(command.name, "no display (set DISPLAY, or QT_QPA_PLATFORM=offscreen to try it "
                                  "without one)");
    }

    g_qtHandler = qInstallMessageHandler(quietQtMessages);
    int qtArgc = 1;
    char name[] = "kestro";
    char* qtArgv[] = {name, nullptr};
    QApplication application(qtArgc, qtArgv);

    Project project;
    std::string source;
    PluginSet plugins;
    if (!loadProject(command.name, args, &project, &source) ||
        !loadPlugins(command.name, args, &plugins)) {
        return Failed;
    }
    options.session.plugins = &plugins;
    if (!applyConnectOptions(command, args, &project)) {
        return Failed;
    }
    // Every project the window opens runs against its connections; --connect applies to the
    // first.
    options.attach = [](Session& session, const Project& opened,
                        const QString& file) -> std::shared_ptr<void> {
        if (opened.connections.empty()) {
            return nullptr;
        }
        return std::make_shared<LiveLink>(session, opened, file.toStdString());
    };
    // The window goes before the plug-ins its objects come from.
    play::PlayWindow window(options);
    const QString file = args.positional().empty()
                             ? QString()
                             : QDir::current().absoluteFilePath(QString::fromStdString(source));
    QString reason;
    const bool opened =
        window.openProject(project, file, &reason, [&](Session* session, std::string*) {
            // Prints its own messages: load problems as warnings, a failure as the error.
            return prepareSession(command.name, settings, project, session);
        });
    if (!opened) {
        return reason.isEmpty() ? Failed : fail(command.name, reason.toStdString());
    }
    window.show();
    return application.exec() == 0 ? Ok : Failed;
}

} // namespace

const CommandDef kPlayCommand = {
    "play",
    "kestro play [FILE] [--window N] [--size WxH] [--capture-dir DIR] [--paused] "
    "[--set TAG=VALUE]... [--refresh SECONDS] [--connect NAME=HOST:PORT]... [--plugins DIR]",
    "play a project in a window: clicks, keys, keyboards, captures, tags",
    playerOptions({
        {{QStringLiteral("size")},
         QStringLiteral("WxH"),
         QStringLiteral("scale every window to this size"),
         false},
        {{QStringLiteral("capture-dir")},
         QStringLiteral("DIR"),
         QStringLiteral("save the captures there (else captures/ next to the project)"),
         false},
        {{QStringLiteral("paused")},
         QString(),
         QStringLiteral("start with the clock stopped"),
         false},
    }),
    projectArgument(),
    0,
    1,
    "one project file at most",
    Application::Own,
    playCommand,
};

} // namespace kestro::cli
