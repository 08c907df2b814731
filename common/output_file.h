// The output file: the one binary write stream of the entry being unpacked.
#pragma once

#include <cstddef>
#include <cstdint>

// Feeds the block to the Crc32 register, then writes it in one request.
// False when fewer bytes were written than given.
bool write_output_block(const uint8_t* bytes, size_t n);
