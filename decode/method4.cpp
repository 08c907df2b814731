#include "decode/method4.h"

#include "common/unpack_error.h"
#include "decode/decode_entry.h"
#include "decode/decode_window.h"
#include "decode/decoders.h"

// The literals one refill holds at least: 56 bits, 6 literals' worth.
inline constexpr uint32_t FAST_LITERALS = REFILLED_BITS_MIN / LITERAL_ITEM_BITS;
// An iteration of the fast loop: up to FAST_LITERALS literals, then a
// match unless they were all literals.
inline constexpr uint32_t FAST_OUTPUT_MAX = FAST_LITERALS + MAX_MATCH_LENGTH;
// Two refills per iteration, each reading FAST_REFILL_BYTES and taking at
// most FAST_REFILL_BYTES - 1 of them.
inline constexpr uint32_t FAST_INPUT_BYTES = 2 * FAST_REFILL_BYTES;
static_assert(MATCH_BITS_MAX <= REFILLED_BITS_MIN);
static_assert(FAST_OUTPUT_MAX <= WINDOW_MARGIN - COPY_CHUNK);

// The first bit of each of the next FAST_LITERALS 9-bit items: the first
// one set tells how many items are literals. LITERALS_END stands where the
// item behind them starts, so that there is always one.
inline constexpr uint64_t LITERALS_END = uint64_t(1) << (BIT_BUFFER_BITS - 1 - FAST_LITERALS * LITERAL_ITEM_BITS);
constexpr uint64_t literal_prefixes() {
    uint64_t mask = 0;
    for (uint32_t i = 0; i < FAST_LITERALS; i++) mask |= uint64_t(1) << (BIT_BUFFER_BITS - 1 - i * LITERAL_ITEM_BITS);
    return mask;
}
inline constexpr uint64_t LITERAL_PREFIXES = literal_prefixes();

// The register's count after n literals (0 to FAST_LITERALS), by its count
// before.
struct LiteralRunRegister {
    uint8_t after[FAST_LITERALS + 1][REGISTER_BITS + 1];
};
constexpr LiteralRunRegister make_literal_run_register() {
    LiteralRunRegister t{};
    for (uint32_t count = 0; count <= REGISTER_BITS; count++) {
        uint32_t c = count;
        for (uint32_t n = 0; n <= FAST_LITERALS; n++) {
            t.after[n][count] = uint8_t(c);
            c = after_literal(c);
        }
    }
    return t;
}
inline constexpr LiteralRunRegister LITERAL_RUN_REGISTER = make_literal_run_register();

// Items while none needs a test of its own. An iteration takes the
// literals among the next FAST_LITERALS items and, unless they all were,
// the match that follows them, without a branch on the kind of item.
//
// Entry contract, which the loop condition keeps for every iteration: at
// least FAST_INPUT_BYTES taken bytes at r.next, so both refills read only
// the entry's own bytes and leave 56 bits or more: enough for the literals
// (9 bits each) and then for a match (MATCH_BITS_MAX); position < limit,
// where limit <= block_end and limit + FAST_OUTPUT_MAX <= (position +
// to_produce at the start), so the iteration ends inside the window's
// margin and never reaches original_size (no damage check). The literal
// bytes are stored for all FAST_LITERALS items, the ones that are not
// literals into bytes not produced yet. A distance reaches at most 15872
// bytes back, inside the history.
static void decode_fast(DecodeWindow& window, BitReader& reader, uint32_t& register_count, uint32_t& to_produce) {
    BitReader r = reader;  // in registers: the window's byte stores could alias the caller's copy
    uint32_t count = register_count;
    const uint8_t* const fast_end = r.end - FAST_INPUT_BYTES;
    uint8_t* const start = window.bytes + window.position;
    uint8_t* at = start;
    uint32_t room = window.block_end - window.position;
    uint8_t* const limit = start + (to_produce - FAST_OUTPUT_MAX < room ? to_produce - FAST_OUTPUT_MAX : room);
    while (at < limit && r.next <= fast_end) {
        refill_bits_fast(r);
        // The literals' bits end where the first prefix bit set is.
        uint32_t literal_bits = uint32_t(__builtin_clzll((r.bits & LITERAL_PREFIXES) | LITERALS_END));
        uint32_t literals = literal_bits / LITERAL_ITEM_BITS;
        for (uint32_t i = 0; i < FAST_LITERALS; i++)
            at[i] = uint8_t(r.bits >> (BIT_BUFFER_BITS - (i + 1) * LITERAL_ITEM_BITS));
        at += literals;
        drop_held_bits(r, literal_bits);
        count = LITERAL_RUN_REGISTER.after[literals][count];
        if (literals == FAST_LITERALS) continue;
        if (r.count < MATCH_BITS_MAX) refill_bits_fast(r);
        uint32_t length, back;
        read_match<true>(r, count, &length, &back);
        copy_match(at, back, length);
        at += length;
    }
    to_produce -= uint32_t(at - start);
    window.position += uint32_t(at - start);
    register_count = count;
    reader = r;
    // The careful path needs its 16 bits; they lie in the entry's data.
    if (reader.count < LOOKAHEAD_BITS) refill_bits(reader);
}

// One item with every test. Nothing of the item is stored when the entry
// ends inside it (damage, an item that used bits beyond the data), nor a
// match longer than what is left: nothing past original_size, and nothing
// decoded from bits the data does not hold, is ever produced.
//
// Contract: r holds at least 16 bits, position < block_end, to_produce > 0.
static void decode_careful(DecodeWindow& window, BitReader& r, uint32_t& register_count, uint32_t& to_produce) {
    if (peek_bits(r, 1) == 0) {
        register_count = after_literal(register_count);
        uint8_t byte = uint8_t(peek_bits(r, LITERAL_ITEM_BITS));
        drop_bits(r, LITERAL_ITEM_BITS);
        if (entry_ended(r)) return;
        window.bytes[window.position++] = byte;
        to_produce--;
        return;
    }
    uint32_t length, back;
    read_match<false>(r, register_count, &length, &back);
    if (entry_ended(r) || length > to_produce) return end_entry(r, ERR_BAD_CRC);
    copy_match(window.bytes + window.position, back, length);
    window.position += length;
    to_produce -= length;
}

// Decodes items until to_produce bytes are produced or the entry ends
// early. False after a failed flush.
static bool decode_items(DecodeWindow& window, BitReader& r, uint32_t to_produce) {
    uint32_t register_count = 0;
    for (;;) {
        if (to_produce > FAST_OUTPUT_MAX && taken_bytes_left(r) >= FAST_INPUT_BYTES)
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
