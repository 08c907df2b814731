// Writes methods 1-3 streams for the tests: blocks with chosen code lengths
// and chosen items, so every decoding path can be reached on purpose.
#pragma once

#include <cstdint>
#include <vector>

#include "tests/support/bit_writer.h"

using Lengths = std::vector<uint16_t>;

// Canonical codes of `lengths`: per symbol the code value, right-aligned in
// its length (shorter lengths first, then symbol order).
std::vector<uint32_t> canonical_codes(const Lengths& lengths);

// Complete codes used when a test does not care: the length-code alphabet
// (13 of length 4, 6 of length 5), literal/length (2 of length 8, 508 of 9),
// position (15 of length 4, 2 of length 5).
Lengths length_code_lengths();
Lengths default_litlen_lengths();
Lengths default_position_lengths();

// A random complete code over `symbols` (at least 2), lengths 1 to 16.
Lengths random_complete_lengths(size_t alphabet, const std::vector<uint16_t>& symbols, uint32_t seed);

struct LzhItem {
    uint16_t symbol;    // below 256 a literal, else a match of symbol - 253 bytes
    uint32_t position;  // a match's position value, 0 to 65535
};
inline LzhItem literal(uint8_t byte) { return {byte, 0}; }
inline LzhItem match(uint32_t length, uint32_t position) { return {uint16_t(length + 253), position}; }

struct LzhBlock {
    Lengths litlen = default_litlen_lengths();
    Lengths position = default_position_lengths();
    std::vector<LzhItem> items;
    int count = -1;  // the block's count field; -1: the number of items
};

// 5-bit count, then each length in 3 bits or 111 + unary; with `special`
// a 2-bit zero run of 0 after the third length.
void write_small_lengths(BitWriter& out, const Lengths& lengths, bool special);
// The literal/length lengths through `length_code` (no zero runs).
void write_litlen_lengths(BitWriter& out, const Lengths& litlen, const Lengths& length_code);
void write_items(BitWriter& out, const LzhBlock& block);
void write_block(BitWriter& out, const LzhBlock& block);
Bytes lzh_stream(const std::vector<LzhBlock>& blocks);
