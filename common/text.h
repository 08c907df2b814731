// Bounded text building in fixed buffers. Nothing is ever written past
// `size` bytes; a text that does not fit is reported, never cut silently.
#pragma once

#include <cstddef>
#include <cstdint>

// Appends `tail` to the zero-terminated text in `buffer` of `size` bytes.
// False (and the buffer unchanged) when the result would not fit.
bool text_append(char* buffer, size_t size, const char* tail);

// Appends `text` right-aligned in at least `width` characters (the
// printf "%<width>s" conversion). False when it would not fit.
bool text_append_padded(char* buffer, size_t size, const char* text, size_t width);

// Appends the unsigned decimal digits of `value` (printf "%lu").
bool text_append_unsigned(char* buffer, size_t size, uint32_t value);
