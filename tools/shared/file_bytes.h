// Whole files and file heads as bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

// Appends what `file` holds from its position to its end. False on a read error.
bool read_rest(FILE* file, std::vector<uint8_t>& bytes);
// The whole file when it holds at most `limit` bytes. False, errno set,
// when it cannot be opened or read, or (EFBIG) when it holds more: at most
// `limit` + 1 bytes are read, so that neither a huge file nor an endless
// one (/dev/zero, a FIFO) is read whole.
bool read_file_bytes(const char* path, std::vector<uint8_t>& bytes, size_t limit);
