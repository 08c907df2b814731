// The stream of methods 1-3, as the reader (lz_huffman*.cpp, code_table.cpp)
// takes it and the writer (encode/) makes it: blocks of literals and
// matches in canonical prefix codes of at most MAX_CODE_LENGTH bits. A
// block is its symbol count, the descriptions of its three codes (the
// fields below; lz_huffman_header.cpp shows their layout) and its items:
// a literal/length symbol each and, after a match's, a position symbol k
// followed for k >= 2 by k - 1 bits x, the position value 2^(k-1) + x (k
// = 0: 0, k = 1: 1), which names the byte value + 1 places back.
#pragma once

#include <cstdint>

#include "common/sizes.h"
#include "decode/match_format.h"

inline constexpr uint32_t MAX_CODE_LENGTH = 16;

// The three alphabets.
inline constexpr uint32_t LENGTH_CODE_SYMBOLS = 19;  // the alphabet that codes the literal/length lengths
inline constexpr uint32_t POSITION_SYMBOLS = 17;
inline constexpr uint32_t LITLEN_SYMBOLS = 510;
inline constexpr uint32_t LITERAL_SYMBOLS = 256;      // literal/length symbols below this are bytes
inline constexpr uint32_t MATCH_LENGTH_OFFSET = 253;  // symbol 256 is a match of 3 bytes
static_assert(LITERAL_SYMBOLS + MAX_MATCH_LENGTH - MIN_MATCH_LENGTH + 1 == LITLEN_SYMBOLS);
// A match reaches back at most the decoders' window (position values
// WINDOW_SIZE and above name no byte of it).
inline constexpr uint32_t LZ_HUFFMAN_REACH = WINDOW_SIZE;

inline constexpr uint32_t BLOCK_COUNT_BITS = 16;
inline constexpr uint32_t BLOCK_SYMBOLS_MAX = 1u << BLOCK_COUNT_BITS;  // a count of 0

// Fields of the code descriptions.
inline constexpr uint32_t SMALL_COUNT_BITS = 5;
inline constexpr int LENGTH_CODE_SPECIAL_INDEX = 3;  // a 2-bit run of zero lengths follows the third length
inline constexpr int NO_SPECIAL_INDEX = -1;
inline constexpr uint32_t SPECIAL_ZEROS_BITS = 2;
inline constexpr uint32_t SPECIAL_ZEROS_MAX = (1u << SPECIAL_ZEROS_BITS) - 1;
inline constexpr uint32_t LITLEN_COUNT_BITS = 9;
inline constexpr uint32_t SHORT_LENGTH_BITS = 3;     // a length of 0 to 6; 7 escapes to unary
inline constexpr uint32_t UNARY_LENGTH_START = 7;
// The length code's symbols for runs of zero lengths.
inline constexpr uint32_t ZERO_RUN_ONE_SYMBOL = 0;
inline constexpr uint32_t ZERO_RUN_SHORT_SYMBOL = 1;
inline constexpr uint32_t ZERO_RUN_LONG_SYMBOL = 2;
inline constexpr uint32_t ZERO_RUN_SHORT_BITS = 4;   // length-code symbol 1: 3 + 4 bits zero lengths
inline constexpr uint32_t ZERO_RUN_SHORT_BASE = 3;
inline constexpr uint32_t ZERO_RUN_LONG_BITS = 9;    // symbol 2: 20 + 9 bits zero lengths
inline constexpr uint32_t ZERO_RUN_LONG_BASE = 20;
inline constexpr uint32_t ZERO_RUN_SHORT_MAX = ZERO_RUN_SHORT_BASE + (1u << ZERO_RUN_SHORT_BITS) - 1;  // 18
inline constexpr uint32_t ZERO_RUN_LONG_MAX = ZERO_RUN_LONG_BASE + (1u << ZERO_RUN_LONG_BITS) - 1;     // 531
inline constexpr uint32_t LENGTH_SYMBOL_OFFSET = 2;  // symbols 3-18 stand for lengths 1-16
