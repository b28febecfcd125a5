#include "FailingAllocator.h"

#include <cstdlib>
#include <new>

namespace {

// Constant-initialised, so that allocations made before main() find them ready.
bool g_armed = false;
uint64_t g_failAt = 0;
uint64_t g_counted = 0;
bool g_failed = false;
int64_t g_outstanding = 0;

// Null for the armed k-th allocation; otherwise a block of at least one byte
// (a request for 0 bytes must still give a unique pointer).
void* Allocate(std::size_t size) {
    if (g_armed && ++g_counted == g_failAt) {
        g_failed = true;
        return nullptr;
    }
    void* block = std::malloc(size != 0 ? size : 1);
    if (block != nullptr) ++g_outstanding;
    return block;
}

void* AllocateOrThrow(std::size_t size) {
    void* block = Allocate(size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

void Release(void* block) noexcept {
    if (block == nullptr) return;
    --g_outstanding;
    std::free(block);
}

}  // namespace

namespace failalloc {

void Arm(uint64_t k) {
    g_failAt = k;
    g_counted = 0;
    g_failed = false;
    g_armed = true;
}

bool Disarm() {
    g_armed = false;
    return g_failed;
}

uint64_t Counted() {
    return g_counted;
}

int64_t Outstanding() {
    return g_outstanding;
}

}  // namespace failalloc

void* operator new(std::size_t size) {
    return AllocateOrThrow(size);
}
void* operator new[](std::size_t size) {
    return AllocateOrThrow(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void operator delete(void* block) noexcept {
    Release(block);
}
void operator delete[](void* block) noexcept {
    Release(block);
}
void operator delete(void* block, std::size_t) noexcept {
    Release(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    Release(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
    Release(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
    Release(block);
}
