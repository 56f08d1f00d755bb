// Refresh: Run(0) over a window of 10,000 objects with two animations each, against the bare
// evaluation of the same programs; and the heap allocations of every animation's Run.
#include "bench/benches.h"
#include "bench/heapcount.h"
#include "bench/table.h"
#include "bench/world.h"

#include "kestrovalumen/host/script.h"
#include "runtime/host/rtdb.h"
#include "runtime/host/rtdbhost.h"
#include "runtime/script/compiler.h"
#include "runtime/session/session.h"

#include <QJsonArray>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kvbench {

namespace {

constexpr int kObjects = 10000;
constexpr int kTags = 100;
constexpr double kLow = 25.0;  //!< tag value of the unchanged runs, and one of two alternating
constexpr double kHigh = 75.0; //!< the other one

//! A window where every object carries the same two animations on its own tag.
struct RefreshCase {
    const char* name;
    int window;
    //! The object's two animations on tag T<k>.
    std::function<QJsonArray(const QString& tag)> animations;
    //! The expression sources of those animations, in the same order.
    std::function<std::vector<std::string>(const std::string& tag)> sources;
};

const std::vector<RefreshCase>& refreshCases() {
    static const std::vector<RefreshCase> cases = {
        {"brush+visible", 1,
         [](const QString& t) {
             return QJsonArray{QJsonObject{{"kind", "brush"},
                                           {"expression", t},
                                           {"values", QJsonArray{50, 100}},
                                           {"colors", QJsonArray{"#00FF00", "#FF0000"}}},
                               QJsonObject{{"kind", "visible"}, {"expression", t + " > 50"}}};
         },
         [](const std::string& t) {
             return std::vector<std::string>{t, t + " > 50"};
         }},
        {"hmove+pen", 2,
         [](const QString& t) {
             return QJsonArray{QJsonObject{{"kind", "hmove"},
                                           {"expression", t},
                                           {"minOffset", 0},
                                           {"maxOffset", 10},
                                           {"minValue", 0},
                                           {"maxValue", 100}},
                               QJsonObject{{"kind", "pen"},
                                           {"expression", t + " * 2"},
                                           {"values", QJsonArray{100, 200}},
                                           {"colors", QJsonArray{"#000000", "#0000FF"}}}};
         },
         [](const std::string& t) {
             return std::vector<std::string>{t, t + " * 2"};
         }},
    };
    return cases;
}

QJsonArray tagList() {
    QJsonArray tags;
    for (int k = 0; k < kTags; ++k) {
        tags.append(QJsonObject{{"name", QString("T%1").arg(k)}, {"initial", kLow}});
    }
    return tags;
}

kestro::SessionOptions sessionOptions() {
    kestro::SessionOptions o;
    o.plugins = &plugins();
    return o;
}

//! Sets every tag to the value; the database's write record is emptied again.
void setTags(double value) {
    kestro::Rtdb& rtdb = kestro::Rtdb::instance();
    for (int k = 0; k < kTags; ++k) {
        rtdb.setFloat(k, value);
    }
    rtdb.clearWrites();
}

//! Programs back to back in one block: the bare evaluation reads them as tightly as they can lie,
//! wherever the heap put the session's objects.
struct PackedPrograms {
    std::vector<unsigned char> bytes;
    std::vector<std::pair<size_t, unsigned int>> spans; //!< offset and length of each

    void add(const std::vector<unsigned char>& program) {
        spans.emplace_back(bytes.size(), static_cast<unsigned int>(program.size()));
        bytes.insert(bytes.end(), program.begin(), program.end());
    }
};

struct RefreshStage : Stage {
    kestro::Session session{sessionOptions()};
    //! Per case: every animation's program, in the order Run reaches them.
    std::vector<PackedPrograms> programs;

