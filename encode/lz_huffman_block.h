// One methods 1-3 block: its symbol count, the length code, the literal/
// length code lengths written with it, the position code, then the items.
#pragma once

#include <cstddef>
#include <cstdint>

#include "decode/lz_huffman_format.h"
#include "encode/bit_output.h"
#include "encode/lz_item.h"

// The writer never writes a count of 0 (which stands for BLOCK_SYMBOLS_MAX).
inline constexpr uint32_t MAX_BLOCK_ITEMS = BLOCK_SYMBOLS_MAX - 1;

inline uint32_t litlen_symbol(const LzItem& item) { return item.length ? item.length + MATCH_LENGTH_OFFSET : item.value; }
// The position symbol of a match's value (distance - 1): the value's
// highest bit, counted from 1.
inline uint32_t position_symbol(uint32_t value) { return value ? 32u - uint32_t(__builtin_clz(value)) : 0u; }
// The bits of a position value below its highest, written after its symbol.
inline uint32_t position_extra_bits(uint32_t symbol) { return symbol > 1 ? symbol - 1 : 0; }

// The code lengths a block chose, for the next parse's cost model.
struct BlockCodes {
    uint8_t litlen[LITLEN_SYMBOLS];
    uint8_t position[POSITION_SYMBOLS];
};

// How often a block's items use each symbol.
struct SymbolCounts {
    uint32_t litlen[LITLEN_SYMBOLS];
    uint32_t position[POSITION_SYMBOLS];
};

void count_symbols(const LzItem* items, size_t count, SymbolCounts& counts);
void add_counts(SymbolCounts& to, const SymbolCounts& from);
// Bits a block with these counts takes, header included, and (if `codes`
// is not null) the code lengths it gets.
uint64_t block_bits(const SymbolCounts& counts, BlockCodes* codes);
// Writes the block. Contract: 1 <= count <= MAX_BLOCK_ITEMS, every match of
// 3 to 256 bytes with a value below LZ_HUFFMAN_REACH, `counts` the items'.
void write_block(BitOutput& out, const LzItem* items, size_t count, const SymbolCounts& counts);
