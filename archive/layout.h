// Layout of the self-extracting file and of the archive's headers.
//
//   offset 0       the stub, exactly 49152 bytes, never read as data
//   offset 49152   the prompt field, 200 bytes: zero-terminated question
//   offset 49352   the archive: main header, then per entry a local header
//                  and its compressed data, then the end marker 60 EA 00 00
//
// A header: 2-byte identifier 60 EA, 2-byte basic header size (0 marks the
// end), the basic header, its 4-byte CRC-32, then extended headers, each a
// 2-byte size, that many bytes and a 4-byte CRC, closed by a size of 0. All
// integers little-endian.
#pragma once

#include <cstdint>

inline constexpr int64_t PAYLOAD_OFFSET = 49152;
inline constexpr uint32_t PROMPT_FIELD_SIZE = 200;
inline constexpr int64_t ARCHIVE_OFFSET = PAYLOAD_OFFSET + PROMPT_FIELD_SIZE;
inline constexpr uint16_t HEADER_ID = 0xEA60;
inline constexpr uint32_t EXTENDED_HEADER_CRC_SIZE = 4;

// Offsets of the basic header's fields.
inline constexpr int FIELD_FIRST_HEADER_SIZE = 0;
inline constexpr int FIELD_MIN_VERSION = 2;
inline constexpr int FIELD_FLAGS = 4;
inline constexpr int FIELD_METHOD = 5;
inline constexpr int FIELD_FILE_TYPE = 6;
inline constexpr int FIELD_COMPRESSED_SIZE = 12;
inline constexpr int FIELD_ORIGINAL_SIZE = 16;
inline constexpr int FIELD_FILE_CRC = 20;
inline constexpr int FIELD_ENTRY_NAME_POS = 24;

// What validation accepts.
inline constexpr uint8_t MAX_MIN_VERSION = 3;
inline constexpr uint8_t FLAG_PASSWORDED = 0x01;
inline constexpr uint8_t METHOD_STORED = 0;
inline constexpr uint8_t METHOD_LAST_LZ_HUFFMAN = 3;
inline constexpr uint8_t METHOD_FASTEST = 4;
inline constexpr uint8_t FILE_TYPE_BINARY = 0;
inline constexpr uint8_t FILE_TYPE_TEXT = 1;

// COM and LPT followed by these bytes of the ANSI code page (superscript
// one, two, three) name devices too.
inline constexpr uint8_t SUPERSCRIPT_ONE = 0xB9;
inline constexpr uint8_t SUPERSCRIPT_TWO = 0xB2;
inline constexpr uint8_t SUPERSCRIPT_THREE = 0xB3;
