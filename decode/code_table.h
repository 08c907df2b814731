// Canonical prefix-code tables of the methods 1-3 blocks.
//
// A CodeTable is a lookup table indexed by the next table_bits bits of the
// stream plus the code lengths of its alphabet. An entry holds a symbol
// (below the alphabet size) or a tree node number (at or above it) for codes
// longer than table_bits; the nodes live in the shared zero_branch and
// one_branch arrays, numbered from the alphabet size of the table that
// built them, so the position code (from 17) and the literal/length code
// (from 510) never share a node.
//
// The tables keep their contents between blocks and entries: a build
// overwrites only what its codes reach. A refused description ends its
// entry, as does a lookup whose tree walk does not end within the longest
// code, which a sound table never needs (tables left by all-zero lengths or
// an odd single value can); the decoder shows the entry's one box, "Bad
// Huffman code !" (or "File has bad CRC !" when the refused bits lie beyond
// the data). The builder reads no bits: the code descriptions are read by
// the methods 1-3 block header (lz_huffman_header.cpp).
#pragma once

#include <cstdint>

#include "decode/bit_reader.h"
#include "decode/lz_huffman_format.h"

inline constexpr uint32_t SMALL_TABLE_BITS = 8;
inline constexpr uint32_t LITLEN_TABLE_BITS = 12;
inline constexpr uint32_t SMALL_TABLE_ENTRIES = 1u << SMALL_TABLE_BITS;
inline constexpr uint32_t LITLEN_TABLE_ENTRIES = 1u << LITLEN_TABLE_BITS;
inline constexpr uint32_t TREE_NODES = 2 * LITLEN_SYMBOLS - 1;

struct CodeTables {
    uint16_t small_lengths[LENGTH_CODE_SYMBOLS];    // lengths of the alphabet small_code holds (19 or 17 used)
    uint16_t small_table[SMALL_TABLE_ENTRIES];      // small_code's lookup by the next 8 bits
    uint16_t litlen_lengths[LITLEN_SYMBOLS];        // literal/length code lengths
    uint16_t litlen_table[LITLEN_TABLE_ENTRIES];    // litlen_code's lookup by the next 12 bits
    uint16_t zero_branch[TREE_NODES];               // per node: what follows a 0 bit
    uint16_t one_branch[TREE_NODES];                // per node: what follows a 1 bit
};

extern CodeTables code_tables;

struct CodeTable {
    uint16_t* lengths;    // code length per symbol, 0: absent
    uint16_t* table;      // 2^table_bits entries
    uint32_t table_bits;  // lookahead bits that index the table
};

// The length-code alphabet, then the position alphabet within a block.
extern const CodeTable small_code;
extern const CodeTable litlen_code;

// Fills `table` and the tree arrays from `lengths`. 0, or 268 when the
// lengths do not fill the code space exactly (modulo 65536), a short code
// would pass the table's end, or the tree would need more than TREE_NODES
// nodes.
int build_code_table(uint32_t alphabet_size, const uint16_t* lengths, uint32_t table_bits, uint16_t* table,
                     uint32_t table_entries);

// Follows the tree from table entry v by the lookahead bits after the
// first table_bits, for at most the MAX_CODE_LENGTH - table_bits steps of
// the longest code. Contract: v >= alphabet_size and v < TREE_NODES, as
// every value a table or branch can hold. The symbol, or a value at or
// above alphabet_size when the walk does not end within those steps (then
// the table is not a sound code).
uint32_t walk_code_tree(uint32_t v, uint32_t lookahead16, uint32_t table_bits, uint32_t alphabet_size);

// Decodes one symbol of `alphabet_size` with `code` from `r` and drops its
// bits; a value at or above alphabet_size, consuming nothing, when the
// walk does not end. Contract: r holds at least 16 bits.
uint32_t lookup_symbol(BitReader& r, const CodeTable& code, uint32_t alphabet_size);
