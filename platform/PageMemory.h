// Memory taken straight from the operating system in whole pages, and advice
// that a block be backed by huge pages.
//
// Blocks from AllocatePages do not come from the global allocator: they are
// zero-filled, page-aligned, and owned by the caller, who returns each one
// with ReleasePages and the same size. They suit large tables that are built,
// read at random and dropped as a whole (the lookup index). Where the system
// offers transparent huge pages the block is advised to use them, which cuts
// the cost of first touching it and of reading it at random.
#pragma once

#include <cstddef>

namespace platform {

// A zero-filled block of at least `bytes` bytes (0 counts as 1), or null when
// the system refuses it. Release it with ReleasePages(block, bytes).
void* AllocatePages(size_t bytes);
// Returns a block from AllocatePages. A null block is ignored.
void ReleasePages(void* block, size_t bytes);
// Advises that the whole huge pages inside [block, block + bytes) be backed by
// huge pages when first touched. A hint only: it changes no byte, may be
// ignored, and suits any block of private memory, including one from the
// global allocator (only the aligned interior is advised).
void AdviseHugePages(void* block, size_t bytes);

}  // namespace platform
