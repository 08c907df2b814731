#include "encode/lz_huffman_block.h"

#include <cstring>

#include "encode/code_lengths.h"

namespace {

// A literal/length length as the length code writes it: a symbol and,
// for the zero runs, extra bits.
struct LengthToken {
    uint8_t symbol;   // a ZERO_RUN_*_SYMBOL, or a length + LENGTH_SYMBOL_OFFSET
    uint16_t extra;
};

struct Plan {
    uint32_t litlen_freq[LITLEN_SYMBOLS];
    uint32_t position_freq[POSITION_SYMBOLS];
    uint8_t litlen_len[LITLEN_SYMBOLS];
    uint8_t position_len[POSITION_SYMBOLS];
    uint32_t litlen_used, position_used;
    uint32_t litlen_count;  // lengths written: up to the last nonzero one
    LengthToken tokens[LITLEN_SYMBOLS];
    uint32_t token_count;
    uint32_t token_freq[LENGTH_CODE_SYMBOLS];
    uint8_t token_len[LENGTH_CODE_SYMBOLS];
    uint32_t token_used;
};

void tokenize(Plan& p) {
    p.litlen_count = LITLEN_SYMBOLS;
    while (p.litlen_count > 0 && p.litlen_len[p.litlen_count - 1] == 0) p.litlen_count--;
    p.token_count = 0;
    memset(p.token_freq, 0, sizeof p.token_freq);
    auto add = [&](uint8_t symbol, uint16_t extra) {
        p.tokens[p.token_count++] = {symbol, extra};
        p.token_freq[symbol]++;
    };
    for (uint32_t i = 0; i < p.litlen_count;) {
        if (p.litlen_len[i]) {
            add(uint8_t(p.litlen_len[i] + LENGTH_SYMBOL_OFFSET), 0);
            i++;
            continue;
        }
        uint32_t run = 0;
        while (i + run < p.litlen_count && p.litlen_len[i + run] == 0) run++;
        i += run;
        while (run > 0) {
            if (run >= ZERO_RUN_LONG_BASE) {
                uint32_t take = run > ZERO_RUN_LONG_MAX ? ZERO_RUN_LONG_MAX : run;
                add(ZERO_RUN_LONG_SYMBOL, uint16_t(take - ZERO_RUN_LONG_BASE));
                run -= take;
            } else if (run >= ZERO_RUN_SHORT_BASE) {
                uint32_t take = run > ZERO_RUN_SHORT_MAX ? ZERO_RUN_SHORT_MAX : run;
                add(ZERO_RUN_SHORT_SYMBOL, uint16_t(take - ZERO_RUN_SHORT_BASE));
                run -= take;
            } else {
                add(ZERO_RUN_ONE_SYMBOL, 0);
                run--;
            }
        }
    }
    p.token_used = limited_code_lengths(p.token_freq, LENGTH_CODE_SYMBOLS, MAX_CODE_LENGTH, p.token_len);
}

void plan_counts(Plan& p) {
    p.litlen_used = limited_code_lengths(p.litlen_freq, LITLEN_SYMBOLS, MAX_CODE_LENGTH, p.litlen_len);
    p.position_used = limited_code_lengths(p.position_freq, POSITION_SYMBOLS, MAX_CODE_LENGTH, p.position_len);
    if (p.litlen_used >= 2) {
        tokenize(p);
    } else {
        p.token_count = 0;
        p.token_used = 0;
    }
}

void plan_block(const SymbolCounts& counts, Plan& p) {
    memcpy(p.litlen_freq, counts.litlen, sizeof p.litlen_freq);
    memcpy(p.position_freq, counts.position, sizeof p.position_freq);
    plan_counts(p);
}

// Bits of a small code's lengths as read_small_lengths reads them.
uint32_t small_lengths_bits(const uint8_t* lengths, uint32_t alphabet, int special_index) {
    uint32_t n = alphabet;
    while (n > 0 && lengths[n - 1] == 0) n--;
    uint32_t bits = SMALL_COUNT_BITS;
    for (uint32_t i = 0; i < n;) {
        bits += lengths[i] < UNARY_LENGTH_START ? SHORT_LENGTH_BITS : lengths[i] - SHORT_LENGTH_BITS;
        i++;
        if (int(i) == special_index) {
            bits += SPECIAL_ZEROS_BITS;
            while (i < n && i < uint32_t(special_index) + SPECIAL_ZEROS_MAX && lengths[i] == 0) i++;
        }
    }
    return bits;
}

void write_small_lengths(BitOutput& out, const uint8_t* lengths, uint32_t alphabet, int special_index) {
    uint32_t n = alphabet;
    while (n > 0 && lengths[n - 1] == 0) n--;
    out.put(n, SMALL_COUNT_BITS);
    for (uint32_t i = 0; i < n;) {
        uint32_t c = lengths[i];
        if (c < UNARY_LENGTH_START) {
            out.put(c, SHORT_LENGTH_BITS);
        } else {
            out.put(UNARY_LENGTH_START, SHORT_LENGTH_BITS);
            out.ones(c - UNARY_LENGTH_START);
            out.put(0, 1);
        }
        i++;
        if (int(i) == special_index) {
            uint32_t zeros = 0;
            while (i + zeros < n && zeros < SPECIAL_ZEROS_MAX && lengths[i + zeros] == 0) zeros++;
            out.put(zeros, SPECIAL_ZEROS_BITS);
            i += zeros;
        }
    }
}

uint32_t single_value(const uint32_t* freq, uint32_t alphabet) {
    for (uint32_t s = 0; s < alphabet; s++)
        if (freq[s]) return s;
    return 0;
}

// Per zero-run symbol: the bits of its run's length.
const uint32_t TOKEN_EXTRA_BITS[ZERO_RUN_LONG_SYMBOL + 1] = {0, ZERO_RUN_SHORT_BITS, ZERO_RUN_LONG_BITS};

uint64_t header_bits(const Plan& p) {
    uint64_t bits = BLOCK_COUNT_BITS;
    if (p.litlen_used < 2) {
        bits += 2 * SMALL_COUNT_BITS + 2 * LITLEN_COUNT_BITS;
    } else {
        bits += p.token_used < 2 ? 2 * SMALL_COUNT_BITS
                                 : small_lengths_bits(p.token_len, LENGTH_CODE_SYMBOLS, LENGTH_CODE_SPECIAL_INDEX);
        bits += LITLEN_COUNT_BITS;
        for (uint32_t t = 0; t < p.token_count; t++)
            bits += p.token_len[p.tokens[t].symbol] +
                    (p.tokens[t].symbol <= ZERO_RUN_LONG_SYMBOL ? TOKEN_EXTRA_BITS[p.tokens[t].symbol] : 0);
    }
    bits += p.position_used < 2 ? 2 * SMALL_COUNT_BITS
                                : small_lengths_bits(p.position_len, POSITION_SYMBOLS, NO_SPECIAL_INDEX);
    return bits;
}

}  // namespace

