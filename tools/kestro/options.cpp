// Command-line handling shared by the kestro commands.
#include "tools/kestro/options.h"

#include "runtime/project/projectio.h"
#include "tools/kestro/demo.h"
#include "tools/kestro/files.h"
#include "tools/kestro/live.h"

#include <QByteArray>
#include <QCommandLineOption>
#include <QCommandLineParser>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace kestro::cli {

namespace {

const OptionDef kHelpOption{{QStringLiteral("h"), QStringLiteral("help")},
                            QString(),
                            QStringLiteral("show this help"),
                            false};

//! The longest of the names: the one the option is known by.
QString longName(const OptionDef& option) {
    QString name;
    for (const QString& candidate : option.names) {
        if (candidate.size() > name.size()) {
            name = candidate;
        }
    }
    return name;
}

QString spelled(const QString& name) {
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

const OptionDef* findOption(const std::vector<OptionDef>& options, const QString& name) {
    for (const OptionDef& option : options) {
        if (option.names.contains(name)) {
            return &option;
        }
    }
    return nullptr;
}

//! The name of an option argument as written, without the dashes and the value.
QString writtenName(const QString& arg) {
    QString name = arg.mid(arg.startsWith(QLatin1String("--")) ? 2 : 1);
    const qsizetype equals = name.indexOf(QLatin1Char('='));
    return equals < 0 ? name : name.left(equals);
}

bool isOptionArgument(const QString& arg) {
    return arg.size() > 1 && arg.startsWith(QLatin1Char('-')) && arg != QLatin1String("--");
}

//! The mistake QCommandLineParser found, in the words of the other usage errors.
std::string parseMistake(const QCommandLineParser& parser, const QStringList& args,
                         const std::vector<OptionDef>& options) {
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty()) {
        for (const QString& arg : args) {
            if (arg == QLatin1String("--")) {
                break;
            }
            if (isOptionArgument(arg) && writtenName(arg) == unknown.front()) {
                const qsizetype equals = arg.indexOf(QLatin1Char('='));
                return "unknown option " + (equals < 0 ? arg : arg.left(equals)).toStdString();
            }
        }
        return "unknown option " + spelled(unknown.front()).toStdString();
    }
    // A value can only be missing at the end; a value not taken is given with '='.
    if (!args.isEmpty() && isOptionArgument(args.back()) &&
        !args.back().contains(QLatin1Char('='))) {
        const OptionDef* option = findOption(options, writtenName(args.back()));
        if (option && !option->valueName.isEmpty()) {
            return spelled(longName(*option)).toStdString() + " needs a value";
        }
    }
    for (const QString& arg : args) {
        if (arg == QLatin1String("--")) {
            break;
        }
        const OptionDef* option = isOptionArgument(arg) && arg.contains(QLatin1Char('='))
                                      ? findOption(options, writtenName(arg))
                                      : nullptr;
        if (option && option->valueName.isEmpty()) {
            return spelled(longName(*option)).toStdString() + " takes no value";
        }
    }
    return parser.errorText().toStdString();
}

} // namespace

bool Arguments::parse(const std::vector<std::string>& argv, const CommandDef& command,
                      std::string* error) {
    std::vector<OptionDef> options = command.options;
    options.push_back(kHelpOption);

    QCommandLineParser parser;
    // "-o" is an option of one letter, never a bundle of them: "-frob" is unknown as written.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const OptionDef& option : options) {
        parser.addOption(QCommandLineOption(option.names, option.help, option.valueName));
    }
    QStringList args;
    for (const std::string& arg : argv) {
        args.append(QString::fromStdString(arg));
    }
    // The parser skips the first argument, the program's name.
    const bool parsed = parser.parse(QStringList{QStringLiteral("kestro")} + args);
    m_help = parser.isSet(QStringLiteral("help"));
    if (m_help) {
        return true;
    }
    if (!parsed) {
        *error = parseMistake(parser, args, options);
        return false;
    }
    const QStringList found = parser.optionNames();
    for (const OptionDef& option : command.options) {
        const QString name = longName(option);
        const auto given = std::count_if(
            found.begin(), found.end(), [&](const QString& n) { return option.names.contains(n); });
        if (given == 0) {
            continue;
        }
        if (given > 1 && !option.repeatable) {
            *error = spelled(name).toStdString() + " given twice";
            return false;
        }
        std::vector<std::string>& values = m_options[name.toStdString()];
        if (option.valueName.isEmpty()) {
            values.emplace_back();
            continue;
        }
        for (const QString& value : parser.values(name)) {
            values.push_back(value.toStdString());
        }
    }
    for (const QString& arg : parser.positionalArguments()) {
        m_positional.push_back(arg.toStdString());
    }
    const int count = static_cast<int>(m_positional.size());
    if (count < command.minArguments || count > command.maxArguments) {
        *error = command.argumentsMistake;
        return false;
    }
    return true;
}

