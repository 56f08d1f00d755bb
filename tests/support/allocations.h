// Heap allocations of a test program (allocations.cpp): counted, or a non-throwing one failed.
#pragma once

#include <utility>

namespace kvtest {

//! False under the address sanitizer, which brings its own operator new: nothing is counted.
bool allocationsCounted();

//! Counts the allocations of the current thread while it lives.
class AllocationCount {
public:
    AllocationCount();
    ~AllocationCount();
    AllocationCount(const AllocationCount&) = delete;
    AllocationCount& operator=(const AllocationCount&) = delete;

    long value() const { return m_count; }

private:
    long m_count = 0;
    long* m_previous;
};

template <class F>
long allocationsOf(F&& f) {
    AllocationCount count;
    std::forward<F>(f)();
    return count.value();
}

//! The n-th non-throwing allocation from now returns null; 0 switches this off.
void failNthNothrowAllocation(int n);

} // namespace kvtest
