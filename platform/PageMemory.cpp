// Page-backed memory: VirtualAlloc on Windows, anonymous mmap elsewhere.
#include "platform/PageMemory.h"

#include <cstdint>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <sys/mman.h>
#endif

namespace platform {

#ifdef _WIN32

void* AllocatePages(size_t bytes) {
    return VirtualAlloc(nullptr, bytes != 0 ? bytes : 1, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void ReleasePages(void* block, size_t) {
    if (block != nullptr) VirtualFree(block, 0, MEM_RELEASE);
}

// Large pages on Windows need a privilege that ordinary users lack: no advice.
void AdviseHugePages(void*, size_t) {}

#else

void* AllocatePages(size_t bytes) {
    if (bytes == 0) bytes = 1;
    void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) return nullptr;
    AdviseHugePages(block, bytes);
    return block;
}

void ReleasePages(void* block, size_t bytes) {
    if (block != nullptr) munmap(block, bytes != 0 ? bytes : 1);
}

void AdviseHugePages(void* block, size_t bytes) {
#ifdef MADV_HUGEPAGE
    // Huge pages are 2 MiB here; only whole ones inside the block are advised.
    constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
    const uintptr_t start = reinterpret_cast<uintptr_t>(block);
    const uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
    const uintptr_t last = (start + bytes) & ~(kHugePage - 1);
    if (block == nullptr || last <= first) return;
    // Advice that the system refuses changes nothing: the result is ignored.
    (void)madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)block;
    (void)bytes;
#endif
}

#endif

}  // namespace platform
