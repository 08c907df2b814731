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

// Decodes items until original_size bytes are produced (r.to_produce
// counts down to 0), or until the entry ends early. False after a failed
// flush.
//
// Contract: window holds WINDOW_SIZE bytes, *position < WINDOW_SIZE, r holds
// at least 16 bits. Every field read is at most 13 bits and every prefix at
// most 7, each consumed by drop_bits, which keeps 16 bits available. A
// distance code is at most 15871, below WINDOW_SIZE, so the source computed
// with one wrap lies inside the window; copy_match keeps both indexes there.
// Only the reader's refill ends the entry early (past the data, or a file
// that ends): end_entry leaves one byte to produce, so the item at hand is
// the last. A match longer than what is left is not copied (damage):
// nothing past original_size is ever produced.
static bool decode_items(uint8_t* window, uint32_t* position, BitReader& r, uint32_t& register_count) {
    uint32_t pos = *position;
    bool ok = true;
    do {
        if (peek_bits(r, 1) == 0) {
            // A literal: the 0 prefix and 8 bits, in one step.
            register_count = after_field(after_single_bits(register_count, 1), LITERAL_BITS);
            window[pos++] = uint8_t(peek_bits(r, 1 + LITERAL_BITS));
            drop_bits(r, 1 + LITERAL_BITS);
            r.to_produce--;
            if (pos == WINDOW_SIZE) {
                if (!(ok = flush_window(window, WINDOW_SIZE))) break;
                pos = 0;
            }
            continue;
        }
        uint32_t length = read_length_code(r, register_count) + MIN_MATCH_LENGTH - 1;
        uint32_t back = read_distance_code(r, register_count) + 1;
        if (__builtin_expect(length > r.to_produce, 0)) {
            end_entry(r, ERR_BAD_CRC);
            break;
        }
        r.to_produce -= length;
        uint32_t source = pos >= back ? pos - back : pos + WINDOW_SIZE - back;
        if (!(ok = copy_match(window, pos, source, length))) break;
    } while (r.to_produce != 0);
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
    }
    // The bits still in the register have left the bit input already.
    method4_register.register_count = uint16_t(register_count);
    method4_register.bit_register =
        uint16_t(register_count ? (lookahead() >> (REGISTER_BITS - register_count)) << (REGISTER_BITS - register_count) : 0);
    skip_bits(register_count);
    settle_bits();
    int result = finish_window(window, position, ok);
    release_window(window);
    return result;
}
