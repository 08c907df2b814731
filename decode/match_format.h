// What the streams of methods 1 to 4 share: every match is 3 to 256
// bytes long. The reach of a match is each method's own
// (lz_huffman_format.h, method4_format.h). The readers and the writer
// (encode/) both take these from here.
#pragma once

#include <cstdint>

inline constexpr uint32_t MIN_MATCH_LENGTH = 3;
inline constexpr uint32_t MAX_MATCH_LENGTH = 256;
