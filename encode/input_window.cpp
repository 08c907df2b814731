#include "encode/input_window.h"

#include <cstring>

void InputWindow::assign(const uint8_t* bytes, size_t size, uint32_t base) {
    buffer_.resize(size + PADDING);
    if (size) memcpy(buffer_.data(), bytes, size);
    memset(buffer_.data() + size, 0, PADDING);
    base_ = base;
    end_ = base + uint32_t(size);
}
