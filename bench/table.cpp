#include "bench/table.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace kvbench {

namespace {

std::map<std::string, Measured>& results() {
    static std::map<std::string, Measured> all;
    return all;
}

std::map<std::string, double>& facts() {
    static std::map<std::string, double> all;
    return all;
}

double toNanoseconds(double value, benchmark::TimeUnit unit) {
    switch (unit) {
    case benchmark::kSecond:
        return value * 1e9;
    case benchmark::kMillisecond:
        return value * 1e6;
    case benchmark::kMicrosecond:
        return value * 1e3;
    default:
        return value;
    }
}

} // namespace

void CollectingReporter::ReportRuns(const std::vector<Run>& runs) {
    for (const Run& run : runs) {
        if (run.run_type != Run::RT_Iteration || run.error_occurred) {
            continue;
        }
        // The fastest repetition: on a shared machine everything else only ever adds time.
        const double ns = toNanoseconds(run.GetAdjustedCPUTime(), run.time_unit);
        Measured& m = results()[run.run_name.function_name];
        if (!m.present || ns < m.nsPerIteration) {
            m.nsPerIteration = ns;
            m.counters.clear();
            for (const auto& [name, counter] : run.counters) {
                m.counters[name] = counter.value;
            }
        }
        m.present = true;
    }
    ConsoleReporter::ReportRuns(runs);
}

const Measured& measured(const std::string& name) {
    static const Measured none;
    const auto it = results().find(name);
    return it == results().end() ? none : it->second;
}

void setFact(const std::string& name, double value) {
    facts()[name] = value;
}

double fact(const std::string& name) {
    const auto it = facts().find(name);
    return it == facts().end() ? std::numeric_limits<double>::quiet_NaN() : it->second;
}

} // namespace kvbench
