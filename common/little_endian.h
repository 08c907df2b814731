// Little-endian fields of the file formats (archive headers, PE headers),
// read from bytes the caller has checked are there.
#pragma once

#include <cstdint>

static inline uint16_t le_u16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
static inline uint32_t le_u32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
