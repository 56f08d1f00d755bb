// Heap use of the bench program: while heapOf runs, every malloc, calloc and realloc of its
// thread (operator new, Qt's containers and the plug-ins included) is counted, with the bytes
// the allocator hands out and takes back.
#pragma once

#include <cstdint>

namespace kvbench {

struct HeapCount {
    int64_t allocations = 0; //!< malloc, calloc and realloc calls
    int64_t bytes = 0;       //!< bytes handed out minus bytes given back (usable sizes)
};

//! False where the allocator cannot be counted (under the address sanitizer).
bool heapCounted();

//! The counts of this thread so far.
HeapCount heapNow();
//! Counting on (nested calls add up) or off again.
void countHeap(bool on);

//! The allocations and the bytes still held after f, counted while f runs.
template <class F>
HeapCount heapOf(F&& f) {
    countHeap(true);
    const HeapCount before = heapNow();
    f();
    const HeapCount after = heapNow();
    countHeap(false);
    return {after.allocations - before.allocations, after.bytes - before.bytes};
}

} // namespace kvbench
