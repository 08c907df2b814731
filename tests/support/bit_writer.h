// Writes bit fields most significant bit first, as the decoders read them.
#pragma once

#include <cstdint>

#include "tests/support/archive_writer.h"

struct BitWriter {
    Bytes bytes;
    uint64_t bit_count = 0;  // bits written so far

    void put(uint32_t value, uint32_t width) {
        for (uint32_t i = width; i-- > 0;) {
            if (bit_count % 8 == 0) bytes.push_back(0);
            if ((value >> i) & 1) bytes.back() |= uint8_t(0x80 >> (bit_count % 8));
            bit_count++;
        }
    }
    void ones(uint32_t n) {
        for (uint32_t i = 0; i < n; i++) put(1, 1);
    }
};
