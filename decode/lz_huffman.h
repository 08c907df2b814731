// Methods 1-3: blocks of literals and matches in canonical prefix codes.
// Each block starts with its symbol count and three code descriptions: the
// length code, the literal/length lengths coded with it, and the position
// code.
#pragma once

#include <cstdint>

#include "decode/code_table.h"

inline constexpr uint32_t BLOCK_COUNT_BITS = 16;
inline constexpr uint32_t LITERAL_SYMBOLS = 256;        // literal/length symbols below this are bytes
inline constexpr uint32_t MATCH_LENGTH_OFFSET = 253;    // symbol 256 is a match of 3 bytes

struct LzHuffmanState {
    uint16_t block_remaining;  // symbols of the current block still to come; 0: the next starts a block
};

extern LzHuffmanState lz_huffman;

// Reads a block header: the symbol count (0 stands for 65536) and the
// three code descriptions.
void read_block_header();

// The next literal/length symbol (below 510), reading a block header first
// when the block is used up. `r` is the decoder's copy of bit_reader; it is
// handed over to the process-wide reader for the block header.
inline uint32_t decode_litlen_symbol(BitReader& r) {
    if (lz_huffman.block_remaining == 0) {
        bit_reader = r;
        read_block_header();
        r = bit_reader;
    }
    lz_huffman.block_remaining--;
    return lookup_symbol(r, litlen_code, LITLEN_SYMBOLS);
}

// A position value, 0 to 65535: symbol k > 0 stands for 2^(k-1) plus k-1
// further bits.
inline uint32_t decode_position(BitReader& r) {
    uint32_t k = lookup_symbol(r, small_code, POSITION_SYMBOLS);
    if (k == 0) return 0;
    return (1u << (k - 1)) + take_bits(r, k - 1);
}
