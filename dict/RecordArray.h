// Allocation of the dictionary's record arrays, shared by the loaders and the
// editors so that every array (the constructor's placeholder included) is
// allocated and released the same way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

#include "dict/VKCStringDict.h"
#include "platform/PageMemory.h"

namespace recordarray {

// The size of one record in the binary image and in the 32-bit program's
// memory; an array whose size in these units does not fit in 32 bits is an
// allocation failure, whatever the pointer width of this build.
constexpr uint64_t kRecordSize32 = 24;

// A zero-filled array of `n` records. Throws std::bad_alloc when memory is
// exhausted or 24 × n does not fit in 32 bits. The caller owns the result and
// releases it with Release().
inline StringEntry* Allocate(uint64_t n) {
    if (n * kRecordSize32 > 0xFFFFFFFFull) throw std::bad_alloc();
    const size_t bytes = static_cast<size_t>(n * sizeof(StringEntry));
    char* block = new char[bytes];
    // Advised before it is zeroed, which is its first touch.
    platform::AdviseHugePages(block, bytes);
    std::memset(block, 0, bytes);
    return reinterpret_cast<StringEntry*>(block);
}

// The size of the zero-filled placeholder blocks that a new dictionary holds
// as its pool and its record array.
constexpr size_t kPlaceholderSize = 16;

// A zero-filled block of `bytes` bytes used as a record array (the placeholder).
inline StringEntry* AllocateBytes(size_t bytes) {
    return reinterpret_cast<StringEntry*>(new char[bytes]());
}

inline void Release(StringEntry* array) {
    delete[] reinterpret_cast<char*>(array);
}

}  // namespace recordarray
