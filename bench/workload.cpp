#include "bench/benches.h"

#include <benchmark/benchmark.h>

namespace kvbench {

namespace {

std::deque<Workload>& all() {
    static std::deque<Workload> list; // a deque keeps the registered ones where they are
    return list;
}

} // namespace

void addWorkload(Workload workload) {
    all().push_back(std::move(workload));
    const Workload* w = &all().back();
    benchmark::RegisterBenchmark(w->name.c_str(), [w](benchmark::State& state) {
        if (w->prepare) {
            w->prepare();
        }
        for (auto _ : state) {
            w->run();
            if (w->after) {
                state.PauseTiming();
                w->after();
                state.ResumeTiming();
            }
        }
        if (w->items > 0) {
            state.SetItemsProcessed(state.iterations() * w->items);
        }
        if (w->bytes > 0) {
            state.SetBytesProcessed(state.iterations() * w->bytes);
        }
    });
}

const Workload* findWorkload(const std::string& name) {
    for (const Workload& w : all()) {
        if (w.name == name) {
            return &w;
        }
    }
    return nullptr;
}

void clearWorkloads() {
    all().clear();
}

const std::deque<Workload>& workloads() {
    return all();
}

} // namespace kvbench