void count_symbols(const LzItem* items, size_t count, SymbolCounts& counts) {
    // Odd and even items in counts of their own: runs of one symbol then
    // wait on two counters, not one.
    SymbolCounts odd;
    memset(&counts, 0, sizeof counts);
    memset(&odd, 0, sizeof odd);
    auto add = [](SymbolCounts& to, const LzItem& item) {
        to.litlen[litlen_symbol(item)]++;
        if (item.length) to.position[position_symbol(item.value)]++;
    };
    size_t i = 0;
    for (; i + 1 < count; i += 2) {
        add(counts, items[i]);
        add(odd, items[i + 1]);
    }
    if (i < count) add(counts, items[i]);
    add_counts(counts, odd);
}

void add_counts(SymbolCounts& to, const SymbolCounts& from) {
    for (uint32_t s = 0; s < LITLEN_SYMBOLS; s++) to.litlen[s] += from.litlen[s];
    for (uint32_t k = 0; k < POSITION_SYMBOLS; k++) to.position[k] += from.position[k];
}

uint64_t block_bits(const SymbolCounts& counts, BlockCodes* codes) {
    Plan p;
    plan_block(counts, p);
    uint64_t bits = header_bits(p);
    for (uint32_t s = 0; s < LITLEN_SYMBOLS; s++) bits += uint64_t(p.litlen_freq[s]) * p.litlen_len[s];
    for (uint32_t k = 0; k < POSITION_SYMBOLS; k++)
        bits += uint64_t(p.position_freq[k]) * (p.position_len[k] + position_extra_bits(k));
    if (codes) {
        memcpy(codes->litlen, p.litlen_len, sizeof codes->litlen);
        memcpy(codes->position, p.position_len, sizeof codes->position);
    }
    return bits;
}

