// DecodeWindow: the WINDOW_SIZE bytes each decoder obtains per entry, at
// once the ring of match history and the output buffer. Output leaves it
// only as whole windows and one final partial block, each fed to the
// Crc32 register just before it is written.
#pragma once

#include <cstdint>
#include <cstring>

#include "common/sizes.h"

inline constexpr uint32_t MAX_MATCH_LENGTH = 256;

// A zero-filled window from the global heap, or nullptr when the heap
// cannot give one: the entry's data is then skipped (as the stored copy
// does for its buffer, so the stream stands at the next header) and
// "Alloc memory error !" has been shown.
uint8_t* obtain_window();
void release_window(uint8_t* window);
// Feeds n bytes to the Crc32 register and writes them. False after
// "Write to output stream error !" when fewer were written.
bool flush_window(const uint8_t* window, uint32_t n);
// A decoder's result once its items are done, `written` false after a
// failed flush (271). An entry that ended early (bit_reader.ended) gets no
// more bytes written: damage shows "File has bad CRC !" here, 267, and a
// refused code has shown its box already, 268. Otherwise the `position`
// bytes still in the window are written: 0, or 271.
int finish_window(const uint8_t* window, uint32_t position, bool written);

// Copies `length` bytes within one buffer exactly as a front-to-back byte
// loop would, also when source and destination overlap.
inline void copy_run(uint8_t* destination, const uint8_t* source, uint32_t length) {
    bool behind = source < destination;
    uintptr_t gap = behind ? uintptr_t(destination - source) : uintptr_t(source - destination);
    // Chunks of 8 give the byte loop's result when the runs do not overlap,
    // and also when the source lies at least 8 bytes behind: each chunk then
    // reads only bytes that are final already. The last chunk is realigned
    // to end exactly at `length`; it rewrites bytes with the values they
    // hold.
    if (gap >= length || (behind && gap >= 8)) {
        uint64_t chunk;
        if (length >= 8) {
            uint32_t i = 0;
            for (; i + 8 <= length; i += 8) {
                memcpy(&chunk, source + i, 8);
                memcpy(destination + i, &chunk, 8);
            }
            memcpy(&chunk, source + length - 8, 8);
            memcpy(destination + length - 8, &chunk, 8);
            return;
        }
        if (length >= 4) {
            uint32_t head, tail;
            memcpy(&head, source, 4);
            memcpy(&tail, source + length - 4, 4);
            memcpy(destination, &head, 4);
            memcpy(destination + length - 4, &tail, 4);
            return;
        }
    } else if (!behind) {
        // Overlapping with the source ahead: a byte loop reads every byte
        // before it is overwritten, as memmove does.
        memmove(destination, source, length);
        return;
    } else if (gap == 1) {
        memset(destination, source[0], length);
        return;
    }
    for (uint32_t i = 0; i < length; i++) destination[i] = source[i];
}

// Produces a match of `length` (1 to MAX_MATCH_LENGTH) bytes from ring
// index `source` at `position`, flushing the window whenever it fills.
// False after a failed flush.
//
// Contract: position < WINDOW_SIZE and source < WINDOW_SIZE. When neither
// run reaches the window's end (position + length < WINDOW_SIZE, source +
// length <= WINDOW_SIZE) there is no flush and no wrap, and the copy is one
// run; otherwise it goes byte by byte with both tests.
inline bool copy_match(uint8_t* window, uint32_t& position, uint32_t source, uint32_t length) {
    if (position + length < WINDOW_SIZE && source + length <= WINDOW_SIZE) {
        copy_run(window + position, window + source, length);
        position += length;
        return true;
    }
    for (; length > 0; length--) {
        window[position++] = window[source++];
        if (position == WINDOW_SIZE) {
            if (!flush_window(window, WINDOW_SIZE)) return false;
            position = 0;
        }
        if (source == WINDOW_SIZE) source = 0;
    }
    return true;
}
