// The test allocator (tests/alloc/FailingAllocator.h) made callable from C, for
// capi_alloc_test.c. It replaces operator new of the program it is linked
// into, so that program links the C interface statically: a shared library
// would keep an allocator of its own.
#include <cstdint>

#include "alloc/FailingAllocator.h"

extern "C" {

void vkc_test_arm(uint64_t k) {
    failalloc::Arm(k);
}

int vkc_test_disarm(void) {
    return failalloc::Disarm() ? 1 : 0;
}

int64_t vkc_test_outstanding(void) {
    return failalloc::Outstanding();
}

}  // extern "C"
