// The demo plant: examples/plant.json, embedded at build time so that kestro shows something
// useful without any file of its own.
#include "tools/kestro/demo.h"

#include <QFile>

namespace kestro::cli {

bool demoProject(Project* project, std::string* sourceName, ProjectError* error) {
    *sourceName = "plant.json (built in)";
    QFile plant(QStringLiteral(":/demo/plant.json"));
    if (!plant.open(QIODevice::ReadOnly)) {
        error->file = *sourceName;
        error->message = "kestro was built without examples/plant.json";
        return false;
    }
    const QByteArray json = plant.readAll();
    return compileProjectJson(json.toStdString(), *sourceName, project, error);
}

} // namespace kestro::cli
