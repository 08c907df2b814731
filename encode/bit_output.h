// Bit fields written most significant bit first, bytes in order: the bit
// order every method's decoder reads.
#pragma once

#include <cstdint>
#include <vector>

struct BitOutput {
    std::vector<uint8_t> bytes;  // whole bytes so far
    uint64_t pending = 0;        // the low `pending_bits` bits follow `bytes`
    uint32_t pending_bits = 0;   // fewer than 8 between calls

    // Contract: width <= 32 and value < 2^width.
    void put(uint32_t value, uint32_t width) {
        pending = (pending << width) | value;
        pending_bits += width;
        while (pending_bits >= 8) {
            pending_bits -= 8;
            bytes.push_back(uint8_t(pending >> pending_bits));
        }
    }
    void ones(uint32_t n) { put((1u << n) - 1, n); }  // n <= 31
    // Pads the last byte with zero bits.
    void align() {
        if (pending_bits) put(0, 8 - pending_bits);
    }
    uint64_t bit_count() const { return uint64_t(bytes.size()) * 8 + pending_bits; }
    // Hands the whole bytes to the caller and keeps the pending bits.
    void take_bytes(std::vector<uint8_t>& into) {
        into.swap(bytes);
        bytes.clear();
    }
};
