// kvbench: how close the module comes to what Qt itself allows. Runs every benchmark, then
// prints one table of figures and ratios (docs/performance.md explains it).
//
//   kvbench [Google Benchmark flags]        the benchmarks and the table
//   kvbench --profile NAME [ITERATIONS]     one workload only, for callgrind (bench/profile.sh)
//   kvbench --pair A B [ROUNDS]             two workloads in alternating blocks, and their ratio
#include "bench/benches.h"
#include "bench/heapcount.h"
#include "bench/table.h"
#include "bench/world.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <string>
#include <vector>

namespace kvbench {

namespace {

std::map<std::string, std::vector<std::string>>& sections() {
    static std::map<std::string, std::vector<std::string>> all;
    return all;
}

std::string number(double value, int decimals = 0) {
    if (std::isnan(value)) {
        return "n/a";
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string ratio(double a, double b) {
    if (std::isnan(a) || std::isnan(b) || b <= 0) {
        return "n/a";
    }
    return number(a / b, 2) + "x";
}

double ns(const std::string& name) {
    const Measured& m = measured(name);
    return m.present ? m.nsPerIteration : std::nan("");
}

double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

//! CPU seconds per iteration of n iterations, after one that is not counted: it leaves what the
//! workloads share (a stage, its damage) as the workload's own iterations leave it.
double timeBlock(const Workload& workload, int n) {
    workload.run();
    if (workload.after) {
        workload.after();
    }
    double total = 0.0;
    for (int i = 0; i < n; ++i) {
        const double start = threadSeconds();
        workload.run();
        total += threadSeconds() - start;
        if (workload.after) {
            workload.after();
        }
    }
    return total / n;
}

//! The value below which the share q of the values lie (the lowest of them when q is 0).
double quantile(std::vector<double> values, double q) {
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(q * static_cast<double>(values.size() - 1))];
}

double median(std::vector<double> values) {
    return quantile(std::move(values), 0.5);
}

//! Two workloads of one group timed in alternating blocks.
struct Paired {
    std::vector<double> timesA; //!< seconds per iteration, one per round
    std::vector<double> timesB;
    std::vector<double> ratios; //!< a / b per round
    int iterations = 0;         //!< per block

    //! The ratio of the two sides' tenth percentiles. A neighbour on the machine only ever adds
    //! time, and to some blocks more than to others: the quiet blocks of each side are compared.
    double quietRatio() const { return quantile(timesA, 0.1) / quantile(timesB, 0.1); }
};

//! Blocks of about 2 ms (one iteration at least), alternating, so that a busy neighbour or a
//! slower clock costs both sides alike, and short, so that many of them see a quiet machine.
Paired measurePair(const Workload& a, const Workload& b, int rounds) {
    for (const Workload* w : {&a, &b}) {
        if (w->prepare) {
            w->prepare();
        }
        timeBlock(*w, 1);
    }
    const double first = std::max(timeBlock(a, 3), timeBlock(b, 3));
    Paired p;
    p.iterations = std::clamp(static_cast<int>(0.002 / std::max(first, 1e-9)), 1, 100000);
    for (int r = 0; r < rounds; ++r) {
        const bool aFirst = r % 2 == 0;
        const double t1 = timeBlock(aFirst ? a : b, p.iterations);
        const double t2 = timeBlock(aFirst ? b : a, p.iterations);
        p.timesA.push_back(aFirst ? t1 : t2);
        p.timesB.push_back(aFirst ? t2 : t1);
        p.ratios.push_back(p.timesA.back() / p.timesB.back());
    }
    return p;
}

//! Rounds of the table's paired ratios: KVBENCH_PAIR_ROUNDS, 101 unless set; 0 leaves them out.
int tableRounds() {
    const char* set = std::getenv("KVBENCH_PAIR_ROUNDS");
    return set != nullptr && *set != '\0' ? std::max(0, std::atoi(set)) : 101;
}

//! The quiet ratio a / b of alternating blocks, measured when first asked; NaN when either
//! benchmark did not run (a filter) or pairing is off. The fastest repetitions of two
//! benchmarks run seconds apart, with other set-ups between them, carry the machine's drift
//! into their ratio; adjacent blocks do not.
double pairedRatio(const std::string& a, const std::string& b) {
    static std::map<std::string, double> known;
    const std::string key = a + "|" + b;
    const auto found = known.find(key);
    if (found != known.end()) {
        return found->second;
    }
    const Workload* wa = findWorkload(a);
    const Workload* wb = findWorkload(b);
    const int rounds = tableRounds();
    double value = std::nan("");
    if (rounds > 0 && wa != nullptr && wb != nullptr && measured(a).present &&
        measured(b).present) {
        value = measurePair(*wa, *wb, rounds).quietRatio();
    }
    known[key] = value;
    return value;
}

//! The paired ratio when there is one, else the ratio of the fastest repetitions: what the
//! table's verdicts go by.
double judged(double paired, double a, double b) {
    return std::isnan(paired) ? a / b : paired;
}

const char* verdict(bool met) {
    return met ? "yes" : "**no**";
}

void printPainting() {
    const std::vector<std::string>& classes = rows("paint");
    if (classes.empty()) {
        return;
    }
    std::printf("\n### Painting: one Draw on a 1920x1080 ARGB32_Premultiplied image\n\n");
    std::printf("| class | Draw ns | direct Qt calls ns | Draw / direct | paired | within 1.10x "
                "|\n");
    std::printf("|---|---:|---:|---:|---:|:---:|\n");
    for (const std::string& name : classes) {
        const double module = ns("paint/" + name + "/module");
        const double direct = ns("paint/" + name + "/direct");
        const double paired = pairedRatio("paint/" + name + "/module", "paint/" + name + "/direct");
        std::string note = verdict(judged(paired, module, direct) <= 1.10);
        if (fact("paint/" + name + "/replay-differs") == 1) {
            note += " (replay differs in pixels)";
        }
        std::printf("| %s | %s | %s | %s | %s | %s |\n", name.c_str(), number(module).c_str(),
                    number(direct).c_str(), ratio(module, direct).c_str(), ratio(paired, 1).c_str(),
                    note.c_str());
    }
}

void printGrid() {
    const std::vector<std::string>& shapes = rows("grid");
    if (shapes.empty()) {
        return;
    }
    std::printf("\n### Plain shapes: 100 objects against a QGraphicsScene of 100 equivalent "
                "items (ns per object)\n\n");
    std::printf("| class | host paint (save, Draw, restore) | QGraphicsScene::render | "
                "scene / Draw | paired | faster than the scene |\n");
    std::printf("|---|---:|---:|---:|---:|:---:|\n");
    for (const std::string& name : shapes) {
        const double module = ns("grid/" + name + "/module") / 100;
        const double scene = ns("grid/" + name + "/scene") / 100;
        const double paired = pairedRatio("grid/" + name + "/scene", "grid/" + name + "/module");
        std::printf("| %s | %s | %s | %s | %s | %s |\n", name.c_str(), number(module).c_str(),
                    number(scene).c_str(), ratio(scene, module).c_str(), ratio(paired, 1).c_str(),
                    verdict(judged(paired, scene, module) > 1));
    }
}

void printWindow() {
    if (rows("window").empty()) {
        return;
    }
    std::printf("\n### A whole window: examples/plant.json through the session\n\n");
    std::printf("| window | Session::paint us | direct Qt calls us | paint / direct | paired | "
                "within 1.15x |\n");
    std::printf("|---|---:|---:|---:|---:|:---:|\n");
    for (const std::string& name : rows("window")) {
        const double module = ns("window/" + name + "/module");
        const double direct = ns("window/" + name + "/direct");
        const double paired =
            pairedRatio("window/" + name + "/module", "window/" + name + "/direct");
        std::printf("| %s | %s | %s | %s | %s | %s |\n", name.c_str(),
                    number(module / 1000, 1).c_str(), number(direct / 1000, 1).c_str(),
                    ratio(module, direct).c_str(), ratio(paired, 1).c_str(),
                    verdict(judged(paired, module, direct) <= 1.15));
    }
}

void printRefresh() {
    if (rows("refresh").empty()) {
        return;
    }
    std::printf("\n### Refresh: Run(0) over 10,000 objects with two animations each "
                "(ns per animation)\n\n");
    std::printf("| animations | values | Run(0) | bare evaluation | Run / bare | paired | "
                "within 1.3x | heap allocations per refresh |\n");
    std::printf("|---|---|---:|---:|---:|---:|:---:|---:|\n");
    for (const std::string& name : rows("refresh")) {
        for (const char* values : {"unchanged", "changing"}) {
            const std::string base = "refresh/" + name + "/" + values;
            const double run = ns(base + "/run") / 20000;
            const double bare = ns(base + "/bare") / 20000;
            const double paired = pairedRatio(base + "/run", base + "/bare");
            const bool target = std::string(values) == "unchanged";
            std::printf("| %s | %s | %s | %s | %s | %s | %s | %s |\n", name.c_str(), values,
                        number(run, 1).c_str(), number(bare, 1).c_str(), ratio(run, bare).c_str(),
                        ratio(paired, 1).c_str(),
                        target ? verdict(judged(paired, run, bare) <= 1.3) : "-",
                        number(fact("refresh/" + name + "/allocations-" + values)).c_str());
        }
    }
}

void printLoad() {
    if (rows("load").empty()) {
        return;
    }
    const double bytes = fact("load/large/bytes");
    const double objects = fact("load/large/objects");
    std::printf("\n### Loading: %s objects (every class of examples/all-classes.json, two "
                "animations each), %s bytes of records\n\n",
                number(objects).c_str(), number(bytes).c_str());
    std::printf("| | MB/s | memcpy MB/s | load / memcpy | at least 300 MB/s | heap bytes per "
                "object | allocations per object |\n");
    std::printf("|---|---:|---:|---:|:---:|---:|---:|\n");
    for (const std::string& name : rows("load")) {
        const double module = bytes / ns("load/" + name + "/module") * 1e3;
        const double copy = bytes / ns("load/" + name + "/memcpy") * 1e3;
        std::printf("| %s | %s | %s | %s | %s | %s | %s |\n", name.c_str(), number(module).c_str(),
                    number(copy).c_str(), number(module / copy, 4).c_str(), verdict(module >= 300),
                    number(fact("memory/bytes-per-object")).c_str(),
                    number(fact("memory/allocations-per-object"), 1).c_str());
    }
}

void printDamage() {
    if (rows("damage").empty()) {
        return;
    }
    std::printf("\n### Repainting what changed: 10,000 rectangles on a 1920x1080 window, 1 %% of "
                "them (scattered) changed by the refresh before\n\n");
    std::printf(
        "| change | takeDamage + paint(region) us | paint() us | partial / full | "
        "paired | within 5 %% | damaged share of the window | painter calls, partial / full | "
        "nothing changed: take + paint us | nothing changed: painter calls |\n");
    std::printf("|---|---:|---:|---:|---:|:---:|---:|---:|---:|---:|\n");
    for (const std::string& name : rows("damage")) {
        const std::string base = "damage/" + name;
        const double partial = ns(base + "/partial");
        const double full = ns(base + "/full");
        const double paired = pairedRatio(base + "/partial", base + "/full");
        std::printf("| %s | %s | %s | %s | %s | %s | %s %% | %s / %s | %s | %s |\n", name.c_str(),
                    number(partial / 1000, 1).c_str(), number(full / 1000, 1).c_str(),
                    (number(100 * partial / full, 2) + " %").c_str(),
                    std::isnan(paired) ? "n/a" : (number(100 * paired, 2) + " %").c_str(),
                    verdict(judged(paired, partial, full) <= 0.05),
                    number(100 * fact(base + "/area"), 2).c_str(),
                    number(fact(base + "/calls")).c_str(),
                    number(fact(base + "/full-calls")).c_str(),
                    number(ns(base + "/unchanged") / 1000, 1).c_str(),
                    number(fact(base + "/unchanged-calls")).c_str());
    }
}

void printAllocations() {
    if (rows("allocations").empty()) {
        return;
    }
    std::printf("\n### Heap allocations per Run, most seen (after the first refresh)\n\n");
    std::printf("| animation | refresh, values unchanged | refresh, values changing | blink "
                "ticks | may allocate |\n");
    std::printf("|---|---:|---:|---:|---|\n");
    for (const std::string& kind : rows("allocations")) {
        const std::string key = "allocations/" + kind;
        std::string may = fact(key + "/exempt") == 1 ? "text path" : "no";
        if (kind == "size (clip mode)") {
            may = "when the clip changes";
        }
        std::printf("| %s | %s | %s | %s | %s |\n", kind.c_str(),
                    number(fact(key + "/refresh-unchanged")).c_str(),
                    number(fact(key + "/refresh-changing")).c_str(),
                    number(fact(key + "/blink")).c_str(), may.c_str());
    }
}

} // namespace

void addRow(const std::string& section, const std::string& row) {
    sections()[section].push_back(row);
}

const std::vector<std::string>& rows(const std::string& section) {
    return sections()[section];
}

// Kept out of line so that callgrind can collect this function alone (bench/profile.sh).
__attribute__((noinline)) void profiledIteration(const Workload& workload) {
    workload.run();
}

int profile(const std::string& name, int iterations) {
    const Workload* workload = findWorkload(name);
    if (workload == nullptr) {
        std::fprintf(stderr, "kvbench: no workload %s; there are:\n", name.c_str());
        for (const Workload& w : workloads()) {
            std::fprintf(stderr, "  %s\n", w.name.c_str());
        }
        return 2;
    }
    if (workload->prepare) {
        workload->prepare();
    }
    // One iteration first: what is made once (caches, the first refresh) is not counted.
    for (int i = 0; i <= iterations; ++i) {
        if (i == 0) {
            workload->run();
        } else {
            profiledIteration(*workload);
        }
        if (workload->after) {
            workload->after();
        }
    }
    std::printf("%s: %d iterations\n", name.c_str(), iterations);
    dropStage();
    clearWorkloads();
    return 0;
}

int pair(const std::string& nameA, const std::string& nameB, int rounds) {
    const Workload* a = findWorkload(nameA);
    const Workload* b = findWorkload(nameB);
    if (a == nullptr || b == nullptr || rounds < 1) {
        std::fprintf(stderr, "kvbench: --pair needs two workloads (--profile x lists them)\n");
        return 2;
    }
    // A group's workloads share what is set up; another group's would replace it every block.
    if (nameA.substr(0, nameA.find('/')) != nameB.substr(0, nameB.find('/'))) {
        std::fprintf(stderr, "kvbench: --pair compares two workloads of one group\n");
        return 2;
    }
    const Paired p = measurePair(*a, *b, rounds);
    const auto us = [](double s) { return s * 1e6; };
    const double fastestA = *std::min_element(p.timesA.begin(), p.timesA.end());
    const double fastestB = *std::min_element(p.timesB.begin(), p.timesB.end());
    std::printf("%s: fastest %.1f us, median %.1f us\n", nameA.c_str(), us(fastestA),
                us(median(p.timesA)));
    std::printf("%s: fastest %.1f us, median %.1f us\n", nameB.c_str(), us(fastestB),
                us(median(p.timesB)));
    std::printf("ratio: %.3f of the tenth percentiles of %d rounds of %d iterations; per round "
                "%.3f median (%.3f to %.3f); %.3f fastest over fastest\n",
                p.quietRatio(), rounds, p.iterations, median(p.ratios),
                *std::min_element(p.ratios.begin(), p.ratios.end()),
                *std::max_element(p.ratios.begin(), p.ratios.end()), fastestA / fastestB);
    dropStage();
    clearWorkloads();
    return 0;
}

void printTable() {
    std::printf("\n## kvbench results (CPU time of the fastest repetition; \"paired\": the "
                "ratio of the tenth percentiles of %d rounds of alternating blocks, which the "
                "verdicts go by)\n",
                tableRounds());
    printPainting();
    printGrid();
    printWindow();
    printRefresh();
    printLoad();
    printAllocations();
    printDamage();
    if (!heapCounted()) {
        std::printf("\n(heap use is not counted in this build: the sanitizer owns the "
                    "allocator)\n");
    }
    std::fflush(stdout);
}

} // namespace kvbench

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const std::string mode = argc >= 3 ? argv[1] : "";
    if (mode == "--profile" || (mode == "--pair" && argc >= 4)) {
        // Only the groups of the workloads are set up: under callgrind every set-up is slow.
        const std::string name = argv[2];
        const std::string other = mode == "--pair" ? argv[3] : name;
        const auto group = [&](const char* prefix) {
            return name.rfind(prefix, 0) == 0 || other.rfind(prefix, 0) == 0;
        };
        bool any = false;
        if (group("paint/") || group("grid/") || group("window/")) {
            kvbench::registerPaintBenchmarks();
            any = true;
        }
        if (group("refresh/")) {
            kvbench::registerRefreshBenchmarks();
            any = true;
        }
        if (group("load/")) {
            kvbench::registerLoadBenchmarks();
            any = true;
        }
        if (group("damage/")) {
            kvbench::registerDamageBenchmarks();
            any = true;
        }
        if (!any) {
            kvbench::registerPaintBenchmarks();
            kvbench::registerRefreshBenchmarks();
            kvbench::registerLoadBenchmarks();
            kvbench::registerDamageBenchmarks();
        }
        if (mode == "--pair") {
            return kvbench::pair(name, other, argc >= 5 ? std::atoi(argv[4]) : 101);
        }
        return kvbench::profile(name, argc >= 4 ? std::atoi(argv[3]) : 10);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    kvbench::registerPaintBenchmarks();
    kvbench::registerRefreshBenchmarks();
    kvbench::registerLoadBenchmarks();
    kvbench::registerDamageBenchmarks();
    kvbench::countRefreshAllocations();
    kvbench::countLoadMemory();
    kvbench::countDamageCalls();

    kvbench::CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    kvbench::dropStage();
    kvbench::printTable();
    kvbench::clearWorkloads();
    benchmark::Shutdown();
    return 0;
}
