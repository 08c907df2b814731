// The bit input exactly as the archive format's reader works: one byte
// fetched at a time, only when the 16-bit lookahead needs it. The tests
// compare the real reader, which reads ahead, against it.
#pragma once

#include <cstdint>

#include "tests/support/archive_writer.h"

struct ReferenceBitInput {
    const Bytes* data;
    uint32_t count;           // bytes of the entry still to fetch
    uint32_t fetched = 0;     // bytes read from data
    uint16_t lookahead = 0;
    uint8_t held_byte = 0;
    int held_bits = 0;

    ReferenceBitInput(const Bytes& bytes, uint32_t compressed_size) : data(&bytes), count(compressed_size) {
        skip(16);
    }
    void skip(uint32_t n) {
        lookahead = uint16_t(lookahead << n);
        while (int(n) > held_bits) {
            n -= uint32_t(held_bits);
            lookahead |= uint16_t(uint32_t(held_byte) << n);
            if (count != 0) {
                count--;
                held_byte = fetched < data->size() ? (*data)[fetched] : 0xFF;
                if (fetched < data->size()) fetched++;
            } else {
                held_byte = 0;
            }
            held_bits = 8;
        }
        held_bits -= int(n);
        lookahead |= uint16_t(held_byte >> held_bits);
    }
    uint16_t read(uint32_t n) {
        uint16_t value = uint16_t(lookahead >> (16 - n));
        skip(n);
        return value;
    }
};
