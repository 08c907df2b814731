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

// Packed entry of a block's lookup: symbol | code length << 16, or
// PACKED_TREE | node number where a tree walk must follow.
inline constexpr uint32_t PACKED_TREE = 0x80000000u;
inline constexpr uint32_t PACKED_LENGTH_SHIFT = 16;
inline constexpr uint32_t PACKED_VALUE_MASK = 0xFFFFu;

struct LzHuffmanState {
    uint16_t block_remaining;                             // symbols of the current block still to come; 0: a block starts
    uint32_t litlen_packed[LITLEN_TABLE_ENTRIES];         // litlen_code's table with the lengths folded in
    uint32_t position_packed[SMALL_TABLE_ENTRIES];        // the same for the position code
};

extern LzHuffmanState lz_huffman;

// Reads a block header on the process-wide reader: the symbol count (0
// stands for 65536) and the three code descriptions, up to the first one
// refused, which ends the entry (bit_reader.ended); then packs the two
// tables the block decodes with. Nothing changes the tables within a
// block, so a packed entry stays what table and lengths say.
void read_block_header();

// One symbol through a packed table: one load for a code up to the
// table's bits, the tree and the lengths array for a longer one. A walk
// that does not end ends the entry and yields symbol 0.
template <uint32_t TABLE_BITS, uint32_t ALPHABET_SIZE>
inline uint32_t lookup_packed(BitReader& r, const uint32_t* packed, const uint16_t* lengths) {
    uint32_t entry = packed[peek_bits(r, TABLE_BITS)];
    uint32_t symbol = entry & PACKED_VALUE_MASK;
    uint32_t length = entry >> PACKED_LENGTH_SHIFT;
    if (__builtin_expect(entry & PACKED_TREE, 0)) {
        symbol = walk_code_tree(symbol, peek_bits(r, LOOKAHEAD_BITS), TABLE_BITS, ALPHABET_SIZE);
        if (symbol >= ALPHABET_SIZE) {
            r = refuse_walk(r);
            symbol = 0;
        }
        length = lengths[symbol];
    }
    drop_bits(r, length);
    return symbol;
}

// The next literal/length symbol (below 510), reading a block header first
// when the block is used up. `r` is the decoder's copy of bit_reader,
// handed over to the process-wide reader for the block header;
// `block_remaining` the decoder's copy of lz_huffman.block_remaining.
inline uint32_t decode_litlen_symbol(BitReader& r, uint16_t& block_remaining) {
    if (block_remaining == 0) {
        bit_reader = r;
        read_block_header();
        r = bit_reader;
        block_remaining = lz_huffman.block_remaining;
    }
    block_remaining--;
    return lookup_packed<LITLEN_TABLE_BITS, LITLEN_SYMBOLS>(r, lz_huffman.litlen_packed, code_tables.litlen_lengths);
}

// A position value, 0 to 65535: symbol k > 0 stands for 2^(k-1) plus k-1
// further bits.
inline uint32_t decode_position(BitReader& r) {
    uint32_t k = lookup_packed<SMALL_TABLE_BITS, POSITION_SYMBOLS>(r, lz_huffman.position_packed, code_tables.small_lengths);
    if (k == 0) return 0;
    return (1u << (k - 1)) + take_bits(r, k - 1);
}
