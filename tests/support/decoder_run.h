// Runs one decoder on crafted entry data through the platform double and
// records everything it makes observable.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/double_fixture.h"

struct DecoderRun {
    int result = -1;
    Bytes output;                    // the bytes written, in order
    std::vector<size_t> writes;      // the size of each write request
    uint32_t crc = 0;                // complement of the Crc32 register afterwards
    int64_t position = 0;            // archive_stream's offset from the entry's first byte
    std::vector<std::string> messages;
    int heap_blocks = 0;             // blocks still held afterwards
};

struct DecoderCase {
    uint8_t method = 1;
    Bytes data;                      // the entry's compressed bytes
    uint32_t original_size = 0;
    Bytes after;                     // what follows in the archive (the next header)
    uint64_t fail_write_at = 0;      // the nth write fails (0: none)
    bool fail_alloc = false;         // the window cannot be obtained
};

// Needs a DoubleTest (or the double as the platform). Every run checks that
// the decoder took no byte behind the entry's data.
DecoderRun run_decoder(DoubleTest& test, const DecoderCase& c);
