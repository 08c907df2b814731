// DecodeWindow: the bytes a decoder produces, at once the history that
// matches copy from and the output buffer of the entry.
//
// Layout of its one block from the global heap:
//   [0, WINDOW_SIZE)            history: the WINDOW_SIZE bytes before the
//                               first output block, zeros at the entry's start
//   [WINDOW_SIZE, REGION_END)   WINDOW_BLOCKS output blocks of WINDOW_SIZE
//   [REGION_END, WINDOW_BYTES)  margin for the item that crosses REGION_END
// A match reaches at most WINDOW_SIZE bytes back and position never falls
// below WINDOW_SIZE, so every source lies inside, and no index wraps.
// Output leaves in whole blocks of WINDOW_SIZE bytes and one final partial
// block, each fed to the Crc32 register just before it is written. After
// the buffer's last block, that block (the history of what follows) and
// what the item wrote past it move to the front.
#pragma once

#include <cstdint>
#include <cstring>

#include "common/sizes.h"
#include "decode/bit_reader.h"
#include "decode/match_format.h"

inline constexpr uint32_t WINDOW_BLOCKS = 4;    // output blocks between two moves of the history
inline constexpr uint32_t COPY_CHUNK = 16;      // a match copy may write up to COPY_CHUNK - 1 bytes past its end
inline constexpr uint32_t REGION_END = WINDOW_SIZE + WINDOW_BLOCKS * WINDOW_SIZE;
// An item (or an iteration of a fast loop) starts before block_end <=
// REGION_END and writes less than this past it, its copy's overrun
// included: a match and a few literals.
inline constexpr uint32_t WINDOW_MARGIN = 2 * MAX_MATCH_LENGTH;
inline constexpr uint32_t WINDOW_BYTES = REGION_END + WINDOW_MARGIN;

struct DecodeWindow {
    uint8_t* bytes;      // WINDOW_BYTES from the global heap, laid out as above
    uint32_t position;   // where the next byte goes; WINDOW_SIZE <= position < block_end between items
    uint32_t block_end;  // the end of the output block being filled
};

// A zero-filled window, positioned at the first output block. False after
// "Alloc memory error !" when the heap cannot give one.
bool obtain_window(DecodeWindow& window);
void release_window(DecodeWindow& window);
// Writes the full block that position has reached or passed, and moves the
// history to the front after the last block. False after "Write to output
// stream error !" when fewer bytes were written. Contract: position >=
// block_end.
bool flush_block(DecodeWindow& window);
// A decoder's result once its items are done, `written` false after a
// failed flush (271). An entry that ended early (reader.ended) gets no more
// bytes written and its one box here: damage "File has bad CRC !", 267, a
// refused code "Bad Huffman code !", 268. Otherwise the bytes of the block
// being filled are written: 0, or 271.
int finish_window(DecodeWindow& window, const BitReader& reader, bool written);

// Produces a match: `length` bytes (1 to MAX_MATCH_LENGTH) from `back`
// bytes behind `at`, exactly as a front-to-back byte loop would, also when
// the source overlaps what it produces; it may write up to COPY_CHUNK - 1
// bytes past them, where nothing has been produced yet.
//
// Contract: `at` is position in a window, back <= WINDOW_SIZE, and at +
// length lies inside the margin (the item starts before block_end).
// Chunks of 16 (or 8) bytes give the byte loop's result when the source
// lies at least 16 (or 8) bytes behind: each reads only bytes that are
// final already.
inline void copy_match(uint8_t* at, uint32_t back, uint32_t length) {
    const uint8_t* from = at - back;
    uint8_t* const stop = at + length;
    if (back >= 16) {
        do {
            uint8_t chunk[16];
            memcpy(chunk, from, 16);
            memcpy(at, chunk, 16);
            at += 16;
            from += 16;
        } while (at < stop);
    } else if (back >= 8) {
        do {
            uint64_t chunk;
            memcpy(&chunk, from, 8);
            memcpy(at, &chunk, 8);
            at += 8;
            from += 8;
        } while (at < stop);
    } else if (back == 1) {
        uint64_t run = from[0] * 0x0101010101010101u;
        do {
            memcpy(at, &run, 8);
            at += 8;
        } while (at < stop);
    } else {
        do *at++ = *from++;
        while (at < stop);
    }
}
