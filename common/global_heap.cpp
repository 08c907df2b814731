#include "common/global_heap.h"

#include "common/platform.h"

void* heap_obtain(size_t bytes) {
    Handle memory = platform->GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    if (!memory) return nullptr;
    void* block = platform->GlobalLock(memory);
    if (!block) platform->GlobalFree(memory);
    return block;
}

void heap_release(void* block) {
    if (!block) return;
    Handle memory = platform->GlobalHandle(block);
    platform->GlobalUnlock(memory);
    platform->GlobalFree(memory);
}
