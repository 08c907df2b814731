// One methods 1-3 block: its symbol count, the length code, the literal/
// length code lengths written with it, the position code, then the items.
#pragma once

#include <cstddef>
#include <cstdint>

#include "encode/bit_output.h"
#include "encode/lz_item.h"

inline constexpr uint32_t LITLEN_ALPHABET = 510;   // bytes, then match lengths 3 to 256
inline constexpr uint32_t POSITION_ALPHABET = 17;  // symbol k: 2^(k-1) + k-1 bits; 0: value 0
inline constexpr uint32_t LENGTH_ALPHABET = 19;    // the code that the literal/length lengths are written in
inline constexpr uint32_t MAX_BLOCK_ITEMS = 65535; // the 16-bit count (0 would mean 65536)
inline constexpr uint32_t WINDOW_REACH = 26624;    // a match reaches at most this far back

inline uint32_t litlen_symbol(const LzItem& item) { return item.length ? item.length + 253u : item.value; }
// The position symbol of a match's value (distance - 1).
inline uint32_t position_symbol(uint32_t value) { return value ? 32u - uint32_t(__builtin_clz(value)) : 0u; }

// The code lengths a block chose, for the next parse's cost model.
struct BlockCodes {
    uint8_t litlen[LITLEN_ALPHABET];
    uint8_t position[POSITION_ALPHABET];
};

// How often a block's items use each symbol.
struct SymbolCounts {
    uint32_t litlen[LITLEN_ALPHABET];
    uint32_t position[POSITION_ALPHABET];
};

void count_symbols(const LzItem* items, size_t count, SymbolCounts& counts);
void add_counts(SymbolCounts& to, const SymbolCounts& from);
// Bits a block with these counts takes, header included, and (if `codes`
// is not null) the code lengths it gets.
uint64_t block_bits(const SymbolCounts& counts, BlockCodes* codes);
// Writes the block. Contract: 1 <= count <= MAX_BLOCK_ITEMS, every match of
// 3 to 256 bytes with a value below WINDOW_REACH, `counts` the items'.
void write_block(BitOutput& out, const LzItem* items, size_t count, const SymbolCounts& counts);
