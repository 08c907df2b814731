// Entry extraction: turns the entry whose local header was just read into
// one file of work_dir.
#pragma once

#include <cstdint>

// Validates, creates the output file, unpacks by method, compares the CRC.
// 0, or an UnpackError code after its message(s) have been shown.
int extract_entry();
// 0 if the entry can be unpacked, else 261-264 after showing the message.
int validate_entry();
// The current entry's file name in work_dir: header_name from
// entry_name_pos on, or nullptr when that is not one plain file name (the
// position lies outside header_name or neither is 0 nor follows a / or \;
// or the name is empty, ends in a dot or a space, holds a separator, drive
// colon, control character or one of < > " | ? *, or names a device).
const char* entry_output_name();
// Moves archive_stream to the end of the entry's data (data_end), from
// wherever inside the data it stands.
void skip_entry_data();
// The stored copy's block: large enough that reads and writes of big
// entries run at the disk's speed, small enough for any 32-bit process.
inline constexpr uint32_t STORED_BLOCK_SIZE = 256 * 1024;

// Method 0: the entry's bytes in blocks of at most STORED_BLOCK_SIZE, each
// read, fed to the Crc32 register and written. 0, 266 or 271; 267 (damage)
// when the data is longer than original_size (nothing is written) or the
// file ends inside it (the short block is not written).
int copy_stored();
