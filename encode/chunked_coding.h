// Coding an entry in chunks of CHUNK_SIZE bytes, several at once on their
// own threads. Each chunk is coded on its own: its matches may reach back
// into the chunks before it, whose bytes it is given as history, but its
// items and (for method 1) its blocks are its own, so the chunks' bit
// streams follow one another as they are. The chunks and so the output do
// not depend on the number of threads.
#pragma once

#include <cstdint>

#include "encode/bit_output.h"
#include "encode/entry_streams.h"
#include "encode/input_window.h"

inline constexpr uint32_t CHUNK_SIZE = 1u << 20;

// Codes stream positions [start, stop) of `window` (which holds the
// history before start and may hold bytes after stop) into `out`.
using ChunkCoder = void (*)(const InputWindow& window, uint32_t start, uint32_t stop, BitOutput& out);

// Reads the whole entry from `io`, codes it chunk by chunk with `coder` on
// up to `threads` threads, and writes the bit streams one after the
// other, the last byte padded with zero bits.
bool encode_in_chunks(EntryStreams& io, ChunkCoder coder, unsigned threads);

// The chunk coders of methods 1 and 4.
void encode_lz_huffman_chunk(const InputWindow& window, uint32_t start, uint32_t stop, BitOutput& out);
void encode_method4_chunk(const InputWindow& window, uint32_t start, uint32_t stop, BitOutput& out);

// The number of threads the coders use: the processors available, at most 4.
unsigned coding_threads();
