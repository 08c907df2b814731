// Bit fields written most significant bit first, bytes in order: the bit
// order every method's decoder reads.
#pragma once

#include <cstdint>
#include <vector>

struct BitOutput {
    std::vector<uint8_t> bytes;  // whole bytes so far
    uint64_t pending = 0;        // the low `pending_bits` bits follow `bytes`
    uint32_t pending_bits = 0;   // fewer than 32 between calls

    // Contract: width <= 32 and value < 2^width.
    void put(uint32_t value, uint32_t width) {
        pending = (pending << width) | value;
        pending_bits += width;
        if (pending_bits >= 32) {
            pending_bits -= 32;
            uint32_t word = uint32_t(pending >> pending_bits);
            uint8_t four[4] = {uint8_t(word >> 24), uint8_t(word >> 16), uint8_t(word >> 8), uint8_t(word)};
            bytes.insert(bytes.end(), four, four + 4);
        }
    }
    void ones(uint32_t n) { put((1u << n) - 1, n); }  // n <= 31
    // Moves the whole bytes of the pending bits out; fewer than 8 stay.
    void settle() {
        while (pending_bits >= 8) {
            pending_bits -= 8;
            bytes.push_back(uint8_t(pending >> pending_bits));
        }
    }
    // Pads the last byte with zero bits and moves every byte out.
    void align() {
        if (pending_bits % 8) put(0, 8 - pending_bits % 8);
        settle();
    }
};
