// Whole files and file heads as bytes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

// Appends what `file` holds from its position to its end. False on a read error.
bool read_rest(FILE* file, std::vector<uint8_t>& bytes);
// The whole file; false (errno set) when it cannot be opened or read.
bool read_file_bytes(const char* path, std::vector<uint8_t>& bytes);
