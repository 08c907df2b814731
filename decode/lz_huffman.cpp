// Methods 1-3: the items of each block are literal/length symbols; a
// symbol from 256 on is a match, followed by its position: a symbol k of
// the position code, then k - 1 extra bits, the value 2^(k-1) + extra (0
// for k = 0). A position value p names the byte p + 1 places back.
#include "decode/lz_huffman.h"

#include "common/unpack_error.h"
#include "decode/decode_entry.h"
#include "decode/decode_window.h"
#include "decode/decoders.h"

// An iteration of the fast loop: up to FAST_LITERALS literals, then the
// match that follows them, if the next symbol is one. A literal/length code
// takes at most 16 bits, so the literals fit what a refill leaves; a match
// (its code, the position code and up to 14 extra bits) gets a refill of
// its own when fewer bits are left.
inline constexpr uint32_t FAST_LITERALS = REFILLED_BITS_MIN / MAX_CODE_LENGTH;
inline constexpr uint32_t FAST_SYMBOLS = FAST_LITERALS + 1;
inline constexpr uint32_t MATCH_BITS_MAX = MAX_CODE_LENGTH + MAX_CODE_LENGTH + (POSITION_FAST_SYMBOLS - 2);
inline constexpr uint32_t FAST_OUTPUT_MAX = FAST_LITERALS + MAX_MATCH_LENGTH;
// Two refills, each reading FAST_REFILL_BYTES and taking fewer.
inline constexpr uint32_t FAST_INPUT_BYTES = 2 * FAST_REFILL_BYTES;
static_assert(MATCH_BITS_MAX <= REFILLED_BITS_MIN);
static_assert(FAST_OUTPUT_MAX <= WINDOW_MARGIN - COPY_CHUNK);
// Position values of the fast symbols (below 2^15) need at most one
// subtraction to be taken modulo WINDOW_SIZE.
static_assert((1u << (POSITION_FAST_SYMBOLS - 1)) <= 2 * WINDOW_SIZE);

// Items through the packed lookups while none needs a test of its own.
//
// Entry contract, which the loop condition keeps for every iteration: at
// least FAST_INPUT_BYTES taken bytes at r.next, so both refills read only
// the entry's own bytes and leave 56 bits or more; at < limit, where limit
// <= block_end and limit + FAST_OUTPUT_MAX <= (position + to_produce at the
// start), so the iteration ends inside the window's margin and never
// reaches original_size (no damage check); FAST_SYMBOLS symbols or more
// left in the block. A symbol whose code is not in the packed lookups (a
// tree walk, position symbol 16) is left, unread, to the careful path.
static void decode_fast(DecodeWindow& window, BitReader& reader, uint32_t& block_left, uint32_t& to_produce) {
    BitReader r = reader;  // in registers: the window's byte stores could alias the caller's copy
    const uint32_t* const litlen = lz_huffman.litlen_fast;
    const uint32_t* const positions = lz_huffman.position_fast;
    const uint8_t* const fast_end = r.end - FAST_INPUT_BYTES;
    uint8_t* const start = window.bytes + window.position;
    uint8_t* at = start;
    uint32_t room = window.block_end - window.position;
    uint8_t* const limit = start + (to_produce - FAST_OUTPUT_MAX < room ? to_produce - FAST_OUTPUT_MAX : room);
    uint32_t left = block_left;
    // Stores the literal `entry` holds and looks up the next symbol.
    auto take_literal = [&](uint32_t entry) {
        drop_held_bits(r, entry & LITLEN_LENGTH_MASK);
        *at++ = uint8_t(entry >> LITLEN_SYMBOL_SHIFT);
        left--;
        return litlen[peek_bits(r, LITLEN_TABLE_BITS)];
    };
    while (at < limit && left >= FAST_SYMBOLS && r.next <= fast_end) {
        refill_bits_fast(r);
        uint32_t entry = litlen[peek_bits(r, LITLEN_TABLE_BITS)];
        if (entry < LITLEN_FIRST_MATCH) {
            entry = take_literal(entry);
            if (entry < LITLEN_FIRST_MATCH) {
                entry = take_literal(entry);
                if (entry < LITLEN_FIRST_MATCH) {
                    take_literal(entry);
                    continue;
                }
            }
            if (r.count < MATCH_BITS_MAX) refill_bits_fast(r);
        }
        if (entry & LITLEN_SLOW) break;
        uint32_t code_length = entry & LITLEN_LENGTH_MASK;
        uint64_t after = r.bits << code_length;
        uint32_t place = positions[after >> (BIT_BUFFER_BITS - SMALL_TABLE_BITS)];
        if (place & POSITION_SLOW) break;
        uint32_t place_bits = place & POSITION_BITS_MASK;
        drop_held_bits(r, code_length);
        drop_held_bits(r, place_bits);
        // The extra bits follow the position code. Shifting by 1 and then
        // by 63 - extra bits gives 0 for none, and keeps every shift below
        // 64.
        uint32_t place_length = (place >> POSITION_LENGTH_SHIFT) & POSITION_LENGTH_MASK;
        uint32_t value = (place >> POSITION_BASE_SHIFT) +
                         uint32_t(((after << place_length) >> 1) >> (BIT_BUFFER_BITS - 1 - (place_bits - place_length)));
        if (value >= WINDOW_SIZE) value -= WINDOW_SIZE;
        left--;
        uint32_t length = (entry >> LITLEN_SYMBOL_SHIFT) - MATCH_LENGTH_OFFSET;
        copy_match(at, value + 1, length);
        at += length;
    }
    to_produce -= uint32_t(at - start);
    window.position += uint32_t(at - start);
    block_left = left;
    reader = r;
    // The careful path needs its 16 bits; they lie in the entry's data.
    if (reader.count < LOOKAHEAD_BITS) refill_bits(reader);
}

