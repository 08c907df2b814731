// The carry-less multiply path of crc32_update (x86-64 with PCLMULQDQ):
// folds 64 bytes a step and reduces to the same register the byte table
// gives.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr size_t CRC32_CLMUL_MIN_BYTES = 64;

// True when the processor has the instructions (checked once).
bool crc32_clmul_available();
// Feeds the first (n / 16) * 16 bytes into `reg`; returns how many it took.
// Contract: n >= CRC32_CLMUL_MIN_BYTES and crc32_clmul_available().
size_t crc32_clmul_update(uint32_t* reg, const uint8_t* bytes, size_t n);