std::string Arguments::value(const std::string& name) const {
    const auto found = m_options.find(name);
    return found == m_options.end() || found->second.empty() ? std::string()
                                                             : found->second.front();
}

std::vector<std::string> Arguments::values(const std::string& name) const {
    const auto found = m_options.find(name);
    return found == m_options.end() ? std::vector<std::string>() : found->second;
}

std::string helpText(const CommandDef& command) {
    std::vector<std::pair<QString, QString>> rows;
    for (const ArgumentDef& argument : command.arguments) {
        rows.emplace_back(argument.name, argument.help);
    }
    const size_t argumentRows = rows.size();
    std::vector<OptionDef> options = command.options;
    options.push_back(kHelpOption);
    for (const OptionDef& option : options) {
        QStringList names;
        for (const QString& name : option.names) {
            names.append(spelled(name));
        }
        QString left = names.join(QStringLiteral(", "));
        if (!option.valueName.isEmpty()) {
            left += QLatin1Char(' ') + option.valueName;
        }
        if (option.repeatable) {
            left += QStringLiteral("...");
        }
        rows.emplace_back(left, option.help);
    }
    qsizetype width = 0;
    for (const auto& row : rows) {
        width = std::max(width, row.first.size());
    }
    QString text =
        QStringLiteral("usage: %1\n\n%2\n")
            .arg(QString::fromUtf8(command.synopsis), QString::fromUtf8(command.summary));
    for (size_t i = 0; i < rows.size(); ++i) {
        if (i == 0 && argumentRows > 0) {
            text += QStringLiteral("\narguments:\n");
        }
        if (i == argumentRows) {
            text += QStringLiteral("\noptions:\n");
        }
        text += QStringLiteral("  %1  %2\n")
                    .arg(rows[i].first, -static_cast<int>(width), QLatin1Char(' '))
                    .arg(rows[i].second);
    }
    return text.toStdString();
}

int fail(const std::string& command, const std::string& message) {
    std::fprintf(stderr, "kestro %s: %s\n", command.c_str(), message.c_str());
    return Failed;
}

int usageError(const CommandDef& command, const std::string& message) {
    std::fprintf(stderr, "kestro %s: %s\nusage: %s\n(kestro %s --help lists the options)\n",
                 command.name, message.c_str(), command.synopsis, command.name);
    return Usage;
}

int projectFailure(const std::string& command, ProjectError error, const std::string& file) {
    if (error.file.empty()) {
        error.file = file;
    }
    return fail(command, error.text());
}

bool parseSize(const std::string& text, QSize* size) {
    const size_t x = text.find('x');
    if (x == std::string::npos) {
        return false;
    }
    bool okWidth = false;
    bool okHeight = false;
    const int width = QByteArray::fromStdString(text.substr(0, x)).toInt(&okWidth);
    const int height = QByteArray::fromStdString(text.substr(x + 1)).toInt(&okHeight);
    if (!okWidth || !okHeight || width < 1 || height < 1 || width > limits::kMaxSide ||
        height > limits::kMaxSide) {
        return false;
    }
    *size = QSize(width, height);
    return true;
}

bool parseSeconds(const std::string& text, double* seconds) {
    bool ok = false;
    const double value = QByteArray::fromStdString(text).toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < 0.0 || value > limits::kMaxStepSeconds) {
        return false;
    }
    *seconds = value;
    return true;
}

std::string sizeUsage(const std::string& given) {
    return "--size takes WxH with each side 1 to " + std::to_string(limits::kMaxSide) + ", not \"" +
           given + "\"";
}

std::string secondsUsage(const std::string& option, const std::string& given) {
    return option + " takes seconds from 0 to " +
           std::to_string(static_cast<int>(limits::kMaxStepSeconds)) + ", not \"" + given + "\"";
}

OptionDef atOption() {
    return {{QStringLiteral("at")},
            QStringLiteral("SECONDS"),
            QStringLiteral("run the virtual clock up to this time first (0 by default)"),
            false};
}

int parseAt(const CommandDef& command, const Arguments& args, double* at) {
    *at = 0.0;
    if (args.has("at") && !parseSeconds(args.value("at"), at)) {
        return usageError(command, secondsUsage("--at", args.value("at")));
    }
    return Ok;
}

OptionDef pluginsOption() {
    return {{QStringLiteral("plugins")},
            QStringLiteral("DIR"),
            QStringLiteral("load the plug-ins from DIR (else $KESTRO_PLUGIN_DIR, else ../lib)"),
            false};
}