// One item with every test: a block header where a block ends, tree walks,
// the damage checks. Nothing of the item is stored when the entry ends
// inside it (a refused code, damage, an item that used bits beyond the
// data), nor a match longer than what is left: nothing past original_size,
// and nothing decoded from bits the data does not hold, is ever produced.
//
// Contract: r holds at least 16 bits, position < block_end, to_produce > 0.
static void decode_careful(DecodeWindow& window, BitReader& r, uint32_t& block_left, uint32_t& to_produce) {
    if (block_left == 0) {
        block_left = read_block_header(r);
        if (r.ended != 0) return;
    }
    block_left--;
    uint32_t symbol = lookup_symbol(r, litlen_code, LITLEN_SYMBOLS);
    if (symbol >= LITLEN_SYMBOLS) return refuse_entry_code(r);
    if (symbol < LITERAL_SYMBOLS) {
        if (entry_ended(r)) return;
        window.bytes[window.position++] = uint8_t(symbol);
        to_produce--;
        return;
    }
    uint32_t length = symbol - MATCH_LENGTH_OFFSET;
    uint32_t k = lookup_symbol(r, small_code, POSITION_SYMBOLS);
    if (k >= POSITION_SYMBOLS) return refuse_entry_code(r);
    uint32_t value = k == 0 ? 0 : (1u << (k - 1)) + take_bits(r, k - 1);
    if (entry_ended(r) || length > to_produce) return end_entry(r, ERR_BAD_CRC);
    // Values from WINDOW_SIZE up name no byte of the window; they are taken
    // modulo WINDOW_SIZE, which keeps the source inside it and changes
    // nothing for the values that do name a byte.
    copy_match(window.bytes + window.position, value % WINDOW_SIZE + 1, length);
    window.position += length;
    to_produce -= length;
}

// Decodes items until to_produce bytes are produced or the entry ends
// early. False after a failed flush.
static bool decode_items(DecodeWindow& window, BitReader& r, uint32_t to_produce) {
    uint32_t block_left = 0;  // symbols of the current block still to come; 0: a block header is next
    for (;;) {
        if (to_produce > FAST_OUTPUT_MAX && taken_bytes_left(r) >= FAST_INPUT_BYTES)
            decode_fast(window, r, block_left, to_produce);
        if (window.position < window.block_end) decode_careful(window, r, block_left, to_produce);
        if (window.position >= window.block_end && !flush_block(window)) return false;
        if (r.ended != 0 || to_produce == 0) return true;
    }
}

int decode_lz_huffman() { return decode_entry(decode_items); }
