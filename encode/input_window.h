// An entry's bytes as the coders see them: the bytes from the current
// position on, and the history behind it as far as a match may reach,
// held in one buffer that slides forward as the source is read. Stream
// positions are offsets from the entry's first byte.
#pragma once

#include <cstdint>
#include <vector>

#include "encode/entry_streams.h"

class InputWindow {
public:
    static constexpr uint32_t HISTORY = 32768;     // kept behind the position; above every reach
    static constexpr uint32_t LOOKAHEAD = 1 << 20; // read ahead at most
    static constexpr uint32_t PADDING = 16;        // zero bytes behind the data: 8-byte compares may run over

    InputWindow();
    // Makes at least `ahead` bytes from `position` on available, unless the
    // source ends first; slides, keeping HISTORY bytes behind `position`.
    // Contract: position >= start() and position <= end().
    void fill(EntryStreams& io, uint32_t position, uint32_t ahead);

    // The byte at stream position p. Contract: start() <= p <= end() (the
    // PADDING bytes behind end() are zero).
    const uint8_t* at(uint32_t p) const { return buffer_.data() + (p - base_); }
    uint32_t start() const { return base_; }
    uint32_t end() const { return end_; }
    bool ended() const { return ended_; }

private:
    std::vector<uint8_t> buffer_;
    uint32_t base_ = 0;      // stream position of buffer_[0]
    uint32_t end_ = 0;       // stream position behind the last byte read
    bool ended_ = false;     // the source has no more
};
