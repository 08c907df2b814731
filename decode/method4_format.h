// The stream of method 4, as the reader (method4.h, method4.cpp) takes it
// and the writer (encode/) makes it: literals and matches, lengths and
// distances in fixed prefix codes: a count of one bits (the prefix) gives
// the width of the field that follows.
//
//   literal   0, then 8 bits: the byte
//   match     length code: k ones (1 to 7), a zero unless k is 7, k bits
//             x: length 2^k + 1 + x (3 to 256); then distance code: j ones
//             (0 to 4), a zero unless j is 4, 9 + j bits y: the byte
//             2^(9+j) - 512 + y + 1 places back (1 to 15872)
#pragma once

#include <cstdint>

#include "decode/match_format.h"

inline constexpr uint32_t LITERAL_BITS = 8;
inline constexpr uint32_t LITERAL_ITEM_BITS = 1 + LITERAL_BITS;  // the 0 prefix and the byte
inline constexpr uint32_t LENGTH_PREFIX_MAX = 7;    // length codes 1 to 254
inline constexpr uint32_t LENGTH_CODE_BIAS = 2;     // length code c: a match of c + 2 bytes
inline constexpr uint32_t DISTANCE_PREFIX_MAX = 4;  // distance codes 0 to 15871
inline constexpr uint32_t DISTANCE_BASE_BITS = 9;
// Distance code c: the byte c + 1 places back; the largest code has the
// most ones and all its field bits set.
inline constexpr uint32_t METHOD4_REACH =
    (1u << (DISTANCE_BASE_BITS + DISTANCE_PREFIX_MAX + 1)) - (1u << DISTANCE_BASE_BITS);
// The most bits one match takes: 7 ones and 7 bits, 4 ones and 13 bits.
inline constexpr uint32_t MATCH_BITS_MAX =
    2 * LENGTH_PREFIX_MAX + DISTANCE_PREFIX_MAX + DISTANCE_BASE_BITS + DISTANCE_PREFIX_MAX;
static_assert((1u << LENGTH_PREFIX_MAX) - 1 + (1u << LENGTH_PREFIX_MAX) - 1 + LENGTH_CODE_BIAS == MAX_MATCH_LENGTH);
