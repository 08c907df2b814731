// The bit input: the compressed bytes of the current entry as one stream of
// bits, most significant bit of each byte first, bytes in archive order.
//
// The entry's bytes come from archive_stream and are counted down in
// unpack.header.compressed_size; behind that count the stream is zero bits,
// so a decoder may look past the end of its data without touching the next
// header, but only as far as a well-formed stream ever looks
// (TRAILING_BYTES_MAX). A stream that needs more, or whose file ends inside
// its data, is damaged: the reader records that the entry has ended
// (`ended`), goes on feeding zero bits so that the item being decoded can
// complete, and the decoder stops after it.
//
// Logical position. A reader that fetches one byte at a time, and only
// when its 16-bit lookahead needs one, has fetched ceil((C + 16) / 8) bytes
// after C bits were consumed (at most compressed_size). That is where
// archive_stream must stand after an entry, since the next header is read
// from there. This reader instead keeps up to 64 bits and reads ahead from
// archive_stream's buffer; settle_bits() hands the bytes read ahead back to
// the buffer, after which stream position and count are the logical ones.
// Read-ahead never crosses a buffer refill (a refill happens only while
// fewer than 16 bits are held, when nothing is read ahead), so the bytes to
// hand back are always still in the buffer.
#pragma once

#include <cstdint>
#include <cstring>

#include "common/unpack_error.h"
#include "common/unpack_state.h"

inline constexpr uint32_t LOOKAHEAD_BITS = 16;  // bits a decoder may always peek
inline constexpr uint32_t BIT_BUFFER_BITS = 64;
inline constexpr uint32_t METHOD4_REGISTER_BITS = 16;

// How many bytes behind an entry's data a well-formed stream can make the
// bit input fetch. Every bit a well-formed stream uses lies in its data, so
// the input has handed out at most the data's bits, and its 16-bit
// lookahead reaches 16 / 8 = 2 bytes beyond them. Method 4 takes its bits
// through a 16-bit register that is topped up from the input before they
// are used: up to 16 bits more have left the input then, 2 bytes more.
//   (LOOKAHEAD_BITS + METHOD4_REGISTER_BITS) / 8 = (16 + 16) / 8 = 4
// This reader follows the bits the decoders use (method 4 hands its
// register's bits back only when its entry ends), so it needs no more
// bytes than the format's input at any point: a well-formed stream never
// reaches the bound here either.
inline constexpr uint32_t TRAILING_BYTES_MAX = (LOOKAHEAD_BITS + METHOD4_REGISTER_BITS) / 8;
inline constexpr uint16_t ZEROS_FED_MAX = 0xFFFF;

struct BitReader {
    uint64_t bits;       // the next `count` bits of the stream, left-aligned; bits below them are 0
    uint32_t count;      // bits held; at least LOOKAHEAD_BITS between operations
    uint16_t zeros_fed;  // zero bytes fed behind the data, not handed back (stops at ZEROS_FED_MAX)
    uint16_t ended;      // 0, or why the entry ended early: ERR_BAD_CRC (damaged stream) or ERR_BAD_HUFFMAN
    uint32_t to_produce; // bytes the decoder is still to produce: original_size, counted down; 1 once ended
};

// The one reader of the process, reset by start_bits at each entry.
extern BitReader bit_reader;

// Resets the reader and fills the lookahead with the entry's first 16 bits.
void start_bits();
// Ends the entry early: the item at hand is the decoder's last. It leaves
// one byte to produce, which a literal takes and a match (3 bytes or more)
// exceeds, so the count never wraps below 0. A refused code
// (ERR_BAD_HUFFMAN, whose box is shown where it is found) replaces damage
// found before it, which the decoder has not reported yet, so that an
// entry shows one box.
inline void end_entry(BitReader& r, UnpackError why) {
    if (r.ended == 0 || why == ERR_BAD_HUFFMAN) r.ended = uint16_t(why);
    r.to_produce = 1;
}
// Discards the next n bits, n from 0 to 16.
void skip_bits(uint32_t n);
// The next n bits (0 to 16) as a number, first bit most significant; then
// skips them. read_bits(0) is 0 and consumes nothing.
uint16_t read_bits(uint32_t n);
// The next 16 bits; bit 15 is the next bit.
inline uint16_t lookahead() { return uint16_t(bit_reader.bits >> (BIT_BUFFER_BITS - LOOKAHEAD_BITS)); }
// Hands back what was read ahead: archive_stream and compressed_size then
// stand where the one-byte-at-a-time reader would, and the reader holds
// 16 to 23 bits (the lookahead and the unconsumed bits of the last byte).
void settle_bits();

// --- the decoders' fast path, on a local copy of bit_reader --------------

// `r` topped up to at least 16 bits, to 56 or more whenever
// archive_stream's buffer and the count allow. Taken and returned by value
// so that a decoder's copy can live in registers. Behind the data it feeds
// at most TRAILING_BYTES_MAX zero bytes; needing more ends the entry
// (ERR_BAD_CRC), as does a file that ends inside the data, and the bits
// fed from then on are zeros, read from nowhere.
BitReader refill_bits_slow(BitReader r);

inline uint64_t load_be64(const uint8_t* p) {
    uint64_t v;
    memcpy(&v, p, sizeof v);
    return __builtin_bswap64(v);
}

// Contract: called with r.count < 16. Takes whole bytes while the total
// stays at most 63 bits: (63 - count) / 8 bytes, 6 or 7, all within both
// the buffer and the count (each at least 8 bytes), so neither runs short.
inline void refill_bits(BitReader& r) {
    ArchiveStream& s = unpack.archive_stream;
    uint32_t& left = unpack.header.compressed_size;
    if (s.tail - s.head >= 8 && left >= 8) {
        uint32_t take = (BIT_BUFFER_BITS - 1 - r.count) >> 3;
        uint32_t filled = r.count + 8 * take;
        uint64_t word = load_be64(s.buffer + s.head) >> r.count;
        r.bits |= word & (~uint64_t(0) << (BIT_BUFFER_BITS - filled));
        r.count = filled;
        s.head += take;
        left -= take;
        return;
    }
    r = refill_bits_slow(r);
}

inline uint32_t peek_bits(const BitReader& r, uint32_t n) { return uint32_t(r.bits >> (BIT_BUFFER_BITS - n)); }

// Discards n bits (0 to 16) and keeps at least 16 available.
inline void drop_bits(BitReader& r, uint32_t n) {
    r.bits <<= n;
    r.count -= n;
    if (r.count < LOOKAHEAD_BITS) refill_bits(r);
}

// n from 0 to 16.
inline uint32_t take_bits(BitReader& r, uint32_t n) {
    uint32_t value = uint32_t(r.bits >> (BIT_BUFFER_BITS - LOOKAHEAD_BITS)) >> (LOOKAHEAD_BITS - n);
    drop_bits(r, n);
    return value;
}
