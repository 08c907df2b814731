// Method-4 streams for the tests: chosen literals and matches in the
// unary-prefix codes, and whole data through the real coder.
#pragma once

#include <cstdint>
#include <vector>

#include "tests/support/bit_writer.h"

struct Method4Item {
    uint32_t length;    // 0: a literal, else a match of 3 to 256 bytes
    uint32_t value;     // the literal byte, or the distance code (0 to 15871)
};

void put_length_code(BitWriter& out, uint32_t code);    // 0 to 254
void put_distance_code(BitWriter& out, uint32_t code);  // 0 to 15871
void put_items(BitWriter& out, const std::vector<Method4Item>& items);
// The coder of encode/.
Bytes method4_compress(const Bytes& data);
