#include "encode/input_window.h"

#include <cstring>

InputWindow::InputWindow() : buffer_(HISTORY + LOOKAHEAD + PADDING, 0) {}

void InputWindow::fill(EntryStreams& io, uint32_t position, uint32_t ahead) {
    if (ended_ || end_ - position >= ahead) return;
    uint32_t keep_from = position > base_ + HISTORY ? position - HISTORY : base_;
    if (keep_from > base_) {
        memmove(buffer_.data(), at(keep_from), end_ - keep_from);
        base_ = keep_from;
    }
    size_t capacity = HISTORY + LOOKAHEAD;
    size_t have = end_ - base_;
    size_t got = io.read(buffer_.data() + have, capacity - have);
    if (got < capacity - have) ended_ = true;
    end_ += uint32_t(got);
    memset(buffer_.data() + (end_ - base_), 0, PADDING);
}
