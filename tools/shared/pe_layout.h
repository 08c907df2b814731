// The fields of a PE file's headers that the tool reads (little-endian).
//
//   0x3C                   e_lfanew: offset of the "PE\0\0" signature
//   e_lfanew               signature (4), then the COFF file header (20):
//     + 6                  number of sections
//     + 20                 size of the optional header
//   e_lfanew + 24          the optional header: magic 0x10B (PE32) or
//                          0x20B (PE32+), CheckSum at 64, the data
//                          directories at 96 (PE32) or 112 (PE32+), each
//                          8 bytes, NumberOfRvaAndSizes right before them
//   after the optional     the section table, 40 bytes per section: raw
//   header                 data size at 16, raw data offset at 20
#pragma once

#include <cstddef>

inline constexpr size_t PE_HEADER_OFFSET_FIELD = 0x3C;
inline constexpr size_t COFF_HEADER_SIZE = 24;  // signature and file header
inline constexpr size_t SECTION_COUNT_FIELD = 6;
inline constexpr size_t OPTIONAL_HEADER_SIZE_FIELD = 20;
inline constexpr size_t SECTION_HEADER_SIZE = 40;
inline constexpr size_t SECTION_RAW_SIZE_FIELD = 16;
inline constexpr size_t SECTION_RAW_OFFSET_FIELD = 20;
