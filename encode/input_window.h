// The bytes a coder works on: a stretch of the entry held in memory, with
// the history before the part to be coded (as far back as a match may
// reach). Stream positions are offsets from the entry's first byte.
#pragma once

#include <cstddef>
#include <cstdint>

class InputWindow {
public:
    static constexpr uint32_t HISTORY = 32768;  // kept before a chunk; above every reach
    static constexpr uint32_t PADDING = 16;     // readable bytes behind end(): 8-byte loads may run over

    // Stream bytes [base, base + size) at `bytes`. Contract: PADDING more
    // bytes after them can be read (their values do not matter).
    InputWindow(const uint8_t* bytes, size_t size, uint32_t base)
        : bytes_(bytes), base_(base), end_(base + uint32_t(size)) {}

    // The byte at stream position p. Contract: start() <= p <= end().
    const uint8_t* at(uint32_t p) const { return bytes_ + (p - base_); }
    uint32_t start() const { return base_; }
    uint32_t end() const { return end_; }

private:
    const uint8_t* bytes_;
    uint32_t base_;  // stream position of bytes_[0]
    uint32_t end_;   // stream position behind the last byte
};
