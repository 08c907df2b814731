// The archive's headers as this writer fills them. Every header has the
// 30-byte first part that the format lays out, then the name and the
// comment, each zero-terminated:
//
//   0 first_header_size (30)   1 archiver version   2 min_version
//   3 host system (0: the date and attribute fields are DOS ones)
//   4 flags (0)   5 method (main header: security version 0)
//   6 file_type (0 binary; 2 main header)   7 reserved (0)
//   8 date and time: DOS date << 16 | DOS time (main header: created)
//  12 compressed_size (main header: modified date and time)
//  16 original_size (main header: archive size, 0)
//  20 file_crc (main header: security envelope position, 0)
//  24 entry_name_pos (main header: name position, 0)
//  26 file attributes (main header: security envelope length, 0)
//  28 host data (0)
//
// On the stream a header is 60 EA, the basic header's size, the basic
// header, its CRC-32 and one empty extended header list (00 00).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

inline constexpr uint8_t FIRST_HEADER_SIZE = 30;
inline constexpr uint8_t ARCHIVER_VERSION = 11;
inline constexpr uint8_t EXTRACT_VERSION = 1;
inline constexpr uint8_t HOST_DOS = 0;
inline constexpr uint8_t FILE_TYPE_MAIN = 2;
inline constexpr uint16_t DOS_ATTRIBUTE_ARCHIVE = 0x20;
inline constexpr size_t MAX_STORED_NAME = 511;      // what a reader's 512-byte name buffer holds
inline constexpr size_t MAX_BASIC_HEADER = 1024;    // what a reader's header buffer holds

struct LocalHeaderFields {
    std::string name;              // stored name; a path's parts separated by '/'
    std::string comment;
    uint8_t method = 0;
    uint32_t dos_time = 0;         // modification time, DOS date << 16 | DOS time
    uint16_t attributes = DOS_ATTRIBUTE_ARCHIVE;
    uint32_t compressed_size = 0;
    uint32_t original_size = 0;
    uint32_t file_crc = 0;
};

// Why `name` and `comment` cannot go into a header (empty name, a zero
// byte, too long), or "" when they can.
std::string header_text_problem(const std::string& name, const std::string& comment);

// The whole header on the stream. Contract: header_text_problem() is "".
std::vector<uint8_t> main_header(const std::string& archive_name, uint32_t dos_time, const std::string& comment);
std::vector<uint8_t> local_header(const LocalHeaderFields& fields);
// 60 EA 00 00.
std::vector<uint8_t> end_marker();