    RefreshStage() {
        QJsonArray windows;
        for (const RefreshCase& c : refreshCases()) {
            QJsonArray objects;
            for (int i = 0; i < kObjects; ++i) {
                const int x = (i % 100) * 19;
                const int y = (i / 100) * 10;
                objects.append(
                    QJsonObject{{"class", "CDrawRect"},
                                {"name", QString("R%1").arg(i)},
                                {"rect", QJsonArray{x, y, x + 15, y + 8}},
                                {"outline", "#000000"},
                                {"fill", "#808080"},
                                {"animations", c.animations(QString("T%1").arg(i % kTags))}});
            }
            windows.append(QJsonObject{{"number", c.window},
                                       {"name", c.name},
                                       {"size", QJsonArray{1920, 1080}},
                                       {"objects", objects}});
        }
        const kestro::Project project = compileProject(QJsonObject{{"version", "4.0.0.0"},
                                                                   {"startWindow", 1},
                                                                   {"tags", tagList()},
                                                                   {"windows", windows}},
                                                       "refresh.json");
        std::string error;
        if (!session.load(project, &error) || !session.problems().empty()) {
            fail("refresh window: " + error);
        }
        session.start();
        // The same programs, compiled against the same database.
        for (const RefreshCase& c : refreshCases()) {
            PackedPrograms list;
            for (int i = 0; i < kObjects; ++i) {
                for (const std::string& source : c.sources("T" + std::to_string(i % kTags))) {
                    kestro::script::CompileResult compiled = kestro::script::compile(source);
                    if (!compiled.ok()) {
                        fail(source + ": " + compiled.error.text());
                    }
                    list.add(compiled.bytes);
                }
            }
            programs.push_back(std::move(list));
        }
    }

