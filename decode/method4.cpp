#include "decode/method4.h"

#include "common/unpack_error.h"
#include "decode/decode_entry.h"
#include "decode/decode_window.h"
#include "decode/decoders.h"

// The literals of one refill: at least 56 bits are held, 6 literals' worth.
inline constexpr uint32_t FAST_LITERALS_MIN = REFILLED_BITS_MIN / LITERAL_ITEM_BITS;
static_assert(MATCH_BITS_MAX <= REFILLED_BITS_MIN);
static_assert(FAST_LITERALS_MIN <= MAX_MATCH_LENGTH);

// The register's count after one literal: a single-bit take and an 8-bit
// take.
static inline uint32_t after_literal(uint32_t count) {
    return after_field(after_single_bits(count, 1), LITERAL_BITS);
}

// Items while none needs a test of its own.
//
// Entry contract, which the loop condition keeps for every item: at least
// FAST_REFILL_BYTES taken bytes at r.next, so the refill leaves 56 bits or
// more, all of them the entry's own: a match (MATCH_BITS_MAX) or up to
// FAST_LITERALS_MIN literals and more while 9 bits are held; position <
// limit, where limit <= block_end and limit + MAX_MATCH_LENGTH <=
// (position + to_produce at the start), so the item ends inside the
// window's margin and never reaches original_size (no damage check). A
// distance reaches at most 15872 bytes back, inside the history.
static void decode_fast(DecodeWindow& window, BitReader& reader, uint32_t& register_count, uint32_t& to_produce) {
    BitReader r = reader;  // in registers: the window's byte stores could alias the caller's copy
    uint32_t count = register_count;
    uint8_t* const bytes = window.bytes;
    const uint8_t* const fast_end = r.end - FAST_REFILL_BYTES;
    const uint32_t start = window.position;
    uint32_t position = start;
    uint32_t limit = window.block_end;
    if (to_produce - MAX_MATCH_LENGTH < limit - position) limit = position + to_produce - MAX_MATCH_LENGTH;
    while (position < limit && r.next <= fast_end) {
        refill_bits_fast(r);
        if (peek_bits(r, 1) == 0) {
            do {
                bytes[position++] = uint8_t(peek_bits(r, LITERAL_ITEM_BITS));
                drop_held_bits(r, LITERAL_ITEM_BITS);
                count = after_literal(count);
            } while (peek_bits(r, 1) == 0 && r.count >= LITERAL_ITEM_BITS);
            continue;
        }
        uint32_t length, back;
        read_match<true>(r, count, &length, &back);
        copy_match(bytes + position, back, length);
        position += length;
    }
    // The careful path needs its 16 bits; they lie in the entry's data.
    if (r.count < LOOKAHEAD_BITS) refill_bits(r);
    to_produce -= position - start;
    window.position = position;
    register_count = count;
    reader = r;
}

// One item with every test. The item at hand completes when the entry ends
// inside it (a literal is stored; a match is not copied, nor one longer
// than what is left: nothing past original_size is ever produced).
//
// Contract: r holds at least 16 bits, position < block_end, to_produce > 0.
static void decode_careful(DecodeWindow& window, BitReader& r, uint32_t& register_count, uint32_t& to_produce) {
    if (peek_bits(r, 1) == 0) {
        register_count = after_literal(register_count);
        window.bytes[window.position++] = uint8_t(peek_bits(r, LITERAL_ITEM_BITS));
        drop_bits(r, LITERAL_ITEM_BITS);
        to_produce--;
        return;
    }
    uint32_t length, back;
    read_match<false>(r, register_count, &length, &back);
    if (r.ended != 0 || length > to_produce) {
        end_entry(r, ERR_BAD_CRC);
        return;
    }
    copy_match(window.bytes + window.position, back, length);
    window.position += length;
    to_produce -= length;
}

// Decodes items until to_produce bytes are produced or the entry ends
// early. False after a failed flush.
static bool decode_items(DecodeWindow& window, BitReader& r, uint32_t to_produce) {
    uint32_t register_count = 0;
    for (;;) {
        if (to_produce > MAX_MATCH_LENGTH && taken_bytes_left(r) >= FAST_REFILL_BYTES)
            decode_fast(window, r, register_count, to_produce);
        if (window.position < window.block_end) decode_careful(window, r, register_count, to_produce);
        if (window.position >= window.block_end && !flush_block(window)) return false;
        if (r.ended != 0 || to_produce == 0) break;
    }
    // The bits still in the register have left the bit input already: they
    // count for the damage bound.
    drop_bits(r, register_count);
    return true;
}

int decode_method4() { return decode_entry(decode_items); }
