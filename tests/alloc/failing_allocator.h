// This test binary's own global operator new and delete: they count allocations and can make
// one of them fail, as a process out of memory would (the throwing forms throw
// std::bad_alloc, the nothrow forms answer null).
#pragma once

#include <cstddef>

namespace kindprobe::alloctest {

// The `nth` allocation from now (1 for the very next one) fails; the others succeed.
void FailAllocation(std::size_t nth);
// Disarms the failure; true when it happened since FailAllocation.
bool StopFailing();
// Blocks handed out by this allocator and not yet given back: where no leak checker runs, two
// readings around a scenario that frees what it made must agree.
std::size_t LiveBlocks();

}  // namespace kindprobe::alloctest
