// Strategy runner of the reference host: strategies are callables registered under a number;
// Vorn_Stgy_RunUserStgy runs one and every run is recorded, known or not.
#pragma once

#include "runtime/host/records.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kestro {

struct StrategyRun {
    int strategy = 0;
    int argument = 0;
    bool known = false; //!< a strategy with that number was registered
};

class Strategies {
public:
    static Strategies& instance();

    //! Registers a strategy under its number; a later one with the same number replaces it.
    void define(int number, std::string name, std::function<void()> action);
    //! Runs a strategy and records the run; 0 when it was registered, -1 otherwise.
    int run(int number, int argument);
    //! Every run in call order.
    const RecordList<StrategyRun>& runs() const { return m_runs; }
    //! The same, for its owner (a session) to trim.
    RecordList<StrategyRun>& runRecord() { return m_runs; }
    //! The name a strategy was registered with; "" when none is.
    std::string nameOf(int number) const;
    //! Forgets the strategies and the runs.
    void clear();

private:
    Strategies() = default;
    struct Entry {
        std::string name;
        std::function<void()> action;
    };
    std::map<int, Entry> m_strategies;
    RecordList<StrategyRun> m_runs;
};

} // namespace kestro