std::vector<OptionDef> playerOptions(std::vector<OptionDef> own) {
    own.push_back({{QStringLiteral("window")},
                   QStringLiteral("N"),
                   QStringLiteral("show window N first"),
                   false});
    own.push_back({{QStringLiteral("set")},
                   QStringLiteral("TAG=VALUE"),
                   QStringLiteral("write a tag before the first refresh"),
                   true});
    own.push_back({{QStringLiteral("refresh")},
                   QStringLiteral("SECONDS"),
                   QStringLiteral("the refresh period (0.25 s by default)"),
                   false});
    own.push_back(connectOption());
    own.push_back(pluginsOption());
    return own;
}

std::vector<ArgumentDef> projectArgument() {
    return {
        {QStringLiteral("FILE"),
         QStringLiteral("a project file or .kvs container; the built-in demo plant without one")}};
}

bool readPlayerSettings(const CommandDef& command, const Arguments& args,
                        PlayerSettings* settings) {
    if (args.has("refresh")) {
        double seconds = 0.0;
        if (!parseSeconds(args.value("refresh"), &seconds) ||
            seconds < limits::kMinRefreshSeconds) {
            usageError(command, "--refresh takes a period in seconds from 0.001 to " +
                                    std::to_string(static_cast<int>(limits::kMaxStepSeconds)) +
                                    ", not \"" + args.value("refresh") + "\"");
            return false;
        }
        settings->refreshPeriod = toMicros(seconds);
    }
    if (args.has("window")) {
        bool ok = false;
        const int number = QByteArray::fromStdString(args.value("window")).toInt(&ok);
        if (!ok) {
            usageError(command,
                       "--window takes a window number, not \"" + args.value("window") + "\"");
            return false;
        }
        settings->window = number;
    }
    for (const std::string& assignment : args.values("set")) {
        const size_t equals = assignment.find('=');
        if (equals == std::string::npos || equals == 0) {
            usageError(command, "--set takes TAG=VALUE, not \"" + assignment + "\"");
            return false;
        }
        settings->sets.emplace_back(assignment.substr(0, equals), assignment.substr(equals + 1));
    }
    return true;
}

bool loadProject(const std::string& command, const Arguments& args, Project* project,
                 std::string* sourceName) {
    ProjectError error;
    if (args.positional().empty()) {
        if (!demoProject(project, sourceName, &error)) {
            fail(command, "the demo project does not compile: " + error.text());
            return false;
        }
        return true;
    }
    *sourceName = args.positional().front();
    std::string unreadable;
    if (!checkInput(*sourceName, &unreadable)) {
        fail(command, unreadable);
        return false;
    }
    if (!loadProjectFile(*sourceName, project, &error)) {
        projectFailure(command, error, *sourceName);
        return false;
    }
    return true;
}

std::string pluginDirectory(const Arguments& args) {
    if (args.has("plugins") && !args.value("plugins").empty()) {
        return args.value("plugins");
    }
    const char* fromEnvironment = std::getenv(PluginSet::kDirectoryVariable);
    return fromEnvironment && *fromEnvironment ? fromEnvironment : PluginSet::defaultDirectory();
}

bool loadPlugins(const std::string& command, const Arguments& args, PluginSet* plugins) {
    const std::string directory = pluginDirectory(args);
    std::string error;
    if (!plugins->loadDirectory(directory, &error)) {
        fail(command, error);
        return false;
    }
    if (plugins->plugins().empty()) {
        fail(command, "no plug-in found in " + directory +
                          " (give the directory with --plugins or $" +
                          PluginSet::kDirectoryVariable + ")");
        return false;
    }
    return true;
}

bool prepareSession(const std::string& command, const PlayerSettings& settings,
                    const Project& project, Session* session) {
    std::string error;
    if (!session->load(project, &error)) {
        fail(command, error);
        return false;
    }
    for (const LoadProblem& problem : session->problems()) {
        std::fprintf(stderr, "kestro %s: warning: %s\n", command.c_str(), problem.text().c_str());
    }
    if (settings.window && !session->showWindow(*settings.window)) {
        fail(command, "no window " + std::to_string(*settings.window) + " in the project");
        return false;
    }
    for (const auto& [tag, value] : settings.sets) {
        if (!session->setTag(tag, value, &error)) {
            fail(command, "--set " + tag + "=" + value + ": " + error);
            return false;
        }
    }
    return true;
}

int loadPlayer(const CommandDef& command, const Arguments& args, Player* player) {
    if (!readPlayerSettings(command, args, &player->settings)) {
        return Usage;
    }
    player->options.refreshPeriod = player->settings.refreshPeriod;
    if (!loadProject(command.name, args, &player->project, &player->source) ||
        !applyConnectOptions(command, args, &player->project) ||
        !loadPlugins(command.name, args, &player->plugins)) {
        return Failed;
    }
    // play and monitor exist to run against the plant; the others only when asked.
    const std::string name = command.name;
    player->live = args.has("live") || name == "play" || name == "monitor";
    player->options.plugins = &player->plugins;
    return Ok;
}

} // namespace kestro::cli
