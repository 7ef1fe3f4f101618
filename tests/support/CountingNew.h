// A test program that links CountingNew.cpp replaces the global operator new and delete: while
// `counting` is on, every allocation adds one to `allocations`. Every form without an alignment is
// replaced, so that what one form allocates another may free.
#pragma once

#include <atomic>

namespace testalloc {
extern std::atomic<bool> counting;
extern std::atomic<long> allocations;
}  // namespace testalloc
