// Method 4: literals and matches, lengths and distances in fixed prefix
// codes: a count of one bits (the prefix) gives the width of the field that
// follows.
#pragma once

#include <cstdint>

#include "decode/bit_reader.h"

inline constexpr uint32_t REGISTER_BITS = 16;
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

// Length code: 0 for a literal, 1 to 254 for a match of code + 2 bytes.
// `register_count` follows the register's fill.
uint32_t read_length_code(BitReader& r, uint32_t& register_count);
// Distance code 0 to 15871: the byte code + 1 places back.
uint32_t read_distance_code(BitReader& r, uint32_t& register_count);
