// Little-endian fields of file formats (PE headers, archive headers) read
// from bytes the caller has checked are there.
#pragma once

#include <cstdint>

inline uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t le32(const uint8_t* p) { return uint32_t(le16(p)) | uint32_t(le16(p + 2)) << 16; }
