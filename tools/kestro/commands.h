// The kestro commands: each is described by its options and arguments (for the parser and the
// help) and runs on the parsed arguments, returning the exit code.
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace kestro::cli {

class Arguments;

//! Exit codes of every command.
enum Exit {
    Ok = 0,
    Failed = 1, //!< with a message on stderr
    Usage = 2,  //!< the command line itself is wrong; with the usage line on stderr
};

//! One option of a command.
struct OptionDef {
    QStringList names; //!< one letter for "-o", longer for "--output"; the longest is the name
    QString valueName; //!< "" for an option without a value
    QString help;      //!< one line
    bool repeatable = false;
};

//! A positional argument of a command, for the help.
struct ArgumentDef {
    QString name;
    QString help;
};

//! What a command needs to exist before it runs.
enum class Application {
    Gui, //!< a QGuiApplication (fonts, painting), offscreen unless told otherwise
    Own, //!< the command creates its own (a Widgets window needs a QApplication)
};

struct CommandDef {
    const char* name;
    const char* synopsis; //!< the usage line
    const char* summary;  //!< one line for the list of commands
    std::vector<OptionDef> options;
    std::vector<ArgumentDef> arguments;
    int minArguments;
    int maxArguments;
    //! The usage error for a number of positional arguments out of that range.
    const char* argumentsMistake;
    Application application;
    int (*run)(const Arguments& args);
};

extern const CommandDef kRenderCommand;
extern const CommandDef kTraceCommand;
extern const CommandDef kRunCommand;
extern const CommandDef kPlayCommand;
extern const CommandDef kMonitorCommand;
extern const CommandDef kSimulateCommand;
extern const CommandDef kGalleryCommand;
extern const CommandDef kCompileCommand;
extern const CommandDef kDumpCommand;
extern const CommandDef kPluginsCommand;

} // namespace kestro::cli
