#include "encode/bit_output.h"

#include <cstring>

void BitOutput::append(const BitOutput& from) {
    settle();
    if (pending_bits_ == 0) {
        if (capacity_ - used_ < from.used_) grow(from.used_);
        if (from.used_) memcpy(buffer_.get() + used_, from.buffer_.get(), from.used_);
        used_ += from.used_;
    } else {
        const uint32_t k = pending_bits_;
        uint32_t held = uint32_t(pending_) & ((1u << k) - 1);
        if (capacity_ - used_ < from.used_) grow(from.used_);
        uint8_t* at = buffer_.get() + used_;
        for (size_t i = 0; i < from.used_; i++) {
            const uint8_t b = from.buffer_[i];
            at[i] = uint8_t(held << (8 - k) | b >> k);
            held = b & ((1u << k) - 1);
        }
        used_ += from.used_;
        pending_ = held;
    }
    if (from.pending_bits_) put(uint32_t(from.pending_) & ((1u << from.pending_bits_) - 1), from.pending_bits_);
}
