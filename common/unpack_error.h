// Result codes of the archive and decoder operations. 0 is success; every
// nonzero code is returned only after its message has been shown. 257 is
// not used.
#pragma once

enum UnpackError : int {
    UNPACK_OK = 0,
    ERR_READ_ARCHIVE = 256,        // a header read came up short
    ERR_HEADER_CRC = 258,          // basic header CRC mismatch
    ERR_HEADER_ID = 259,           // header does not start with 60 EA
    ERR_ENTRY_REFUSED = 260,       // any refused entry (261-264), after its specific message
    ERR_UNSUPPORTED_VERSION = 261,
    ERR_PASSWORDED = 262,
    ERR_UNKNOWN_METHOD = 263,
    ERR_INVALID_FILE_TYPE = 264,
    ERR_CREATE_FILE = 265,
    ERR_ALLOC_MEMORY = 266,
    ERR_BAD_CRC = 267,
    ERR_BAD_HUFFMAN = 268,
    ERR_TEMP_PATH = 269,
    ERR_TEMP_DIR = 270,            // also the module path failure
    ERR_WRITE_OUTPUT = 271,
};

// The system's own texts, shown exactly as they stand.
inline constexpr const char MSG_READ_ARCHIVE[] = "Read from archive error !";
inline constexpr const char MSG_HEADER_CRC[] = "Invalid header CRC !";
inline constexpr const char MSG_HEADER_ID[] = "Archive header has bad ID !";
inline constexpr const char MSG_ENTRY_REFUSED[] = "File header has invalid flags !";  // for any refused entry
inline constexpr const char MSG_UNSUPPORTED_VERSION[] = "Unsupported version !";
inline constexpr const char MSG_PASSWORDED[] = "File is passworded !";
inline constexpr const char MSG_UNKNOWN_METHOD[] = "Unknown compress method !";
inline constexpr const char MSG_INVALID_FILE_TYPE[] = "Invalid file type !";
inline constexpr const char MSG_CREATE_FILE[] = "Create file error !";
inline constexpr const char MSG_ALLOC_MEMORY[] = "Alloc memory error !";
inline constexpr const char MSG_BAD_CRC[] = "File has bad CRC !";
inline constexpr const char MSG_BAD_HUFFMAN[] = "Bad Huffman code !";
inline constexpr const char MSG_TEMP_PATH[] = "GetTempPath error !";
inline constexpr const char MSG_TEMP_DIR[] = "Create temporary directory error !";
inline constexpr const char MSG_MODULE_PATH[] = "GetModuleFileName() failed!";
inline constexpr const char MSG_WRITE_OUTPUT[] = "Write to output stream error !";
inline constexpr const char MSG_OPEN_ARCHIVE[] = "Open archive file error !";
inline constexpr const char MSG_INVALID_ARCHIVE[] = "Invalid header of archive !";
