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
// overwrites only what its codes reach. A refused description ("Bad
// Huffman code !", shown once) ends its entry, as does a lookup whose tree
// walk does not end within the longest code, which a sound table never
// needs (tables left by all-zero lengths or an odd single value can).
#pragma once

#include <cstdint>

#include "decode/bit_reader.h"

inline constexpr uint32_t MAX_CODE_LENGTH = 16;
inline constexpr uint32_t LENGTH_CODE_SYMBOLS = 19;  // the alphabet that codes the literal/length lengths
inline constexpr uint32_t POSITION_SYMBOLS = 17;
inline constexpr uint32_t LITLEN_SYMBOLS = 510;
inline constexpr uint32_t SMALL_TABLE_BITS = 8;
inline constexpr uint32_t LITLEN_TABLE_BITS = 12;
inline constexpr uint32_t SMALL_TABLE_ENTRIES = 1u << SMALL_TABLE_BITS;
inline constexpr uint32_t LITLEN_TABLE_ENTRIES = 1u << LITLEN_TABLE_BITS;
inline constexpr uint32_t TREE_NODES = 2 * LITLEN_SYMBOLS - 1;

// Fields of the small lengths descriptions and the literal/length one.
inline constexpr uint32_t SMALL_COUNT_BITS = 5;
inline constexpr int LENGTH_CODE_SPECIAL_INDEX = 3;  // a 2-bit run of zero lengths follows the third length
inline constexpr int NO_SPECIAL_INDEX = -1;
inline constexpr uint32_t SPECIAL_ZEROS_BITS = 2;
inline constexpr uint32_t LITLEN_COUNT_BITS = 9;
inline constexpr uint32_t SHORT_LENGTH_BITS = 3;    // a length of 0 to 6; 7 escapes to unary
inline constexpr uint32_t UNARY_LENGTH_START = 7;
inline constexpr uint32_t ZERO_RUN_SHORT_BITS = 4;  // length-code symbol 1: 3 + 4 bits zero lengths
inline constexpr uint32_t ZERO_RUN_SHORT_BASE = 3;
inline constexpr uint32_t ZERO_RUN_LONG_BITS = 9;   // symbol 2: 20 + 9 bits zero lengths
inline constexpr uint32_t ZERO_RUN_LONG_BASE = 20;
inline constexpr uint32_t LENGTH_SYMBOL_OFFSET = 2;  // symbols 3-18 stand for lengths 1-16

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

// Fills `table` and the tree arrays from `lengths`. 0, or 268 after showing
// "Bad Huffman code !" when the lengths do not fill the code space exactly
// (modulo 65536), a short code would pass the table's end, or the tree
// would need more than TREE_NODES nodes.
int build_code_table(uint32_t alphabet_size, const uint16_t* lengths, uint32_t table_bits, uint16_t* table,
                     uint32_t table_entries);

// Reads the lengths of a 19- or 17-symbol alphabet into small_code and
// builds it. 0, or 268 after "Bad Huffman code !": nothing more of the
// description is read then.
int read_small_lengths(uint32_t alphabet_size, uint32_t count_bits, int special_index);
// Reads the 510 literal/length lengths through small_code and builds
// litlen_code. 0, or 268 as above.
int read_litlen_lengths();

// Follows the tree from table entry v by the lookahead bits after the
// first table_bits, for at most the MAX_CODE_LENGTH - table_bits steps of
// the longest code. Contract: v >= alphabet_size and v < TREE_NODES, as
// every value a table or branch can hold. The symbol, or a value at or
// above alphabet_size when the walk does not end within those steps (then
// the table is not a sound code).
uint32_t walk_code_tree(uint32_t v, uint32_t lookahead16, uint32_t table_bits, uint32_t alphabet_size);

// Ends the entry after a walk that did not end: "Bad Huffman code !" unless
// this entry has shown it already. By value, like refill_bits_slow.
BitReader refuse_walk(BitReader r);

// Decodes one symbol of `alphabet_size` with `code` from `r` and consumes
// its bits; a value at or above alphabet_size, consuming nothing, when
// the walk did not end.
inline uint32_t lookup_symbol(BitReader& r, const CodeTable& code, uint32_t alphabet_size) {
    uint32_t v = code.table[peek_bits(r, code.table_bits)];
    if (v >= alphabet_size) v = walk_code_tree(v, peek_bits(r, LOOKAHEAD_BITS), code.table_bits, alphabet_size);
    if (v >= alphabet_size) return v;
    drop_bits(r, code.lengths[v]);
    return v;
}

// The same on the process-wide reader.
uint16_t lookup_symbol(const CodeTable& code, uint32_t alphabet_size);
