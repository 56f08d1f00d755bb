// Command-line handling shared by the kestro commands: parsing and help, the messages and exit
// codes, the player options and the session set-up.
#pragma once

#include "runtime/project/project.h"
#include "runtime/project/projectio.h"
#include "runtime/session/limits.h"
#include "runtime/session/pluginloader.h"
#include "runtime/session/session.h"
#include "tools/kestro/commands.h"

#include <QSize>

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kestro::cli {

//! The arguments of one command, parsed with QCommandLineParser against its options.
class Arguments {
public:
    //! Options are written "--name value", "--name=value", or "-o value" for one-letter names;
    //! "--" ends the options, and a lone "-" is an argument. False with the mistake: an unknown
    //! option, a value missing or not taken, an option given twice that takes one value, a
    //! number of arguments out of the command's range. -h or --help anywhere asks for the help
    //! instead, which parsing always succeeds with.
    bool parse(const std::vector<std::string>& args, const CommandDef& command, std::string* error);

    bool helpAsked() const { return m_help; }
    //! name: an option's long name without the dashes ("output").
    bool has(const std::string& name) const { return m_options.count(name) != 0; }
    //! The value of an option given once ("" when absent).
    std::string value(const std::string& name) const;
    std::vector<std::string> values(const std::string& name) const;
    const std::vector<std::string>& positional() const { return m_positional; }

private:
    std::map<std::string, std::vector<std::string>> m_options;
    std::vector<std::string> m_positional;
    bool m_help = false;
};

//! The help of a command: usage line, summary, arguments and options, one line of help each.
std::string helpText(const CommandDef& command);

//! Prints "kestro <command>: message" on stderr and returns Failed.
int fail(const std::string& command, const std::string& message);
//! Prints "kestro <command>: message", the command's usage line and where its help is on
//! stderr, and returns Usage.
int usageError(const CommandDef& command, const std::string& message);
//! Prints a project's error as fail does, naming file where the error names none.
int projectFailure(const std::string& command, ProjectError error, const std::string& file);

//! WxH with each side 1 to limits::kMaxSide.
bool parseSize(const std::string& text, QSize* size);
//! Seconds from 0 to limits::kMaxStepSeconds.
bool parseSeconds(const std::string& text, double* seconds);
//! The refusals of the two, quoting the limits and what was given.
std::string sizeUsage(const std::string& given);
std::string secondsUsage(const std::string& option, const std::string& given);

//! The options of every player command after its own: --window, --set, --refresh, --connect,
//! --plugins.
std::vector<OptionDef> playerOptions(std::vector<OptionDef> own);
//! The optional project argument of the player commands.
std::vector<ArgumentDef> projectArgument();
//! The option of the plug-in directory.
OptionDef pluginsOption();
//! --at SECONDS, of the commands that show one moment.
OptionDef atOption();
//! The moment --at asks for (0 without it) into at; Ok, or the usage error already reported.
int parseAt(const CommandDef& command, const Arguments& args, double* at);

//! What the player options ask for, checked before anything is loaded.
struct PlayerSettings {
    Micros refreshPeriod = VirtualClock::kDefaultRefresh;
    std::optional<int> window;
    std::vector<std::pair<std::string, std::string>> sets; //!< tag, value
};
//! Reads --refresh, --window and every --set; on a malformed one prints it as a usage error and
//! returns false.
bool readPlayerSettings(const CommandDef& command, const Arguments& args, PlayerSettings* settings);

//! The project named by the first positional argument, or the demo plant without one.
bool loadProject(const std::string& command, const Arguments& args, Project* project,
                 std::string* sourceName);
//! The plug-in directory of --plugins, else $KESTRO_PLUGIN_DIR, else ../lib next to the
//! executable.
std::string pluginDirectory(const Arguments& args);
//! The plug-ins of pluginDirectory(); false after printing why, also when there is none.
bool loadPlugins(const std::string& command, const Arguments& args, PluginSet* plugins);
//! Loads the project into the session, prints the load problems as warnings, then shows the
//! window and sets the tags the settings ask for.
bool prepareSession(const std::string& command, const PlayerSettings& settings,
                    const Project& project, Session* session);

//! What a player command plays, and the options of its session, which point at its plug-ins.
struct Player {
    PlayerSettings settings;
    SessionOptions options;
    Project project;
    std::string source; //!< the project's file name, or the demo's
    PluginSet plugins;
    //! The live tags come from their connections (play, monitor, --live), not their simulations.
    bool live = false;
};
//! readPlayerSettings, loadProject (with --connect applied; made ready for its connections when
//! the command plays live) and loadPlugins, in this order, into player; options set beforehand
//! (the capture path) stay. The exit code when one of them failed (after printing why), else Ok.
int loadPlayer(const CommandDef& command, const Arguments& args, Player* player);

} // namespace kestro::cli
