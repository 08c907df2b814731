#include "decode/lz_huffman.h"

#include "common/unpack_error.h"
#include "common/unpack_state.h"
#include "decode/decode_window.h"
#include "decode/decoders.h"

LzHuffmanState lz_huffman;

void read_block_header() {
    lz_huffman.block_remaining = read_bits(BLOCK_COUNT_BITS);
    read_small_lengths(LENGTH_CODE_SYMBOLS, SMALL_COUNT_BITS, LENGTH_CODE_SPECIAL_INDEX);
    read_litlen_lengths();
    read_small_lengths(POSITION_SYMBOLS, SMALL_COUNT_BITS, NO_SPECIAL_INDEX);
}

// The ring index of the byte `position_value` + 1 places behind `position`.
// Values from WINDOW_SIZE up name no byte of the window; they are taken
// modulo WINDOW_SIZE, which keeps the source inside it and changes nothing
// for the values that do name a byte.
static inline uint32_t match_source(uint32_t position, uint32_t position_value) {
    if (position_value >= WINDOW_SIZE) position_value %= WINDOW_SIZE;
    uint32_t back = position_value + 1;
    return position >= back ? position - back : position + WINDOW_SIZE - back;
}

// Decodes items until the decoded count reaches original_size; a last match
// is produced whole even when it runs past. False after a failed flush.
//
// Contract: window holds WINDOW_SIZE bytes, *position < WINDOW_SIZE, and r
// holds at least 16 bits. Every index stays inside the window: literals
// store at position < WINDOW_SIZE and flush when it reaches the end;
// match_source and copy_match keep source and position below WINDOW_SIZE.
// Symbol values come from the tables and are below the alphabet sizes, so
// lengths[] is read inside its array and every consumed count is at most
// 16, as drop_bits requires.
static bool decode_items(uint8_t* window, uint32_t* position, BitReader& r) {
    const uint32_t size = unpack.header.original_size;
    uint32_t pos = *position;
    uint32_t decoded = 0;
    bool ok = true;
    do {
        uint32_t c = decode_litlen_symbol(r);
        if (c < LITERAL_SYMBOLS) {
            window[pos++] = uint8_t(c);
            decoded++;
            if (pos == WINDOW_SIZE) {
                if (!(ok = flush_window(window, WINDOW_SIZE))) break;
                pos = 0;
            }
            continue;
        }
        uint32_t length = c - MATCH_LENGTH_OFFSET;
        decoded += length;
        uint32_t source = match_source(pos, decode_position(r));
        if (!(ok = copy_match(window, pos, source, length))) break;
    } while (decoded < size);
    *position = pos;
    return ok;
}

int decode_lz_huffman() {
    uint8_t* window = obtain_window();
    if (!window) return ERR_ALLOC_MEMORY;
    lz_huffman.block_remaining = 0;
    start_bits();
    uint32_t position = 0;
    bool ok = true;
    if (unpack.header.original_size != 0) {
        BitReader r = bit_reader;
        ok = decode_items(window, &position, r);
        bit_reader = r;
        if (ok && position != 0) ok = flush_window(window, position);
    }
    settle_bits();
    release_window(window);
    return ok ? 0 : ERR_WRITE_OUTPUT;
}
