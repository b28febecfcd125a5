// A global allocator for tests that fails on request.
//
// FailingAllocator.cpp replaces every form of operator new and delete of the
// program (plain, array, nothrow, sized) by versions over malloc and free that
// count what they hand out. Armed with k, the k-th allocation after arming
// fails: the throwing forms throw std::bad_alloc, the nothrow forms return
// null. Only that one allocation fails; the ones after it succeed again.
//
// Because it replaces the allocator of the whole program, it is linked into
// a test program of its own. Single-threaded, as the dictionary is.
#pragma once

#include <cstdint>

namespace failalloc {

// Fails the k-th allocation from now on (k >= 1).
void Arm(uint64_t k);
// Stops failing; returns true when the k-th allocation was reached (and so
// failed) since Arm.
bool Disarm();
// Allocations made since the last Arm.
uint64_t Counted();
// Blocks handed out and not yet released, over the program's whole life.
int64_t Outstanding();

}  // namespace failalloc
