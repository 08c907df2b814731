// What the parsers choose by: the bits a literal or a match costs under a
// model, in sixteenths of a bit. A model provides literal(byte),
// length(MIN_MATCH_LENGTH..MAX_MATCH_LENGTH) and distance(1..reach), each in
// COST_SCALE units; a match costs its length's and its distance's.
#pragma once

#include <cstdint>

inline constexpr uint32_t COST_SCALE = 16;
