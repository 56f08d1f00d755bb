// kestro simulate: the plant of a project, played in real time to an MQTT broker. Each live tag
// of the connection publishes its simulated value to its topic; an operator's write arriving on
// its write topic takes the tag over from the simulation and is published back at once, which
// is how a station sees its write confirmed. One kestro plays the plant, others the stations.
#include "tools/kestro/commands.h"
#include "tools/kestro/live.h"
#include "tools/kestro/options.h"

#include "runtime/live/mqtt.h"
#include "runtime/session/simulation.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <cmath>
#include <cstdio>
#include <optional>

namespace kestro::cli {

namespace {

//! One tag of the plant: what drives it and what was published last.
struct PlantTag {
    live::ServedTag served;
    std::optional<TagSimulator> simulator; //!< none once an operator wrote the tag
    live::WriteValue value;
    bool published = false;
};

live::WriteValue initialValue(const TagDef& def) {
    live::WriteValue value;
    value.isText = def.type == VarType::String;
    value.text = def.text;
    value.number = def.number;
    return value;
}

bool sameValue(const live::WriteValue& a, const live::WriteValue& b) {
    return a.isText == b.isText && (a.isText ? a.text == b.text : a.number == b.number);
}

int simulate(const Arguments& args) {
    const CommandDef& command = kSimulateCommand;
    const std::string to = args.value("to");
    if (to.empty()) {
        return usageError(command, "the connection to publish to is missing (--to NAME)");
    }
    double duration = -1.0, period = 0.25;
    if (args.has("for") && !parseSeconds(args.value("for"), &duration)) {
        return usageError(command, secondsUsage("--for", args.value("for")));
    }
    if (args.has("refresh") && (!parseSeconds(args.value("refresh"), &period) || period < 0.01)) {
        return usageError(command, "--refresh takes seconds from 0.01 on, not \"" +
                                       args.value("refresh") + "\"");
    }
    Project project;
    std::string source;
    if (!loadProject(command.name, args, &project, &source) ||
        !applyConnectOptions(command, args, &project)) {
        return Failed;
    }
    project = withTlsPaths(std::move(project), source);
    const ConnectionDef* connection = project.connection(to);
    if (!connection || connection->kind != ConnectionDef::Kind::Mqtt) {
        return fail(command.name, "no MQTT connection '" + to + "' in the project");
    }
    std::vector<PlantTag> plant;
    std::vector<live::ServedTag> served;
    for (size_t i = 0; i < project.tags.size(); ++i) {
        const TagDef& def = project.tags[i];
        if (def.source.connection == to) {
            PlantTag tag{{static_cast<int>(i), &def}, std::nullopt, initialValue(def), false};
            if (def.simulation.kind != Simulation::Kind::None && def.type != VarType::String) {
                tag.simulator.emplace(def.simulation, def.number);
            }
            plant.push_back(std::move(tag));
            served.push_back(plant.back().served);
        }
    }
    if (plant.empty()) {
        return fail(command.name, "no tag of the project takes its values from '" + to + "'");
    }
    const int index = static_cast<int>(connection - project.connections.data());
    live::Inbox inbox;
    live::MqttConnection broker(index, *connection, served, &inbox,
                                live::MqttConnection::Listen::WriteTopics);
    stopOnSignals();
    broker.start();
    std::fprintf(stderr, "kestro simulate: playing %zu tag(s) to %s at %s:%d\n", plant.size(),
                 to.c_str(), connection->host.c_str(), connection->port);

    QElapsedTimer clock;
    clock.start();
    bool up = false;
    while (!stopRequested()) {
        const double now = clock.nsecsElapsed() / 1e9;
        if (duration >= 0.0 && now >= duration) {
            break;
        }
        for (const live::LiveEvent& event : inbox.take()) {
            using Kind = live::LiveEvent::Kind;
            if (event.kind == Kind::Connected || event.kind == Kind::Disconnected) {
                up = event.kind == Kind::Connected;
                // A broker that comes back gets every value again.
                for (PlantTag& tag : plant) {
                    tag.published = false;
                }
                std::fprintf(stderr, "kestro simulate: %s: %s%s%s\n", to.c_str(),
                             up ? "connected" : "connection lost", event.reason.empty() ? "" : ": ",
                             event.reason.c_str());
            }
            for (PlantTag& tag : plant) {
                if (tag.served.index != event.tag) {
                    continue;
                }
                if (event.kind == Kind::Value) {
                    tag.simulator.reset();
                    tag.value.isText = event.isText;
                    tag.value.text = event.text;
                    tag.value.number = event.number;
                    tag.published = false;
                    std::fprintf(stderr, "kestro simulate: %s written\n",
                                 tag.served.def->name.c_str());
                } else if (event.kind == Kind::Bad) {
                    std::fprintf(stderr, "kestro simulate: warning: %s: write not taken: %s\n",
                                 tag.served.def->name.c_str(), event.reason.c_str());
                }
            }
        }
        for (PlantTag& tag : plant) {
            double value = 0.0;
            if (tag.simulator && tag.simulator->valueAt(toMicros(now), &value)) {
                live::WriteValue next;
                next.number = tag.served.def->type == VarType::Int ? std::round(value) : value;
                if (!sameValue(next, tag.value)) {
                    tag.value = next;
                    tag.published = false;
                }
            }
            std::string reason;
            if (up && !tag.published) {
                tag.published = broker.publishValue(tag.served.index, tag.value, &reason);
            }
        }
        QThread::usleep(static_cast<unsigned long>(period * 1e6));
    }
    broker.stop();
    return Ok;
}

} // namespace

const CommandDef kSimulateCommand = {
    "simulate",
    "kestro simulate [FILE] --to NAME [--for SECONDS] [--refresh SECONDS] "
    "[--connect NAME=HOST:PORT]...",
    "play a project's plant to an MQTT broker: the simulated values of its live tags",
    {
        {{QStringLiteral("to")},
         QStringLiteral("NAME"),
         QStringLiteral("the MQTT connection to publish to"),
         false},
        {{QStringLiteral("for")},
         QStringLiteral("SECONDS"),
         QStringLiteral("stop after this long (else at SIGINT or SIGTERM)"),
         false},
        {{QStringLiteral("refresh")},
         QStringLiteral("SECONDS"),
         QStringLiteral("how often the values are taken (0.25 s by default)"),
         false},
        connectOption(),
    },
    projectArgument(),
    0,
    1,
    "one project file at most",
    Application::Gui,
    simulate,
};

} // namespace kestro::cli