    void show(const RefreshCase& c) {
        if (session.currentWindow() != c.window) {
            session.showWindow(c.window);
        }
        setTags(kLow);
        session.refresh();
        session.refresh();
    }
};

RefreshStage& refreshStage() {
    return stage<RefreshStage>([] { return std::make_unique<RefreshStage>(); });
}

//! script_SvrRunProg over the programs, each with its result holder, as the animations run
//! them; the sum keeps the values alive.
double evaluateAll(const PackedPrograms& programs, Script::IHost* host) {
    double sum = 0.0;
    for (const auto& [offset, length] : programs.spans) {
        Script::ValueType result;
        if (script_SvrRunProg(programs.bytes.data() + offset, length, result, host)) {
            sum += result.getFloat();
        }
    }
    return sum;
}

void registerRefresh(size_t index, bool changing) {
    const RefreshCase& c = refreshCases()[index];
    const std::string base =
        "refresh/" + std::string(c.name) + (changing ? "/changing" : "/unchanged");
    // Changing values alternate between the two levels, so that every animation changes its
    // owner on every refresh.
    auto high = std::make_shared<bool>(false);
    const auto prepare = [index, high] {
        refreshStage().show(refreshCases()[index]);
        *high = false;
    };
    const auto values = [changing, high] {
        if (changing) {
            *high = !*high;
            setTags(*high ? kHigh : kLow);
        }
    };
    Workload run{base + "/run",
                 prepare,
                 [values] {
                     values();
                     refreshStage().session.refresh();
                 },
                 {}};
    run.items = kObjects * 2;
    addWorkload(run);
    Workload bare{base + "/bare",
                  prepare,
                  [index, values] {
                      values();
                      kestro::RtdbScriptHost host;
                      benchmark::DoNotOptimize(evaluateAll(refreshStage().programs[index], &host));
                  },
                  {}};
    bare.items = kObjects * 2;
    addWorkload(bare);
}

// ---- allocations of each animation's Run ----

struct AllocCase {
    const char* kind;  //!< as the table names it
    const char* klass; //!< the owner's class
    QJsonObject animation;
    bool exempt; //!< a text path, which may allocate
};

std::vector<AllocCase> allocCases() {
    const QJsonArray colors{"#000000", "#FFFFFF"};
    const QJsonArray values{50, 100};
    return {
        {"visible", "CDrawRect", {{"kind", "visible"}, {"expression", "A > 50"}}, false},
        {"blink",
         "CDrawRect",
         {{"kind", "blink"}, {"expression", "A > 50"}, {"penColor", "#FF0000"}},
         false},
        {"pen",
         "CDrawRect",
         {{"kind", "pen"}, {"expression", "A"}, {"values", values}, {"colors", colors}},
         false},
        {"brush",
         "CDrawRect",
         {{"kind", "brush"}, {"expression", "A"}, {"values", values}, {"colors", colors}},
         false},
        {"textColor",
         "CDrawText",
         {{"kind", "textColor"}, {"expression", "A"}, {"values", values}, {"colors", colors}},
         false},
        {"hmove",
         "CDrawRect",
         {{"kind", "hmove"},
          {"expression", "A"},
          {"maxOffset", 100},
          {"minValue", 0},
          {"maxValue", 100}},
         false},
        {"vmove",
         "CDrawRect",
         {{"kind", "vmove"},
          {"expression", "A"},
          {"maxOffset", 100},
          {"minValue", 0},
          {"maxValue", 100}},
         false},
        {"size",
         "CDrawRect",
         {{"kind", "size"},
          {"expression", "A"},
          {"minValue", 0},
          {"minPercent", 10},
          {"maxValue", 100},
          {"maxPercent", 100}},
         false},
        {"size (clip mode)",
         "CDrawRect",
         {{"kind", "size"},
          {"expression", "A"},
          {"minValue", 0},
          {"minPercent", 10},
          {"maxValue", 100},
          {"maxPercent", 100},
          {"sizeMode", 1}},
         false},
        {"click", "CDrawRect", {{"kind", "click"}, {"expression", "A"}}, false},
        {"input",
         "CDrawText",
         {{"kind", "input"}, {"var", "A"}, {"upper", 100}, {"lower", 0}},
         true},
        {"output (shape)",
         "CDrawRect",
         {{"kind", "output"}, {"expression", "A"}, {"decimals", 1}},
         true},
        {"output (text)",
         "CDrawText",
         {{"kind", "output"}, {"expression", "A"}, {"decimals", 1}},
         true},
    };
}

//! The most allocations one of the calls made.
int64_t mostAllocations(const std::function<void()>& call, int times) {
    int64_t most = 0;
    for (int i = 0; i < times; ++i) {
        most = std::max(most, heapOf(call).allocations);
    }
    return most;
}

void countAllocations() {
    const std::vector<AllocCase> cases = allocCases();
    QJsonArray windows;
    for (size_t i = 0; i < cases.size(); ++i) {
        windows.append(QJsonObject{
            {"number", static_cast<int>(i) + 1},
            {"name", cases[i].kind},
            {"objects", QJsonArray{QJsonObject{{"class", cases[i].klass},
                                               {"name", "X"},
                                               {"rect", QJsonArray{100, 100, 300, 200}},
                                               {"outline", "#000000"},
                                               {"fill", "#808080"},
                                               {"animations", QJsonArray{cases[i].animation}}}}}});
    }
    const kestro::Project project = compileProject(
        QJsonObject{{"version", "4.0.0.0"},
                    {"tags", QJsonArray{QJsonObject{{"name", "A"}, {"initial", kLow}}}},
                    {"windows", windows}},
        "allocations.json");
    kestro::Session session(sessionOptions());
    std::string error;
    if (!session.load(project, &error) || !session.problems().empty()) {
        fail("allocation windows: " + error);
    }
    session.start();
    kestro::Rtdb& rtdb = kestro::Rtdb::instance();
    bool high = false;
    const auto change = [&] {
        high = !high;
        rtdb.setFloat(0, high ? kHigh : kLow);
        rtdb.clearWrites();
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        addRow("allocations", cases[i].kind);
        session.showWindow(static_cast<int>(i) + 1);
        high = true;
        change(); // back to the low value
        session.refresh();
        session.refresh();
        const std::string key = std::string("allocations/") + cases[i].kind;
        setFact(key + "/exempt", cases[i].exempt ? 1 : 0);
        setFact(key + "/refresh-unchanged",
                static_cast<double>(mostAllocations([&] { session.refresh(); }, 3)));
        int64_t changing = 0;
        for (int round = 0; round < 4; ++round) {
            change();
            changing = std::max(changing, heapOf([&] { session.refresh(); }).allocations);
        }
        setFact(key + "/refresh-changing", static_cast<double>(changing));
        int64_t ticks = 0;
        for (int round = 0; round < 2; ++round) {
            for (int tick = 1; tick <= 3; ++tick) {
                ticks = std::max(ticks, heapOf([&] { session.blinkTick(tick); }).allocations);
            }
        }
        setFact(key + "/blink", static_cast<double>(ticks));
    }
}

} // namespace

void registerRefreshBenchmarks() {
    for (size_t i = 0; i < refreshCases().size(); ++i) {
        addRow("refresh", refreshCases()[i].name);
        registerRefresh(i, false);
        registerRefresh(i, true);
    }
}

void countRefreshAllocations() {
    if (!heapCounted()) {
        return;
    }
    countAllocations();
    // The big window too: one whole refresh.
    RefreshStage& stage = refreshStage();
    for (size_t i = 0; i < refreshCases().size(); ++i) {
        const RefreshCase& c = refreshCases()[i];
        stage.show(c);
        const std::string key = std::string("refresh/") + c.name;
        setFact(key + "/allocations-unchanged",
                static_cast<double>(heapOf([&] { stage.session.refresh(); }).allocations));
        int64_t changing = 0;
        for (int round = 0; round < 2; ++round) {
            setTags(round % 2 == 0 ? kHigh : kLow);
            changing = std::max(changing, heapOf([&] { stage.session.refresh(); }).allocations);
        }
        setFact(key + "/allocations-changing", static_cast<double>(changing));
    }
    dropStage();
}

} // namespace kvbench
