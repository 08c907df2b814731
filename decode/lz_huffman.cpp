#include "decode/lz_huffman.h"

#include "common/unpack_error.h"
#include "common/unpack_state.h"
#include "decode/decode_window.h"
#include "decode/decoders.h"

LzHuffmanState lz_huffman;

static void pack_table(const CodeTable& code, uint32_t entries, uint32_t alphabet_size, uint32_t* packed) {
    for (uint32_t i = 0; i < entries; i++) {
        uint32_t v = code.table[i];
        packed[i] = v < alphabet_size ? v | uint32_t(code.lengths[v]) << PACKED_LENGTH_SHIFT : v | PACKED_TREE;
    }
}

void read_block_header() {
    lz_huffman.block_remaining = read_bits(BLOCK_COUNT_BITS);
    int result = read_small_lengths(LENGTH_CODE_SYMBOLS, SMALL_COUNT_BITS, LENGTH_CODE_SPECIAL_INDEX);
    if (result == 0) result = read_litlen_lengths();
    if (result == 0) result = read_small_lengths(POSITION_SYMBOLS, SMALL_COUNT_BITS, NO_SPECIAL_INDEX);
    if (result != 0) end_entry(bit_reader, ERR_BAD_HUFFMAN);
    pack_table(litlen_code, LITLEN_TABLE_ENTRIES, LITLEN_SYMBOLS, lz_huffman.litlen_packed);
    pack_table(small_code, SMALL_TABLE_ENTRIES, POSITION_SYMBOLS, lz_huffman.position_packed);
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

// Decodes items until original_size bytes are produced (r.to_produce
// counts down to 0), or until the entry ends early. False after a failed
// flush.
//
// Contract: window holds WINDOW_SIZE bytes, *position < WINDOW_SIZE, and r
// holds at least 16 bits. Every index stays inside the window: literals
// store at position < WINDOW_SIZE and flush when it reaches the end;
// match_source and copy_match keep source and position below WINDOW_SIZE.
// Symbol values come from the tables and are below the alphabet sizes, so
// lengths[] is read inside its array and every consumed count is at most
// 16, as drop_bits requires. Only the slow paths end the entry early (the
// reader's refill past the data, a refused block header, a tree walk that
// does not end): end_entry leaves one byte to produce, so the item at hand
// is the last. A match longer than what is left is not copied (damage):
// nothing past original_size is ever produced.
static bool decode_items(uint8_t* window, uint32_t* position, BitReader& r) {
    uint32_t pos = *position;
    uint16_t block_remaining = lz_huffman.block_remaining;
    bool ok = true;
    do {
        uint32_t c = decode_litlen_symbol(r, block_remaining);
        if (c < LITERAL_SYMBOLS) {
            window[pos++] = uint8_t(c);
            r.to_produce--;
            if (pos == WINDOW_SIZE) {
                if (!(ok = flush_window(window, WINDOW_SIZE))) break;
                pos = 0;
            }
            continue;
        }
        uint32_t length = c - MATCH_LENGTH_OFFSET;
        uint32_t source = match_source(pos, decode_position(r));
        if (__builtin_expect(length > r.to_produce, 0)) {
            end_entry(r, ERR_BAD_CRC);
            break;
        }
        r.to_produce -= length;
        if (!(ok = copy_match(window, pos, source, length))) break;
    } while (r.to_produce != 0);
    lz_huffman.block_remaining = block_remaining;
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
    }
    settle_bits();
    int result = finish_window(window, position, ok);
    release_window(window);
    return result;
}
