// Coding an entry in chunks of CHUNK_SIZE bytes, several at once on their
// own threads. Each chunk is coded on its own: its matches may reach back
// into the chunks before it, whose bytes it is given as history, but its
// items and (for method 1) its blocks are its own, so the chunks' bit
// streams follow one another as they are. The chunks and so the output do
// not depend on the number of threads.
#pragma once

#include <cstdint>
#include <memory>

#include "encode/bit_output.h"
#include "encode/entry_streams.h"
#include "encode/input_window.h"

inline constexpr uint32_t CHUNK_SIZE = 1u << 20;  // the largest chunk
// From this many chunks on, an odd count gets one more.
inline constexpr uint64_t EVEN_CHUNKS_FROM = 8;

// Chunks of one size for an entry of `expected` bytes (0: not known): as
// many as CHUNK_SIZE would give, and an even number of them from
// EVEN_CHUNKS_FROM on, so that two threads end together. It depends on
// the entry alone, never on the threads.
uint32_t even_chunk_size(uint64_t expected);

// What a coder keeps from one chunk to the next it codes (its tables and
// buffers, made once per entry and reused, never carrying data over);
// each coder has its own kind.
struct CoderState {
    virtual ~CoderState() = default;
};

// Codes stream positions [start, stop) of `window` (which holds the
// history before start and may hold bytes after stop) into `out`, with
// `state` as the coder left it (null the first time).
using ChunkCoder = void (*)(const InputWindow& window, uint32_t start, uint32_t stop, BitOutput& out,
                            std::unique_ptr<CoderState>& state);

// Reads the whole entry from `io`, codes it in chunks of `chunk_size`
// bytes (at most CHUNK_SIZE; the last may be shorter) with `coder` on up
// to `threads` threads, and writes the bit streams one after the other,
// the last byte padded with zero bits.
bool encode_in_chunks(EntryStreams& io, ChunkCoder coder, unsigned threads, uint32_t chunk_size);

// The chunk coders of methods 1 and 4.
void encode_lz_huffman_chunk(const InputWindow& window, uint32_t start, uint32_t stop, BitOutput& out,
                             std::unique_ptr<CoderState>& state);
void encode_method4_chunk(const InputWindow& window, uint32_t start, uint32_t stop, BitOutput& out,
                          std::unique_ptr<CoderState>& state);

// The number of threads the coders use: the processors available, at most 4.
unsigned coding_threads();
