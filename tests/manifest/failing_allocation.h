// Makes chosen allocations fail. A test binary that links
// failing_allocation.cpp replaces the nothrow forms of operator new and
// operator new[] (the only ones the installer's code uses); they fail on
// request and otherwise allocate as usual.
#pragma once
#include <cstddef>

namespace kest {

// The next `times` nothrow allocations of exactly size bytes fail; every
// other allocation goes through.
void FailAllocations(size_t size, int times);
// Forgets any failures still asked for.
void StopFailingAllocations();
// How many allocations have been made to fail so far.
int FailedAllocations();

}  // namespace kest
