// Blocks from the global heap, zero-filled and locked for use, as the
// decoders' windows and the stored copy's buffer are obtained.
#pragma once

#include <cstddef>

// A locked, zero-filled block of `bytes` bytes, or nullptr when the heap
// cannot give it (nothing is held then).
void* heap_obtain(size_t bytes);
// Unlocks and frees a block from heap_obtain. nullptr is ignored.
void heap_release(void* block);
