// Method 4: literals and matches, lengths and distances in fixed prefix
// codes: a count of one bits (the prefix) gives the width of the field that
// follows.
//
//   literal   0, then 8 bits: the byte
//   match     length code: k ones (1 to 7), a zero unless k is 7, k bits
//             x: length 2^k + 1 + x (3 to 256); then distance code: j ones
//             (0 to 4), a zero unless j is 4, 9 + j bits y: the byte
//             2^(9+j) - 512 + y + 1 places back (1 to 15872)
//
// The format reads its bits through a 16-bit register topped up from the
// bit input: when a single-bit take finds it empty, or an n-bit take finds
// fewer than n bits, it takes 16 - count bits at once. The bits come out
// in stream order either way, so this decoder reads them straight from the
// bit reader and only counts what the register would hold: the register's
// bits have left the bit input too, which matters for the damage bound
// when the entry ends.
#pragma once

#include <cstdint>

#include "decode/bit_reader.h"

inline constexpr uint32_t REGISTER_BITS = METHOD4_REGISTER_BITS;
inline constexpr uint32_t LITERAL_BITS = 8;
inline constexpr uint32_t LITERAL_ITEM_BITS = 1 + LITERAL_BITS;  // the 0 prefix and the byte
inline constexpr uint32_t LENGTH_PREFIX_MAX = 7;    // length codes 1 to 254
inline constexpr uint32_t DISTANCE_PREFIX_MAX = 4;  // distance codes 0 to 15871
inline constexpr uint32_t DISTANCE_BASE_BITS = 9;
inline constexpr uint32_t MIN_MATCH_LENGTH = 3;     // length code 1
// The most bits one match takes: 7 ones and 7 bits, 4 ones and 13 bits.
inline constexpr uint32_t MATCH_BITS_MAX =
    2 * LENGTH_PREFIX_MAX + DISTANCE_PREFIX_MAX + DISTANCE_BASE_BITS + DISTANCE_PREFIX_MAX;

// The register's count is followed along with every take. After `takes`
// single-bit takes:
inline uint32_t after_single_bits(uint32_t count, uint32_t takes) {
    return takes <= count ? count - takes : REGISTER_BITS - (takes - count);
}

// The register's count after one n-bit take.
inline uint32_t after_field(uint32_t count, uint32_t n) {
    return (count < n ? REGISTER_BITS : count) - n;
}

// Ones before the first zero among the next 16 bits, at most `limit`.
inline uint32_t count_ones(uint32_t next16, uint32_t limit) {
    uint32_t inverted = ~(next16 << LOOKAHEAD_BITS);  // never 0: the low half is ones
    uint32_t ones = uint32_t(__builtin_clz(inverted));
    return ones < limit ? ones : limit;
}

// A prefix of k ones ends with a zero bit unless k is the limit.
inline uint32_t prefix_bits(uint32_t k, uint32_t limit) { return k < limit ? k + 1 : k; }

// Reads a match after its first prefix bit was seen to be 1: its length
// and how far back it reaches, and counts the register along. FAST: r
// holds MATCH_BITS_MAX bits or more and drops them without refills;
// otherwise r holds at least 16 bits and drop_bits keeps it so.
template <bool FAST>
inline void read_match(BitReader& r, uint32_t& register_count, uint32_t* length, uint32_t* back) {
    // Prefix and extra bits of the length take at most 7 + 7 = 14 bits:
    // both come from one look at the next 16.
    uint32_t next16 = peek_bits(r, LOOKAHEAD_BITS);
    uint32_t k = count_ones(next16, LENGTH_PREFIX_MAX);
    uint32_t prefix = prefix_bits(k, LENGTH_PREFIX_MAX);
    register_count = after_field(after_single_bits(register_count, prefix), k);
    uint32_t extra = ((next16 << prefix) & 0xFFFFu) >> (LOOKAHEAD_BITS - k);
    *length = (1u << k) - 1 + extra + MIN_MATCH_LENGTH - 1;
    if constexpr (FAST) drop_held_bits(r, prefix + k);
    else drop_bits(r, prefix + k);

    uint32_t j = count_ones(peek_bits(r, LOOKAHEAD_BITS), DISTANCE_PREFIX_MAX);
    prefix = prefix_bits(j, DISTANCE_PREFIX_MAX);
    uint32_t n = DISTANCE_BASE_BITS + j;
    register_count = after_field(after_single_bits(register_count, prefix), n);
    uint32_t field;
    if constexpr (FAST) {
        drop_held_bits(r, prefix);
        field = peek_bits(r, n);
        drop_held_bits(r, n);
    } else {
        drop_bits(r, prefix);
        field = take_bits(r, n);
    }
    *back = (1u << n) - (1u << DISTANCE_BASE_BITS) + field + 1;
}
