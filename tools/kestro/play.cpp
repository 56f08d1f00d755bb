// kestro play: the player in a window (Qt Widgets).
#include "tools/kestro/play.h"

#include "tools/kestro/options.h"
#include "tools/kestro/playwindow.h"

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QString>
#include <QtGlobal>

namespace kestro::cli {

const char* const kPlayUsage =
    "kestro play [FILE] [--window N] [--size WxH] [--capture-dir DIR] [--paused] "
    "[--set TAG=VALUE]... [--refresh SECONDS] [--plugins DIR]";

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

} // namespace

int playCommand(const Args& argv) {
    const std::string command = "play";
    Arguments args;
    std::string error;
    if (!args.parse(argv,
                    playerOptions({{"--size", nullptr, true, false},
                                   {"--capture-dir", nullptr, true, false},
                                   {"--paused", nullptr, false, false}}),
                    &error)) {
        return usageError(command, error, kPlayUsage);
    }
    if (args.positional().size() > 1) {
        return usageError(command, "one project file at most", kPlayUsage);
    }
    play::PlayOptions options;
    if (args.has("--size") && !parseSize(args.value("--size"), &options.viewSize)) {
        return usageError(command, "--size takes WxH, not \"" + args.value("--size") + "\"",
                          kPlayUsage);
    }
    options.captureDir = QString::fromStdString(args.value("--capture-dir"));
    options.paused = args.has("--paused");
    if (!sessionOptions(command, args, &options.session)) {
        return Failed;
    }
    // Without a display Qt would abort; say what is missing instead.
    if (!haveDisplay()) {
        return fail(command, "no display (set DISPLAY, or QT_QPA_PLATFORM=offscreen to try it "
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
    if (!loadProject(command, args, &project, &source) || !loadPlugins(command, args, &plugins)) {
        return Failed;
    }
    options.session.plugins = &plugins;
    // The window goes before the plug-ins its objects come from.
    play::PlayWindow window(options);
    const QString file = args.positional().empty()
                             ? QString()
                             : QDir::current().absoluteFilePath(QString::fromStdString(source));
    QString reason;
    const bool opened =
        window.openProject(project, file, &reason, [&](Session* session, std::string*) {
            // Prints its own messages: load problems as warnings, a failure as the error.
            return prepareSession(command, args, project, session);
        });
    if (!opened) {
        return reason.isEmpty() ? Failed : fail(command, reason.toStdString());
    }
    window.show();
    return application.exec() == 0 ? Ok : Failed;
}

} // namespace kestro::cli
