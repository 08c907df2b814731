// Method 4: literals and matches, lengths and distances in fixed prefix
// codes: a count of one bits (the prefix) gives the width of the field that
// follows.
#pragma once

#include <cstdint>

#include "decode/bit_reader.h"

inline constexpr uint32_t REGISTER_BITS = METHOD4_REGISTER_BITS;
inline constexpr uint32_t LITERAL_BITS = 8;
inline constexpr uint32_t LENGTH_PREFIX_MAX = 7;    // length codes 1 to 254
inline constexpr uint32_t DISTANCE_PREFIX_MAX = 4;  // distance codes 0 to 15871
inline constexpr uint32_t DISTANCE_BASE_BITS = 9;
inline constexpr uint32_t MIN_MATCH_LENGTH = 3;     // length code 1

struct Method4Register {
    uint16_t bit_register;    // after an entry: the bits the register still held, left-aligned
    uint16_t register_count;  // after an entry: how many
};

extern Method4Register method4_register;

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

// Length code: 0 for a literal, 1 to 254 for a match of code + 2 bytes.
// Prefix and extra bits together take at most 7 + 7 = 14 bits, so both
// come from one look at the next 16.
inline uint32_t read_length_code(BitReader& r, uint32_t& register_count) {
    uint32_t next16 = peek_bits(r, LOOKAHEAD_BITS);
    uint32_t k = count_ones(next16, LENGTH_PREFIX_MAX);
    uint32_t prefix = k < LENGTH_PREFIX_MAX ? k + 1 : k;  // no terminating zero after the last one
    register_count = after_single_bits(register_count, prefix);
    if (k == 0) {
        drop_bits(r, prefix);
        return 0;
    }
    register_count = after_field(register_count, k);
    uint32_t extra = ((next16 << prefix) & 0xFFFFu) >> (LOOKAHEAD_BITS - k);
    drop_bits(r, prefix + k);
    return (1u << k) - 1 + extra;
}

// Distance code 0 to 15871: the byte code + 1 places back.
inline uint32_t read_distance_code(BitReader& r, uint32_t& register_count) {
    uint32_t k = count_ones(peek_bits(r, LOOKAHEAD_BITS), DISTANCE_PREFIX_MAX);
    uint32_t prefix = k < DISTANCE_PREFIX_MAX ? k + 1 : k;
    register_count = after_single_bits(register_count, prefix);
    drop_bits(r, prefix);
    uint32_t n = DISTANCE_BASE_BITS + k;
    register_count = after_field(register_count, n);
    return (1u << n) - (1u << DISTANCE_BASE_BITS) + take_bits(r, n);
}
