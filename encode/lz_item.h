// One item of an LZ77 parse: a literal byte or a match.
#pragma once

#include <cstdint>

#include "decode/match_format.h"

struct LzItem {
    uint16_t length;  // 0: a literal; else a match of 3 to 256 bytes
    uint16_t value;   // the literal byte, or the match's distance minus 1 (the byte `value` + 1 places back)
};
