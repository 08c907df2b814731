// Prefix code lengths for the methods 1-3 blocks: lengths of a Huffman code
// limited to a maximum length, and the canonical code values the decoder's
// tables assign to them (shorter codes first, then symbol order).
#pragma once

#include <cstdint>

#include "decode/lz_huffman_format.h"

// Lengths of an optimal prefix code for `frequencies` with no length above
// `max_length`. Symbols of frequency 0 get length 0. With two or more used
// symbols the code is complete (the lengths fill the code space exactly);
// with one, that symbol gets length 0 too: the block writes it as the
// single value of its alphabet instead. Returns the number of used symbols.
// Contract: count <= 1024 and count <= 2^max_length, max_length <= MAX_CODE_LENGTH.
uint32_t limited_code_lengths(const uint32_t* frequencies, uint32_t count, uint32_t max_length, uint8_t* lengths);

// The canonical code of each symbol, right-aligned in its length.
void canonical_codes(const uint8_t* lengths, uint32_t count, uint16_t* codes);
