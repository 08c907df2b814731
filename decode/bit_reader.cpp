#include "decode/bit_reader.h"

BitReader bit_reader;

// Behind the entry's data: zero bytes (the bits below count are zero
// already), at most TRAILING_BYTES_MAX of them while the stream is sound.
static BitReader feed_zero_bytes(BitReader r) {
    uint32_t room = (BIT_BUFFER_BITS - r.count) / 8;
    uint32_t allowed = r.zeros_fed < TRAILING_BYTES_MAX ? TRAILING_BYTES_MAX - r.zeros_fed : 0;
    uint32_t bytes = room < allowed ? room : allowed;
    if (r.count + 8 * bytes < LOOKAHEAD_BITS) {
        // The lookahead would need more than a well-formed stream ever does.
        end_entry(r, ERR_BAD_CRC);
        bytes = room;
    }
    r.count += 8 * bytes;
    uint32_t fed = r.zeros_fed + bytes;
    r.zeros_fed = uint16_t(fed < ZEROS_FED_MAX ? fed : ZEROS_FED_MAX);
    return r;
}

BitReader refill_bits_slow(BitReader r) {
    ArchiveStream& s = unpack.archive_stream;
    uint32_t& left = unpack.header.compressed_size;
    while (r.count <= BIT_BUFFER_BITS - 8) {
        if (left == 0) return feed_zero_bytes(r);
        uint8_t byte;
        if (s.head < s.tail) {
            byte = s.buffer[s.head++];
        } else if (r.count < LOOKAHEAD_BITS) {
            // Needed now, so nothing is read ahead across this refill.
            int got = archive_read_byte_slow();
            if (got < 0) {
                // The file ends inside the entry's data: nothing more is
                // read, one failed read is all it costs.
                left = 0;
                end_entry(r, ERR_BAD_CRC);
                continue;
            }
            byte = uint8_t(got);
        } else {
            return r;
        }
        left--;
        r.bits |= uint64_t(byte) << (BIT_BUFFER_BITS - 8 - r.count);
        r.count += 8;
    }
    return r;
}

void start_bits() {
    bit_reader = BitReader{0, 0, 0, 0, unpack.header.original_size};
    refill_bits(bit_reader);
}

void skip_bits(uint32_t n) { drop_bits(bit_reader, n); }

uint16_t read_bits(uint32_t n) { return uint16_t(take_bits(bit_reader, n)); }

void settle_bits() {
    BitReader& r = bit_reader;
    uint32_t extra = (r.count - LOOKAHEAD_BITS) / 8;
    // Zero bytes are the last ones fed; only real bytes go back.
    uint32_t zeros = extra < r.zeros_fed ? extra : r.zeros_fed;
    uint32_t real = extra - zeros;
    r.zeros_fed = uint16_t(r.zeros_fed - zeros);
    unpack.archive_stream.head -= real;
    unpack.header.compressed_size += real;
    r.count -= 8 * extra;
    r.bits &= ~(~uint64_t(0) >> r.count);
}
