// The bytes a coder works on: a stretch of the entry held in memory, with
// the history before the part to be coded (as far back as a match may
// reach) and zero padding behind it. Stream positions are offsets from the
// entry's first byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class InputWindow {
public:
    static constexpr uint32_t HISTORY = 32768;  // kept before a chunk; above every reach
    static constexpr uint32_t PADDING = 16;     // zero bytes behind the data: 8-byte loads may run over

    // Holds stream bytes [base, base + size).
    void assign(const uint8_t* bytes, size_t size, uint32_t base);

    // The byte at stream position p. Contract: start() <= p <= end() (the
    // PADDING bytes behind end() are zero).
    const uint8_t* at(uint32_t p) const { return buffer_.data() + (p - base_); }
    uint32_t start() const { return base_; }
    uint32_t end() const { return end_; }

private:
    std::vector<uint8_t> buffer_;
    uint32_t base_ = 0;  // stream position of buffer_[0]
    uint32_t end_ = 0;   // stream position behind the last byte
};
