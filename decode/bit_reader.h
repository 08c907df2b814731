// The bit input of the decoders: the compressed bytes of one entry as one
// stream of bits. Bit order: bytes in archive order, each byte's most
// significant bit first.
//
// The reader takes the entry's bytes from archive_stream's buffer, never
// more than compressed_size of them; behind them the stream is zero bits,
// so a decoder may look past the end of its data without touching what
// follows, but only as far as a well-formed stream ever looks
// (TRAILING_BYTES_MAX). Looking is not using: an entry is damaged when its
// stream needs more than that, when its file ends inside its data, or
// when an item uses a bit beyond the data (used_past_data). The reader
// records that the entry has ended (`ended`) and goes on feeding zero bits,
// read from nowhere, so that the item being decoded can be read to its
// end; the decoder stores nothing of it and stops.
//
// The reader reads ahead (up to 64 bits) from the bytes the buffer holds,
// but fills the buffer from the file only when its 16-bit lookahead needs a
// byte: the file is read as a one-byte-at-a-time reader would read it, and
// a file that ends inside the data costs one failed read. Where the stream
// stands after an entry does not matter: the entry ends at its data_end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/unpack_error.h"

inline constexpr uint32_t LOOKAHEAD_BITS = 16;  // bits a decoder may always peek
inline constexpr uint32_t BIT_BUFFER_BITS = 64;
inline constexpr uint32_t METHOD4_REGISTER_BITS = 16;
// After a refill the reader holds at least this many bits: it takes whole
// bytes while the total stays at most BIT_BUFFER_BITS - 1.
inline constexpr uint32_t REFILLED_BITS_MIN = BIT_BUFFER_BITS - 8;
// The bytes refill_bits_fast reads at once.
inline constexpr uint32_t FAST_REFILL_BYTES = 8;

// How many bytes behind an entry's data a well-formed stream can make the
// bit input fetch. Every bit a well-formed stream uses lies in its data, so
// the input has handed out at most the data's bits, and its 16-bit
// lookahead reaches 16 / 8 = 2 bytes beyond them. Method 4 takes its bits
// through a 16-bit register that is topped up from the input before they
// are used: up to 16 bits more have left the input then, 2 bytes more.
//   (LOOKAHEAD_BITS + METHOD4_REGISTER_BITS) / 8 = (16 + 16) / 8 = 4
// The decoders follow the bits they use (method 4 hands its register's
// bits to the input only when its entry ends), so a well-formed stream
// never reaches the bound here either.
inline constexpr uint32_t TRAILING_BYTES_MAX = (LOOKAHEAD_BITS + METHOD4_REGISTER_BITS) / 8;

struct BitReader {
    uint64_t bits;        // the next `count` bits, left-aligned; below them 0 or the bits that follow
    uint32_t count;       // bits held: at least LOOKAHEAD_BITS between the checked operations
    uint32_t left;        // entry bytes not yet taken from archive_stream
    const uint8_t* next;  // the next taken byte not yet in `bits`
    const uint8_t* end;   // the end of the bytes taken from archive_stream's buffer
    uint32_t zero_bits;   // zero bits fed behind the data (or where its file ended): the lowest of `bits`
    uint16_t ended;       // 0, or why the entry ended early: ERR_BAD_CRC (damaged stream) or ERR_BAD_HUFFMAN
};

// Starts the reader on an entry of `compressed_size` bytes at
// archive_stream's position and fills the lookahead with its first 16 bits
// (fetching two bytes, fewer if the entry is shorter).
void start_bits(BitReader& r, uint32_t compressed_size);

// Tops `r` up to at least 16 bits, to 56-63 whenever the buffered bytes
// and the entry allow. Behind the entry's data it feeds at most
// TRAILING_BYTES_MAX zero bytes; needing more ends the entry
// (ERR_BAD_CRC), as does a file that ends inside the data, and the bits
// fed from then on are zeros, read from nowhere.
void refill_bits(BitReader& r);

// Ends the entry early: nothing of the item at hand is stored. The first
// reason stays (a damaged entry ends with 267 whatever is read after the
// damage); the decoder shows its one box when it finishes.
inline void end_entry(BitReader& r, UnpackError why) {
    if (r.ended == 0) r.ended = uint16_t(why);
}

// Whether the bits consumed so far reach beyond the entry's data. The zero
// bits fed behind it are the last bits in, so the lowest held: while none
// of them has been consumed, at least zero_bits bits are held.
inline bool used_past_data(const BitReader& r) { return r.count < r.zero_bits; }

// After the decoder has read an item's bits: whether the entry has ended,
// an item that used a bit beyond the data ending it as damage.
inline bool entry_ended(BitReader& r) {
    if (used_past_data(r)) end_entry(r, ERR_BAD_CRC);
    return r.ended != 0;
}

// Ends the entry at a code the decoder refuses: 268, unless it was read
// from bits beyond the data, which makes it damage (267).
inline void refuse_entry_code(BitReader& r) { end_entry(r, used_past_data(r) ? ERR_BAD_CRC : ERR_BAD_HUFFMAN); }

// The next n bits, n from 1 to 32 and at most r.count, first bit most
// significant.
inline uint32_t peek_bits(const BitReader& r, uint32_t n) { return uint32_t(r.bits >> (BIT_BUFFER_BITS - n)); }

// Discards n bits (0 to 16) and keeps at least 16 held.
inline void drop_bits(BitReader& r, uint32_t n) {
    r.bits <<= n;
    r.count -= n;
    if (r.count < LOOKAHEAD_BITS) refill_bits(r);
}

// The next n bits (0 to 16) as a number, first bit most significant; then
// drops them. take_bits(r, 0) is 0 and consumes nothing.
inline uint32_t take_bits(BitReader& r, uint32_t n) {
    uint32_t value = peek_bits(r, LOOKAHEAD_BITS) >> (LOOKAHEAD_BITS - n);
    drop_bits(r, n);
    return value;
}

// --- the decoders' fast loops -------------------------------------------

inline uint64_t load_be64(const uint8_t* p) {
    uint64_t v;
    memcpy(&v, p, sizeof v);
    return __builtin_bswap64(v);
}

// Bytes taken from archive_stream's buffer that are not in r.bits yet.
inline size_t taken_bytes_left(const BitReader& r) { return size_t(r.end - r.next); }

// Tops `r` up to 56-63 bits without a test. Contract: r.count < 64 and at
// least FAST_REFILL_BYTES taken bytes lie at r.next (r.end - r.next >= 8),
// so every byte read is the entry's own. It adds the (63 - count) / 8
// whole bytes that fit; the bits of the next byte that the 8-byte load
// also puts below them are that byte's own bits, which its own refill adds
// again unchanged.
inline void refill_bits_fast(BitReader& r) {
    r.bits |= load_be64(r.next) >> r.count;
    r.next += (BIT_BUFFER_BITS - 1 - r.count) / 8;
    r.count |= REFILLED_BITS_MIN;
}

// Discards n held bits without a refill. Contract: n <= r.count.
inline void drop_held_bits(BitReader& r, uint32_t n) {
    r.bits <<= n;
    r.count -= n;
}
