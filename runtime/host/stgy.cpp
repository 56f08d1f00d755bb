// Strategy runner of the reference host (library stgy).
#include "runtime/host/stgy.h"

#include "kestrovalumen/host/stgy.h"

namespace kestro {

Strategies& Strategies::instance() {
    static Strategies strategies;
    return strategies;
}

void Strategies::define(int number, std::string name, std::function<void()> action) {
    m_strategies[number] = Entry{std::move(name), std::move(action)};
}

int Strategies::run(int number, int argument) {
    const auto found = m_strategies.find(number);
    const bool known = found != m_strategies.end();
    m_runs.push_back({number, argument, known});
    if (!known) {
        return -1;
    }
    // The action may define or clear strategies: run a copy.
    const std::function<void()> action = found->second.action;
    if (action) {
        action();
    }
    return 0;
}

std::string Strategies::nameOf(int number) const {
    const auto found = m_strategies.find(number);
    return found == m_strategies.end() ? std::string() : found->second.name;
}

void Strategies::clear() {
    m_strategies.clear();
    m_runs.clear();
}

} // namespace kestro

int Vorn_Stgy_RunUserStgy(int strategy, int argument) {
    return kestro::Strategies::instance().run(strategy, argument);
}