void write_block(BitOutput& out, const LzItem* items, size_t count, const SymbolCounts& counts) {
    Plan p;
    plan_block(counts, p);
    out.put(uint32_t(count), BLOCK_COUNT_BITS);
    uint16_t litlen_code[LITLEN_SYMBOLS];
    if (p.litlen_used < 2) {
        // One symbol: every lookup gives it without reading a bit.
        out.put(0, SMALL_COUNT_BITS);
        out.put(0, SMALL_COUNT_BITS);
        out.put(0, LITLEN_COUNT_BITS);
        out.put(single_value(p.litlen_freq, LITLEN_SYMBOLS), LITLEN_COUNT_BITS);
    } else {
        uint16_t token_code[LENGTH_CODE_SYMBOLS];
        if (p.token_used < 2) {
            out.put(0, SMALL_COUNT_BITS);
            out.put(single_value(p.token_freq, LENGTH_CODE_SYMBOLS), SMALL_COUNT_BITS);
        } else {
            write_small_lengths(out, p.token_len, LENGTH_CODE_SYMBOLS, LENGTH_CODE_SPECIAL_INDEX);
            canonical_codes(p.token_len, LENGTH_CODE_SYMBOLS, token_code);
        }
        out.put(p.litlen_count, LITLEN_COUNT_BITS);
        for (uint32_t t = 0; t < p.token_count; t++) {
            uint32_t symbol = p.tokens[t].symbol;
            if (p.token_used >= 2) out.put(token_code[symbol], p.token_len[symbol]);
            if (symbol <= ZERO_RUN_LONG_SYMBOL) out.put(p.tokens[t].extra, TOKEN_EXTRA_BITS[symbol]);
        }
        canonical_codes(p.litlen_len, LITLEN_SYMBOLS, litlen_code);
    }
    uint16_t position_code[POSITION_SYMBOLS];
    if (p.position_used < 2) {
        out.put(0, SMALL_COUNT_BITS);
        out.put(single_value(p.position_freq, POSITION_SYMBOLS), SMALL_COUNT_BITS);
    } else {
        write_small_lengths(out, p.position_len, POSITION_SYMBOLS, NO_SPECIAL_INDEX);
        canonical_codes(p.position_len, POSITION_SYMBOLS, position_code);
    }
    // Items. A code of a single-value alphabet takes no bits; a position's
    // code and its extra bits go out as one field (at most 16 + 14 bits).
    if (p.litlen_used < 2) {
        memset(p.litlen_len, 0, sizeof p.litlen_len);
        memset(litlen_code, 0, sizeof litlen_code);
    }
    if (p.position_used < 2) {
        memset(p.position_len, 0, sizeof p.position_len);
        memset(position_code, 0, sizeof position_code);
    }
    for (size_t i = 0; i < count; i++) {
        const LzItem& item = items[i];
        const uint32_t s = litlen_symbol(item);
        out.put(litlen_code[s], p.litlen_len[s]);
        if (!item.length) continue;
        const uint32_t k = position_symbol(item.value);
        const uint32_t extra = position_extra_bits(k);
        const uint32_t low = k > 1 ? item.value - (1u << extra) : 0;
        out.put(uint32_t(position_code[k]) << extra | low, p.position_len[k] + extra);
    }
}
