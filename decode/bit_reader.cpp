#include "decode/bit_reader.h"

BitReader bit_reader;

void refill_bits_slow(BitReader& r) {
    ArchiveStream& s = unpack.archive_stream;
    uint32_t& left = unpack.header.compressed_size;
    while (r.count <= BIT_BUFFER_BITS - 8) {
        if (left == 0) {
            // Behind the entry's data: zero bytes, already zero below count.
            uint32_t bytes = (BIT_BUFFER_BITS - r.count) / 8;
            r.count += 8 * bytes;
            r.zeros_fed += bytes;
            return;
        }
        uint8_t byte;
        if (s.head < s.tail) {
            byte = s.buffer[s.head++];
        } else if (r.count < LOOKAHEAD_BITS) {
            // Needed now, so nothing is read ahead across this refill. A
            // failed read still counts the byte and stands as 0xFF.
            int got = archive_read_byte_slow();
            byte = got < 0 ? 0xFF : uint8_t(got);
        } else {
            return;
        }
        left--;
        r.bits |= uint64_t(byte) << (BIT_BUFFER_BITS - 8 - r.count);
        r.count += 8;
    }
}

void start_bits() {
    bit_reader = BitReader{0, 0, 0};
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
    r.zeros_fed -= zeros;
    unpack.archive_stream.head -= real;
    unpack.header.compressed_size += real;
    r.count -= 8 * extra;
    r.bits &= ~(~uint64_t(0) >> r.count);
}
