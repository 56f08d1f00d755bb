// The benchmark groups, registered by main() before the run, and the rows of the table.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace kvbench {

//! One measured thing: a benchmark of the table, and what `kvbench --profile` runs under
//! callgrind.
struct Workload {
    std::string name;
    std::function<void()> prepare; //!< before the iterations (may be empty)
    std::function<void()> run;     //!< one iteration
    std::function<void()> after;   //!< after each iteration, not measured (may be empty)
    int64_t items = 0;             //!< per iteration, when counted
    int64_t bytes = 0;             //!< per iteration, when counted
};

//! Registers the workload as a benchmark of its name.
void addWorkload(Workload workload);
//! The workload of that name, or null.
const Workload* findWorkload(const std::string& name);
const std::deque<Workload>& workloads();
//! Drops every workload and what it holds, while the application still lives.
void clearWorkloads();

void registerPaintBenchmarks();
void registerRefreshBenchmarks();
void registerLoadBenchmarks();
void registerDamageBenchmarks();

//! Counted outside the timed loops, before the benchmarks run.
void countRefreshAllocations();
void countLoadMemory();
void countDamageCalls();

//! The rows of a section of the table, in the order they were added.
void addRow(const std::string& section, const std::string& row);
const std::vector<std::string>& rows(const std::string& section);

} // namespace kvbench
