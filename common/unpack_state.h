// Process-wide state that the installation's subsystems share. The driver
// owns work_dir, work_folder and archive_stream; the header reader owns header and
// header_name; entry extraction owns output_file; the host window records
// host_window before the worker starts.
#pragma once

#include <cstdint>

#include "common/archive_stream.h"
#include "common/platform.h"
#include "common/sizes.h"

// The current basic header: the raw bytes, and its fields decoded right
// after the CRC comparison; the header reader sets data_end when it has
// passed the extended headers. Nothing changes them afterwards.
struct HeaderRecord {
    uint8_t raw[BASIC_HEADER_MAX];  // the basic header exactly as read
    uint16_t size;                  // basic header size of the header last read
    uint8_t first_header_size;      // offset of the file name in raw
    uint8_t min_version;            // minimum archiver version to extract
    uint8_t flags;                  // bit 0: password-protected
    uint8_t method;                 // 0 stored, 1-4 compressed
    uint8_t file_type;              // 0 binary, 1 text, 2 main header
    uint32_t compressed_size;       // data bytes after the local header
    uint32_t original_size;         // size of the unpacked entry
    uint32_t file_crc;              // CRC-32 of the unpacked entry
    uint16_t entry_name_pos;        // index in header_name where the name proper begins
    int64_t data_end;               // archive offset behind a local header's data: where the next header begins
};

struct UnpackState {
    HeaderRecord header;                 // the header last read
    char header_name[NAME_BUFFER_SIZE];  // its file name, zero-filled behind the name
    char work_dir[PATH_SIZE];            // temporary path + working-directory literal, ends with a separator
    Handle work_folder;                  // work_dir held open from its check to its removal (platform CreateFileA), or nullptr
    ArchiveStream archive_stream;        // the self-extracting file being read
    FileHandle output_file;              // the entry being written, or nullptr
    WindowHandle host_window;            // owner of message boxes; nullptr before the window exists
};

extern UnpackState unpack;
