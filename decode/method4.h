// Method 4's reader; the stream's format is in method4_format.h.
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
#include "decode/method4_format.h"

inline constexpr uint32_t REGISTER_BITS = METHOD4_REGISTER_BITS;

// The register's count is followed along with every take. After `takes`
// single-bit takes:
inline constexpr uint32_t after_single_bits(uint32_t count, uint32_t takes) {
    uint32_t left = count - takes;
    return int32_t(left) < 0 ? left + REGISTER_BITS : left;
}

// The register's count after one n-bit take.
inline constexpr uint32_t after_field(uint32_t count, uint32_t n) {
    return count < n ? REGISTER_BITS - n : count - n;
}

// The register's count after a literal: a single-bit take and an 8-bit
// take.
inline constexpr uint32_t after_literal(uint32_t count) {
    return after_field(after_single_bits(count, 1), LITERAL_BITS);
}

// A length or distance code: a prefix of ones (ended by a zero bit below
// its limit), then a field: the value is base + field.
struct PrefixCode {
    uint8_t prefix_bits;   // the ones and the zero that ends them, if any
    uint8_t field_bits;
    uint8_t code_bits;     // prefix_bits + field_bits
    uint8_t register_row;  // where the row of PrefixCodeTables::register_after for these takes starts
    uint16_t base;
    uint16_t field_mask;   // (1 << field_bits) - 1
};

// Index: the next LENGTH_PREFIX_MAX bits; k ones give a field of k bits
// and a match of 2^k + 1 + field bytes. (Index 0, a literal, is not used.)
inline constexpr uint32_t LENGTH_INDEX_BITS = LENGTH_PREFIX_MAX;
// Index: the next DISTANCE_PREFIX_MAX bits; j ones give a field of 9 + j
// bits and a match 2^(9+j) - 511 + field bytes back.
inline constexpr uint32_t DISTANCE_INDEX_BITS = DISTANCE_PREFIX_MAX;
// A row per number of ones: the length codes', then the distance codes'.
inline constexpr uint32_t REGISTER_ROWS = LENGTH_PREFIX_MAX + 1 + DISTANCE_PREFIX_MAX + 1;

struct PrefixCodeTables {
    PrefixCode length[1u << LENGTH_INDEX_BITS];
    PrefixCode distance[1u << DISTANCE_INDEX_BITS];
    // The register's count after a code: REGISTER_ROWS rows of
    // REGISTER_BITS + 1 entries, by the count before.
    uint8_t register_after[REGISTER_ROWS * (REGISTER_BITS + 1)];
};

// The code whose first index_bits bits are `index`: a field of
// field_bits_min + ones bits, and base 2^field + offset. Its register row
// is row_base + ones, which it fills.
constexpr PrefixCode prefix_code(PrefixCodeTables& t, uint32_t index, uint32_t index_bits, uint32_t field_bits_min,
                                 int32_t offset, uint32_t row_base) {
    uint32_t ones = 0;
    while (ones < index_bits && (index >> (index_bits - 1 - ones)) & 1) ones++;
    uint32_t prefix = ones < index_bits ? ones + 1 : ones;
    uint32_t field = field_bits_min + ones;
    uint32_t row = (row_base + ones) * (REGISTER_BITS + 1);
    for (uint32_t count = 0; count <= REGISTER_BITS; count++)
        t.register_after[row + count] = uint8_t(after_field(after_single_bits(count, prefix), field));
    return PrefixCode{uint8_t(prefix), uint8_t(field), uint8_t(prefix + field), uint8_t(row),
                      uint16_t(int32_t(1u << field) + offset), uint16_t((1u << field) - 1)};
}

constexpr PrefixCodeTables make_prefix_code_tables() {
    PrefixCodeTables t{};
    // The length code 2^k - 1 + x is a match of that plus 2 bytes.
    for (uint32_t i = 0; i < (1u << LENGTH_INDEX_BITS); i++)
        t.length[i] = prefix_code(t, i, LENGTH_INDEX_BITS, 0, int32_t(MIN_MATCH_LENGTH) - 2, 0);
    // The distance code 2^n - 512 + y reaches that plus 1 bytes back.
    for (uint32_t i = 0; i < (1u << DISTANCE_INDEX_BITS); i++)
        t.distance[i] = prefix_code(t, i, DISTANCE_INDEX_BITS, DISTANCE_BASE_BITS, 1 - (1 << DISTANCE_BASE_BITS),
                                    LENGTH_PREFIX_MAX + 1);
    return t;
}

inline constexpr PrefixCodeTables PREFIX_CODES = make_prefix_code_tables();

static_assert(REGISTER_ROWS * (REGISTER_BITS + 1) <= 256, "a row's start fits PrefixCode::register_row");

// Reads a match after its first prefix bit was seen to be 1: its length
// and how far back it reaches, and counts the register along. FAST: r
// holds MATCH_BITS_MAX bits or more and drops them without refills;
// otherwise r holds at least 16 bits and drop_bits keeps it so.
template <bool FAST>
inline void read_match(BitReader& r, uint32_t& register_count, uint32_t* length, uint32_t* back) {
    const PrefixCode& l = PREFIX_CODES.length[peek_bits(r, LENGTH_INDEX_BITS)];
    if constexpr (FAST) {
        // One shift per code: its field ends code_bits in.
        uint64_t bits = r.bits;
        *length = l.base + (uint32_t(bits >> (BIT_BUFFER_BITS - l.code_bits)) & l.field_mask);
        bits <<= l.code_bits;
        const PrefixCode& d = PREFIX_CODES.distance[bits >> (BIT_BUFFER_BITS - DISTANCE_INDEX_BITS)];
        *back = d.base + (uint32_t(bits >> (BIT_BUFFER_BITS - d.code_bits)) & d.field_mask);
        drop_held_bits(r, l.code_bits + d.code_bits);
        register_count = PREFIX_CODES.register_after[d.register_row + PREFIX_CODES.register_after[l.register_row + register_count]];
    } else {
        register_count = PREFIX_CODES.register_after[l.register_row + register_count];
        drop_bits(r, l.prefix_bits);
        *length = l.base + take_bits(r, l.field_bits);
        const PrefixCode& d = PREFIX_CODES.distance[peek_bits(r, DISTANCE_INDEX_BITS)];
        register_count = PREFIX_CODES.register_after[d.register_row + register_count];
        drop_bits(r, d.prefix_bits);
        *back = d.base + take_bits(r, d.field_bits);
    }
}
