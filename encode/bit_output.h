// Bit fields written most significant bit first, bytes in order: the bit
// order every method's decoder reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

class BitOutput {
public:
    // Contract: width <= 32 and value < 2^width.
    void put(uint32_t value, uint32_t width) {
        pending_ = (pending_ << width) | value;
        pending_bits_ += width;
        if (pending_bits_ >= 32) {
            pending_bits_ -= 32;
            const uint32_t word = uint32_t(pending_ >> pending_bits_);
            if (capacity_ - used_ < 4) grow(4);
            uint8_t* at = buffer_.get() + used_;
            at[0] = uint8_t(word >> 24);
            at[1] = uint8_t(word >> 16);
            at[2] = uint8_t(word >> 8);
            at[3] = uint8_t(word);
            used_ += 4;
        }
    }
    void ones(uint32_t n) { put((1u << n) - 1, n); }  // n <= 31
    // Moves the whole bytes of the pending bits out; fewer than 8 stay.
    void settle() {
        while (pending_bits_ >= 8) {
            pending_bits_ -= 8;
            put_byte(uint8_t(pending_ >> pending_bits_));
        }
    }
    // Pads the last byte with zero bits and moves every byte out.
    void align() {
        if (pending_bits_ % 8) put(0, 8 - pending_bits_ % 8);
        settle();
    }
    // Appends `other`'s bits.
    void append(const BitOutput& other);
    // Drops everything; the memory stays for the next use.
    void clear() {
        used_ = 0;
        pending_ = 0;
        pending_bits_ = 0;
    }
    // The whole bytes so far.
    const uint8_t* data() const { return buffer_.get(); }
    size_t size() const { return used_; }
    // Drops the whole bytes, keeping the pending bits.
    void drop_bytes() { used_ = 0; }

private:
    void put_byte(uint8_t b) {
        if (capacity_ == used_) grow(1);
        buffer_[used_++] = b;
    }
    // Room for `at_least` more bytes (and as many again as there are), not
    // cleared: only bytes below used_ are read.
    void grow(size_t at_least) {
        const size_t capacity = capacity_ * 2 + at_least + 4096;
        std::unique_ptr<uint8_t[]> bigger(new uint8_t[capacity]);
        if (used_) memcpy(bigger.get(), buffer_.get(), used_);
        buffer_ = std::move(bigger);
        capacity_ = capacity;
    }

    std::unique_ptr<uint8_t[]> buffer_;  // bytes [0, used_) written, the rest room ahead
    size_t capacity_ = 0;
    size_t used_ = 0;
    uint64_t pending_ = 0;         // the low `pending_bits_` bits follow the bytes
    uint32_t pending_bits_ = 0;    // fewer than 32 between calls
};
