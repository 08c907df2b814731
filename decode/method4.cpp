// Method 4: literals and matches in fixed prefix codes of unary-counted
// width, no tables.
//
// The format reads its bits through a 16-bit register that is topped up
// from the bit input: when a single-bit take finds it empty, or an n-bit
// take finds fewer than n bits, it takes 16 - count bits at once. The bits
// come out in stream order either way, so this decoder reads them straight
// from the bit reader and only counts what the register would hold; the
// count matters for how far the bit input has been advanced, and so for
// where archive_stream stands after the entry.
#include "decode/method4.h"

#include "common/unpack_error.h"
#include "common/unpack_state.h"
#include "decode/decode_window.h"
#include "decode/decoders.h"

Method4Register method4_register;

// The register's count after `takes` single-bit takes.
static inline uint32_t after_single_bits(uint32_t count, uint32_t takes) {
    return takes <= count ? count - takes : REGISTER_BITS - (takes - count);
}

// The register's count after one n-bit take.
static inline uint32_t after_field(uint32_t count, uint32_t n) {
    return (count < n ? REGISTER_BITS : count) - n;
}

// Ones before the first zero among the next 16 bits, at most `limit`.
static inline uint32_t count_ones(const BitReader& r, uint32_t limit) {
    uint32_t inverted = ~(peek_bits(r, LOOKAHEAD_BITS) << LOOKAHEAD_BITS);  // never 0: the low half is ones
    uint32_t ones = uint32_t(__builtin_clz(inverted));
    return ones < limit ? ones : limit;
}

uint32_t read_length_code(BitReader& r, uint32_t& register_count) {
    uint32_t k = count_ones(r, LENGTH_PREFIX_MAX);
    uint32_t prefix = k < LENGTH_PREFIX_MAX ? k + 1 : k;  // no terminating zero after the last one
    register_count = after_single_bits(register_count, prefix);
    drop_bits(r, prefix);
    if (k == 0) return 0;
    register_count = after_field(register_count, k);
    return (1u << k) - 1 + take_bits(r, k);
}

uint32_t read_distance_code(BitReader& r, uint32_t& register_count) {
    uint32_t k = count_ones(r, DISTANCE_PREFIX_MAX);
    uint32_t prefix = k < DISTANCE_PREFIX_MAX ? k + 1 : k;
    register_count = after_single_bits(register_count, prefix);
    drop_bits(r, prefix);
    uint32_t n = DISTANCE_BASE_BITS + k;
    register_count = after_field(register_count, n);
    return (1u << n) - (1u << DISTANCE_BASE_BITS) + take_bits(r, n);
}

// Decodes items until the decoded count reaches original_size; a last match
// is produced whole. False after a failed flush.
//
// Contract: window holds WINDOW_SIZE bytes, *position < WINDOW_SIZE, r holds
// at least 16 bits. Every field read is at most 13 bits and every prefix at
// most 7, each consumed by drop_bits, which keeps 16 bits available. A
// distance code is at most 15871, below WINDOW_SIZE, so the source computed
// with one wrap lies inside the window; copy_match keeps both indexes there.
static bool decode_items(uint8_t* window, uint32_t* position, BitReader& r, uint32_t& register_count) {
    const uint32_t size = unpack.header.original_size;
    uint32_t pos = *position;
    uint32_t decoded = 0;
    bool ok = true;
    do {
        uint32_t code = read_length_code(r, register_count);
        if (code == 0) {
            register_count = after_field(register_count, LITERAL_BITS);
            window[pos++] = uint8_t(take_bits(r, LITERAL_BITS));
            decoded++;
            if (pos == WINDOW_SIZE) {
                if (!(ok = flush_window(window, WINDOW_SIZE))) break;
                pos = 0;
            }
            continue;
        }
        uint32_t length = code + MIN_MATCH_LENGTH - 1;
        decoded += length;
        uint32_t back = read_distance_code(r, register_count) + 1;
        uint32_t source = pos >= back ? pos - back : pos + WINDOW_SIZE - back;
        if (!(ok = copy_match(window, pos, source, length))) break;
    } while (decoded < size);
    *position = pos;
    return ok;
}

int decode_method4() {
    uint8_t* window = obtain_window();
    if (!window) return ERR_ALLOC_MEMORY;
    start_bits();
    uint32_t register_count = 0;
    uint32_t position = 0;
    bool ok = true;
    if (unpack.header.original_size != 0) {
        BitReader r = bit_reader;
        ok = decode_items(window, &position, r, register_count);
        bit_reader = r;
        if (ok && position != 0) ok = flush_window(window, position);
    }
    // The bits still in the register have left the bit input already.
    method4_register.register_count = uint16_t(register_count);
    method4_register.bit_register =
        uint16_t(register_count ? (lookahead() >> (REGISTER_BITS - register_count)) << (REGISTER_BITS - register_count) : 0);
    skip_bits(register_count);
    settle_bits();
    release_window(window);
    return ok ? 0 : ERR_WRITE_OUTPUT;
}
