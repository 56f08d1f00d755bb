// The figures of a run: what each benchmark measured (collected by a reporter as the runs end)
// and the facts counted outside the timed loops, printed at the end as one table of figures
// and ratios.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace kvbench {

//! One benchmark's figures: the fastest repetition's CPU time per iteration and its counters.
struct Measured {
    double nsPerIteration = 0.0;
    std::map<std::string, double> counters;
    bool present = false;
};

//! Collects every run while printing as the console reporter does.
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override;
};

//! The figures of a benchmark by name; absent ones report present == false.
const Measured& measured(const std::string& name);

//! A number counted outside the timed loops (allocations, bytes), by name.
void setFact(const std::string& name, double value);
//! NaN when never set.
double fact(const std::string& name);

//! Prints the whole table.
void printTable();

} // namespace kvbench
