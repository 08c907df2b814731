// CRC-32 of the archive format: the common reflected CRC-32 (polynomial
// 0xEDB88320). One process-wide register, set to 0xFFFFFFFF by its user,
// fed bytes, then complemented and compared with a stored value.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr uint32_t CRC32_POLYNOMIAL = 0xEDB88320u;
inline constexpr uint32_t CRC32_INITIAL = 0xFFFFFFFFu;

struct Crc32 {
    uint32_t table[8][256];  // table[0] is the byte table; 1..7 extend it to eight bytes a step
    uint32_t reg;            // the running register; its complement is the CRC
};

extern Crc32 crc32;

// Builds the tables. Called once by the driver before anything is read.
void crc32_build_table();

// Feeds n bytes into the register. n == 0 leaves it unchanged.
void crc32_update(const uint8_t* bytes, size_t n);

// The CRC of a whole buffer, for callers that do not use the register.
uint32_t crc32_of(const uint8_t* bytes, size_t n);
