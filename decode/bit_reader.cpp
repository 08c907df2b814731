#include "decode/bit_reader.h"

#include "common/archive_stream.h"

// Behind the entry's data: zero bytes (the bits below count are zero, as
// every byte of the data is in already), at most TRAILING_BYTES_MAX of
// them while the stream is sound.
static void feed_zero_bytes(BitReader& r) {
    uint32_t room = (BIT_BUFFER_BITS - 1 - r.count) / 8;
    uint32_t fed = r.zero_bits / 8;
    uint32_t allowed = fed < TRAILING_BYTES_MAX ? TRAILING_BYTES_MAX - fed : 0;
    if (r.count + 8 * allowed < LOOKAHEAD_BITS) {
        // The lookahead would need more than a well-formed stream ever does.
        end_entry(r, ERR_BAD_CRC);
        allowed = room;
    }
    uint32_t bytes = room < allowed ? room : allowed;
    r.count += 8 * bytes;
    r.zero_bits += 8 * bytes;
}

void refill_bits(BitReader& r) {
    while (r.count < REFILLED_BITS_MIN) {
        if (r.next == r.end) {
            // Read ahead only what the buffer holds: the file is read when
            // the lookahead needs a byte, never earlier.
            if (r.count >= LOOKAHEAD_BITS) return;
            if (r.left == 0) return feed_zero_bytes(r);
            const uint8_t* taken;
            size_t got = archive_take_buffered(r.left, &taken);
            if (got == 0) {
                // The file ends inside the entry's data: nothing more is
                // read, one failed read is all it costs.
                r.left = 0;
                end_entry(r, ERR_BAD_CRC);
                continue;
            }
            r.next = taken;
            r.end = taken + got;
            r.left -= uint32_t(got);
        }
        r.bits |= uint64_t(*r.next++) << (BIT_BUFFER_BITS - 8 - r.count);
        r.count += 8;
    }
}

void start_bits(BitReader& r, uint32_t compressed_size) {
    r = BitReader{0, 0, compressed_size, nullptr, nullptr, 0, 0};
    refill_bits(r);
}
