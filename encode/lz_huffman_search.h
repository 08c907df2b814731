// How method 1 looks for matches: its finder's sizes and how hard it
// searches (the coder, lz_huffman_encoder.cpp, and its tests use these).
#pragma once

#include <cstdint>

#include "decode/lz_huffman_format.h"
#include "encode/chain_match_finder.h"
#include "encode/match_cache.h"

inline constexpr uint32_t LZ_HUFFMAN_RING_BITS = 15;     // chain links above the reach
inline constexpr uint32_t LZ_HUFFMAN_NICE_LENGTH = 128;  // a match this long ends a search
static_assert(LZ_HUFFMAN_REACH < (1u << LZ_HUFFMAN_RING_BITS));

using LzHuffmanFinder = ChainMatchFinder<LZ_HUFFMAN_RING_BITS>;

inline constexpr SearchEffort LZ_HUFFMAN_EFFORT = {
    .full_steps = 12,  // where no match goes on
    .near_steps = 1,   // where one does: one step for nearer matches ...
    .far_steps = 6,    // ... and six for longer ones
    .near_below = 8,   // none for nearer ones inside a match of 8 bytes or more
    .skip_length = 64, // a match of 64 bytes is taken as it is, to its end
    .skip_tail = 0,
};
