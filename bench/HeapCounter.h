// Live heap bytes and their peak, for the benchmarks that measure memory. Linking
// HeapCounter.cpp into a benchmark replaces the global allocation operators with
// counting ones; each block counts with the size the allocator gave it.
//
// Counting is on from the start. While it is off, nothing is counted and allocations
// cost no more than usual (timed runs); a block made while it was off and freed while
// it is on is subtracted all the same, so compare the live bytes of two points
// between which little made before was freed.
#pragma once

#include <cstddef>

namespace bench {

void SetHeapCounting(bool bOn);
size_t GetLiveHeapBytes();
size_t GetPeakHeapBytes();
// Starts a new peak from the bytes live now.
void ResetHeapPeak();

}  // namespace bench
