// What a method's coder works with: the entry's source, read through
// read() (which keeps the CRC-32, the byte count and the progress report),
// and the archive, written through write() (which counts the compressed
// bytes).
#pragma once

#include <cstdint>
#include <functional>

#include "encode/byte_sink.h"
#include "encode/entry_source.h"

inline constexpr uint64_t MAX_FIELD_SIZE = 0xFFFFFFFFu;  // the headers' 32-bit size fields

// Called with the bytes of the current entry read so far.
using Progress = std::function<void(uint64_t entry_bytes_read)>;

struct EntryStreams {
    EntrySource& source;              // the entry's bytes
    ByteSink& sink;                   // the archive, at the entry's data
    const Progress* progress;         // told after each read; may be null
    uint32_t crc_register;            // the running CRC-32 register of what was read
    uint64_t original_size = 0;       // bytes read
    uint64_t compressed_size = 0;     // bytes written
    bool too_large = false;           // more than MAX_FIELD_SIZE bytes arrived; reading stopped
    bool write_failed = false;        // the sink refused bytes; nothing more is written

    EntryStreams(EntrySource& s, ByteSink& k, const Progress* p);
    // Fills `buffer` as far as the source goes: short only at its end.
    size_t read(uint8_t* buffer, size_t n);
    bool write(const uint8_t* bytes, size_t n);
    uint32_t crc() const { return ~crc_register; }
};

// The coders of each method; each reads the whole source and writes the
// entry's data. False when reading or writing failed or the entry is too
// large for the headers' fields (see the flags).
bool encode_stored(EntryStreams& io);
bool encode_lz_huffman(EntryStreams& io);
bool encode_method4(EntryStreams& io);
