// Command-line handling shared by the kestro commands.
#include "tools/kestro/options.h"

#include "runtime/project/projectio.h"
#include "tools/kestro/demo.h"

#include <QByteArray>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace kestro::cli {

bool Arguments::parse(const std::vector<std::string>& args, const std::vector<OptionDef>& known,
                      std::string* error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 2 || arg[0] != '-') {
            m_positional.push_back(arg);
            continue;
        }
        std::string name = arg;
        std::string inlineValue;
        bool hasInline = false;
        const size_t equals = arg.find('=');
        if (arg.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            name = arg.substr(0, equals);
            inlineValue = arg.substr(equals + 1);
            hasInline = true;
        }
        const OptionDef* option = nullptr;
        for (const OptionDef& candidate : known) {
            if (name == candidate.name || (candidate.alias && name == candidate.alias)) {
                option = &candidate;
            }
        }
        if (!option) {
            *error = "unknown option " + name;
            return false;
        }
        std::vector<std::string>& values = m_options[option->name];
        if (!values.empty() && !option->repeatable) {
            *error = std::string(option->name) + " given twice";
            return false;
        }
        if (!option->takesValue) {
            if (hasInline) {
                *error = std::string(option->name) + " takes no value";
                return false;
            }
            values.emplace_back();
            continue;
        }
        if (hasInline) {
            values.push_back(inlineValue);
        } else if (i + 1 < args.size()) {
            values.push_back(args[++i]);
        } else {
            *error = std::string(option->name) + " needs a value";
            return false;
        }
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

int fail(const std::string& command, const std::string& message) {
    std::fprintf(stderr, "kestro %s: %s\n", command.c_str(), message.c_str());
    return Failed;
}

int usageError(const std::string& command, const std::string& message, const char* usage) {
    std::fprintf(stderr, "kestro %s: %s\nusage: %s\n", command.c_str(), message.c_str(), usage);
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
    // Large enough for any screen, small enough that an image of it can be allocated.
    constexpr int kLargest = 16384;
    if (!okWidth || !okHeight || width < 1 || height < 1 || width > kLargest || height > kLargest) {
        return false;
    }
    *size = QSize(width, height);
    return true;
}

bool parseSeconds(const std::string& text, double* seconds) {
    bool ok = false;
    const double value = QByteArray::fromStdString(text).toDouble(&ok);
    // A week of virtual time is far beyond any useful run and keeps the clock well in range.
    if (!ok || !std::isfinite(value) || value < 0.0 || value > 7 * 24 * 3600.0) {
        return false;
    }
    *seconds = value;
    return true;
}

std::vector<OptionDef> playerOptions(std::vector<OptionDef> own) {
    own.push_back({"--plugins", nullptr, true, false});
    own.push_back({"--window", nullptr, true, false});
    own.push_back({"--set", nullptr, true, true});
    own.push_back({"--refresh", nullptr, true, false});
    return own;
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
    if (!loadProjectFile(*sourceName, project, &error)) {
        projectFailure(command, error, *sourceName);
        return false;
    }
    return true;
}

bool loadPlugins(const std::string& command, const Arguments& args, PluginSet* plugins) {
    std::string directory = args.value("--plugins");
    if (directory.empty()) {
        const char* fromEnvironment = std::getenv(PluginSet::kDirectoryVariable);
        directory =
            fromEnvironment && *fromEnvironment ? fromEnvironment : PluginSet::defaultDirectory();
    }
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

bool sessionOptions(const std::string& command, const Arguments& args, SessionOptions* options) {
    if (args.has("--refresh")) {
        double seconds = 0.0;
        if (!parseSeconds(args.value("--refresh"), &seconds) || toMicros(seconds) <= 0) {
            fail(command, "--refresh takes a period in seconds above 0, not \"" +
                              args.value("--refresh") + "\"");
            return false;
        }
        options->refreshPeriod = toMicros(seconds);
    }
    return true;
}

bool prepareSession(const std::string& command, const Arguments& args, const Project& project,
                    Session* session) {
    std::string error;
    if (!session->load(project, &error)) {
        fail(command, error);
        return false;
    }
    for (const LoadProblem& problem : session->problems()) {
        std::fprintf(stderr, "kestro %s: warning: %s\n", command.c_str(), problem.text().c_str());
    }
    if (args.has("--window")) {
        bool ok = false;
        const int number = QByteArray::fromStdString(args.value("--window")).toInt(&ok);
        if (!ok || !session->showWindow(number)) {
            fail(command, "no window " + args.value("--window") + " in the project");
            return false;
        }
    }
    for (const std::string& assignment : args.values("--set")) {
        const size_t equals = assignment.find('=');
        if (equals == std::string::npos || equals == 0) {
            fail(command, "--set takes TAG=VALUE, not \"" + assignment + "\"");
            return false;
        }
        if (!session->setTag(assignment.substr(0, equals), assignment.substr(equals + 1), &error)) {
            fail(command, "--set " + assignment + ": " + error);
            return false;
        }
    }
    return true;
}

bool parsePlayerArguments(const std::string& command, const std::vector<std::string>& argv,
                          std::vector<OptionDef> own, const char* usage, Arguments* args) {
    std::string error;
    if (!args->parse(argv, playerOptions(std::move(own)), &error)) {
        usageError(command, error, usage);
        return false;
    }
    if (args->positional().size() > 1) {
        usageError(command, "one project file at most", usage);
        return false;
    }
    return true;
}

bool atSeconds(const std::string& command, const Arguments& args, const char* usage,
               double* seconds) {
    *seconds = 0.0;
    if (args.has("--at") && !parseSeconds(args.value("--at"), seconds)) {
        usageError(command, "--at takes seconds, not \"" + args.value("--at") + "\"", usage);
        return false;
    }
    return true;
}

bool loadPlayer(const std::string& command, const Arguments& args, Player* player) {
    if (!sessionOptions(command, args, &player->options) ||
        !loadProject(command, args, &player->project, &player->source) ||
        !loadPlugins(command, args, &player->plugins)) {
        return false;
    }
    player->options.plugins = &player->plugins;
    return true;
}

} // namespace kestro::cli
