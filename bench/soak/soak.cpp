// kvsoak (make soak): does a session's memory stay flat over a long run? The demo plant, with one
// more object whose expression fails on every refresh, runs for days of virtual time at its
// refresh as `kestro run` drives it (the records of each event forgotten once reported), then as
// the player drives it: one advance and one paint every 10 ms of real time, the records kept in
// their rings. Resident memory is
// taken after the first virtual hour (the heap has found its size by then) and at the ends.
//
//   kvsoak [--days 7] [--real 600] [--hz 100]
//
// The player stage is measured from the end of its first second, when its caches are warm.
//
// Prints one row per stage and exits 1 when memory grew by 2 MB or more from the first hour.
#include "bench/world.h"

#include "runtime/session/limits.h"
#include "runtime/session/pluginloader.h"
#include "runtime/session/session.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QJsonArray>
#include <QPainter>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

constexpr double kGrowthLimitMb = 2.0;

double residentMb() {
    long pages = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        long size = 0;
        if (std::fscanf(f, "%ld %ld", &size, &pages) != 2) {
            pages = 0;
        }
        std::fclose(f);
    }
    return static_cast<double>(pages) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

// The plant and, on its start window, a lamp whose condition divides by zero.
kestro::Project plantWithAFailure() {
    QJsonObject project = kvbench::readJson(kvbench::sourceDir() + "/examples/plant.json");
    QJsonArray windows = project[QStringLiteral("windows")].toArray();
    QJsonObject start = windows[0].toObject();
    QJsonArray objects = start[QStringLiteral("objects")].toArray();
    objects.append(QJsonObject{
        {QStringLiteral("class"), QStringLiteral("CDrawEllipse")},
        {QStringLiteral("name"), QStringLiteral("FailingLamp")},
        {QStringLiteral("rect"), QJsonArray{4, 4, 14, 14}},
        {QStringLiteral("animations"),
         QJsonArray{QJsonObject{{QStringLiteral("kind"), QStringLiteral("visible")},
                                {QStringLiteral("expression"), QStringLiteral("1 / 0")}}}}});
    start[QStringLiteral("objects")] = objects;
    windows[0] = start;
    project[QStringLiteral("windows")] = windows;
    return kvbench::compileProject(project, "plant with a failure");
}

struct Stage {
    const char* name;
    double firstHourMb;
    double endMb;
    size_t recordsKept;
};

void print(const Stage& s) {
    std::printf("%-34s %10.1f %10.1f %+9.2f %9zu\n", s.name, s.firstHourMb, s.endMb,
                s.endMb - s.firstHourMb, s.recordsKept);
}

double argument(int argc, char** argv, const char* name, double fallback) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0) {
            return std::atof(argv[i + 1]);
        }
    }
    return fallback;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const double days = argument(argc, argv, "--days", 7.0);
    const double realSeconds = argument(argc, argv, "--real", 600.0);
    const double hz = argument(argc, argv, "--hz", 100.0);

    kestro::SessionOptions options;
    options.plugins = &kvbench::plugins();
    kestro::Session session(options);
    std::string error;
    if (!session.load(plantWithAFailure(), &error)) {
        std::fprintf(stderr, "kvsoak: %s\n", error.c_str());
        return 1;
    }
    session.start();

    std::printf("%-34s %10s %10s %9s %9s\n", "stage", "warm MB", "end MB", "growth", "records");
    Stage run{"run: plant + 1/0, virtual days", 0, 0, 0};
    const int hours = static_cast<int>(days * 24.0);
    for (int hour = 0; hour < hours; ++hour) {
        session.advance(3600.0);
        session.forgetRecords();
        if (hour == 0) {
            run.firstHourMb = residentMb();
        }
    }
    run.endMb = residentMb();
    if (hours == 0) {
        run.firstHourMb = run.endMb;
    }
    run.recordsKept = session.recordsKept();
    print(run);

    // The first second paints with cold caches (glyphs, pens): measured from its end.
    Stage play{"play: advance + paint at the rate", 0, 0, 0};
    QImage image(session.windowSize(), QImage::Format_ARGB32_Premultiplied);
    session.setRecordLimit(kestro::limits::kPlayerRecords);
    QElapsedTimer clock;
    clock.start();
    const qint64 period = static_cast<qint64>(1e9 / hz);
    const qint64 warm = 1000000000;
    qint64 next = period;
    while (clock.nsecsElapsed() < static_cast<qint64>(realSeconds * 1e9) + warm) {
        if (play.firstHourMb == 0 && clock.nsecsElapsed() >= warm) {
            play.firstHourMb = residentMb();
        }
        const qint64 wait = next - clock.nsecsElapsed();
        if (wait > 0) {
            QThread::usleep(static_cast<unsigned long>(wait / 1000));
        }
        session.advance(static_cast<double>(period) / 1e9);
        QPainter painter(&image);
        session.paint(&painter);
        painter.end();
        next += period;
    }
    play.endMb = residentMb();
    play.recordsKept = session.recordsKept();
    print(play);

    const bool flat = run.endMb - run.firstHourMb < kGrowthLimitMb &&
                      play.endMb - play.firstHourMb < kGrowthLimitMb;
    std::printf("%s (limit: less than %.0f MB of growth after the first virtual hour, or after "
                "the first second of play)\n",
                flat ? "flat" : "GROWS", kGrowthLimitMb);
    return flat ? 0 : 1;
}
