// Command-line handling shared by the kestro commands: options, the project argument, the
// plug-ins and the session set-up.
#pragma once

#include "runtime/project/project.h"
#include "runtime/project/projectio.h"
#include "runtime/session/pluginloader.h"
#include "runtime/session/session.h"

#include <QSize>

#include <map>
#include <string>
#include <vector>

namespace kestro::cli {

//! Exit codes of every command.
enum Exit { Ok = 0, Failed = 1, Usage = 2 };

struct OptionDef {
    const char* name;  //!< "--window"
    const char* alias; //!< "-o", or null
    bool takesValue;
    bool repeatable;
};

class Arguments {
public:
    //! Reads "--name value", "--name=value" and the aliases; everything not starting with '-'
    //! (and a lone "-") is positional. False with a reason for an unknown or repeated option or
    //! a missing value.
    bool parse(const std::vector<std::string>& args, const std::vector<OptionDef>& known,
               std::string* error);

    bool has(const std::string& name) const { return m_options.count(name) != 0; }
    //! The value of an option given once ("" when absent).
    std::string value(const std::string& name) const;
    std::vector<std::string> values(const std::string& name) const;
    const std::vector<std::string>& positional() const { return m_positional; }

private:
    std::map<std::string, std::vector<std::string>> m_options;
    std::vector<std::string> m_positional;
};

//! Prints "kestro <command>: message" on stderr and returns Failed.
int fail(const std::string& command, const std::string& message);
//! Prints the message and the command's usage line on stderr and returns Usage.
int usageError(const std::string& command, const std::string& message, const char* usage);
//! Prints a project's error as fail does, naming file where the error names none.
int projectFailure(const std::string& command, ProjectError error, const std::string& file);

bool parseSize(const std::string& text, QSize* size);
bool parseSeconds(const std::string& text, double* seconds);

//! The options every player command takes.
std::vector<OptionDef> playerOptions(std::vector<OptionDef> own);

//! The project named by the first positional argument, or the demo plant without one.
bool loadProject(const std::string& command, const Arguments& args, Project* project,
                 std::string* sourceName);
//! The plug-ins from --plugins, else $KESTRO_PLUGIN_DIR, else ../lib next to the executable.
bool loadPlugins(const std::string& command, const Arguments& args, PluginSet* plugins);
//! Loads the project into the session, prints the load problems as warnings, then applies
//! --window and every --set.
bool prepareSession(const std::string& command, const Arguments& args, const Project& project,
                    Session* session);
//! The session options from --refresh (and the capture path, where the command has one).
bool sessionOptions(const std::string& command, const Arguments& args, SessionOptions* options);

//! Parses the arguments of a player command (its own options and the player options), at most
//! one project file; on a mistake prints it with the usage line and returns false.
bool parsePlayerArguments(const std::string& command, const std::vector<std::string>& argv,
                          std::vector<OptionDef> own, const char* usage, Arguments* args);
//! The moment --at names, in seconds (0 without it); on a bad value prints it with the usage
//! line and returns false.
bool atSeconds(const std::string& command, const Arguments& args, const char* usage,
               double* seconds);

//! What a player command plays, and the options of its session, which point at its plug-ins.
struct Player {
    SessionOptions options;
    Project project;
    std::string source; //!< the project's file name, or the demo's
    PluginSet plugins;
};
//! sessionOptions, loadProject and loadPlugins, in this order, into player; options set
//! beforehand (the capture path) stay. False after printing why.
bool loadPlayer(const std::string& command, const Arguments& args, Player* player);

} // namespace kestro::cli
