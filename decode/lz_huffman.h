// Methods 1-3: blocks of literals and matches in canonical prefix codes.
// Each block starts with a header (lz_huffman_header.cpp): its symbol count
// and three code descriptions, the length code, the literal/length lengths
// coded with it, and the position code.
#pragma once

#include <cstdint>

#include "decode/bit_reader.h"
#include "decode/code_table.h"
#include "decode/lz_huffman_format.h"

// The block's lookups for the fast loop, one load per symbol. A literal/
// length entry: symbol << 16 | code length, or LITLEN_SLOW where a tree
// walk must follow. So an entry below LITLEN_FIRST_MATCH is a literal; the
// bits between the fields are 0, so a shift by the whole entry (counts
// taken modulo 64) shifts by the code length.
inline constexpr uint32_t LITLEN_SYMBOL_SHIFT = 16;
inline constexpr uint32_t LITLEN_LENGTH_MASK = 0x3F;
inline constexpr uint32_t LITLEN_SLOW = 0x80000000u;
inline constexpr uint32_t LITLEN_FIRST_MATCH = LITERAL_SYMBOLS << LITLEN_SYMBOL_SHIFT;
// A position entry: base << 16 | code length << 8 | (code length + extra
// bits), the value being base plus the extra bits that follow the code; or
// POSITION_SLOW where a tree walk must follow, and for symbol 16, whose
// values from 32768 on name no byte of the window.
inline constexpr uint32_t POSITION_BITS_MASK = 0x3F;
inline constexpr uint32_t POSITION_LENGTH_SHIFT = 8;
inline constexpr uint32_t POSITION_LENGTH_MASK = 0x1F;
inline constexpr uint32_t POSITION_BASE_SHIFT = 16;
inline constexpr uint32_t POSITION_SLOW = 0x80000000u;
inline constexpr uint32_t POSITION_FAST_SYMBOLS = POSITION_SYMBOLS - 1;

struct LzHuffmanState {
    uint32_t litlen_fast[LITLEN_TABLE_ENTRIES];    // litlen_code's table, packed as above
    uint32_t position_fast[SMALL_TABLE_ENTRIES];   // the position code's table, packed as above
};

extern LzHuffmanState lz_huffman;

// Reads the lengths of a 19- or 17-symbol alphabet into small_code and
// builds it. 0, or 268 for a refused description: nothing more of it is
// read then.
int read_small_lengths(BitReader& r, uint32_t alphabet_size, uint32_t count_bits, int special_index);
// Reads the 510 literal/length lengths through small_code and builds
// litlen_code. 0, or 268 as above.
int read_litlen_lengths(BitReader& r);
// Reads a block header: returns the block's symbol count (1 to 65536),
// and leaves the three codes in litlen_code, small_code (the position
// code) and the packed lookups. The first description refused ends the
// entry (refuse_entry_code); the rest of the header is not read then.
uint32_t read_block_header(BitReader& r);
