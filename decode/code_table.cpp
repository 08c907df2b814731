#include "decode/code_table.h"

#include "common/failure.h"
#include "common/unpack_error.h"

CodeTables code_tables;

const CodeTable small_code = {code_tables.small_lengths, code_tables.small_table, SMALL_TABLE_BITS};
const CodeTable litlen_code = {code_tables.litlen_lengths, code_tables.litlen_table, LITLEN_TABLE_BITS};

static int refuse_code() {
    show_failure(MSG_BAD_HUFFMAN);
    return ERR_BAD_HUFFMAN;
}

int build_code_table(uint32_t alphabet_size, const uint16_t* lengths, uint32_t table_bits, uint16_t* table,
                     uint32_t table_entries) {
    uint16_t count[MAX_CODE_LENGTH + 1] = {};
    for (uint32_t s = 0; s < alphabet_size; s++) {
        if (lengths[s] > MAX_CODE_LENGTH) return refuse_code();
        if (lengths[s] != 0) count[lengths[s]]++;
    }
    // start[i]: the first code of length i, left-aligned in 16 bits. The
    // sum wraps modulo 65536, so a complete code ends at 0.
    uint16_t start[MAX_CODE_LENGTH + 2];
    uint16_t weight[MAX_CODE_LENGTH + 1];
    start[1] = 0;
    for (uint32_t i = 1; i <= MAX_CODE_LENGTH; i++)
        start[i + 1] = uint16_t(start[i] + (uint32_t(count[i]) << (MAX_CODE_LENGTH - i)));
    if (start[MAX_CODE_LENGTH + 1] != 0) return refuse_code();

    uint32_t shift = MAX_CODE_LENGTH - table_bits;
    for (uint32_t i = 1; i <= table_bits; i++) {
        start[i] = uint16_t(start[i] >> shift);
        weight[i] = uint16_t(1u << (table_bits - i));
    }
    for (uint32_t i = table_bits + 1; i <= MAX_CODE_LENGTH; i++) weight[i] = uint16_t(1u << (MAX_CODE_LENGTH - i));

    // The roots of the long codes start out empty.
    uint32_t first_long = uint32_t(start[table_bits + 1] >> shift);
    if (first_long != 0)
        for (uint32_t i = first_long; i < table_entries; i++) table[i] = 0;

    uint32_t next_node = alphabet_size;
    uint32_t mask = 1u << (MAX_CODE_LENGTH - 1 - table_bits);
    for (uint32_t s = 0; s < alphabet_size; s++) {
        uint32_t length = lengths[s];
        if (length == 0) continue;
        if (length <= table_bits) {
            uint32_t end = uint32_t(start[length]) + weight[length];
            if (end > table_entries) return refuse_code();
            for (uint32_t i = start[length]; i < end; i++) table[i] = uint16_t(s);
            start[length] = uint16_t(end);
            continue;
        }
        // A long code: its first table_bits bits pick the root slot, the
        // rest walk down the tree, growing it where a slot is empty (0,
        // which is also symbol 0's number).
        uint16_t code = start[length];
        uint16_t* slot = &table[code >> shift];
        for (uint32_t depth = table_bits; depth < length; depth++) {
            if (*slot == 0) {
                if (next_node >= TREE_NODES) return refuse_code();
                code_tables.zero_branch[next_node] = 0;
                code_tables.one_branch[next_node] = 0;
                *slot = uint16_t(next_node++);
            }
            uint32_t v = *slot;
            if (v >= TREE_NODES) return refuse_code();
            slot = (code & mask) ? &code_tables.one_branch[v] : &code_tables.zero_branch[v];
            code = uint16_t(code << 1);
        }
        *slot = uint16_t(s);
        start[length] = uint16_t(start[length] + weight[length]);
    }
    return 0;
}

uint32_t walk_code_tree(uint32_t v, uint32_t lookahead16, uint32_t table_bits, uint32_t alphabet_size) {
    for (uint32_t mask = 1u << (MAX_CODE_LENGTH - 1 - table_bits); mask != 0; mask >>= 1) {
        if (v >= TREE_NODES) break;
        v = (lookahead16 & mask) ? code_tables.one_branch[v] : code_tables.zero_branch[v];
        if (v < alphabet_size) return v;
    }
    return v < alphabet_size ? alphabet_size : v;
}

BitReader refuse_walk(BitReader r) {
    if (r.ended != ERR_BAD_HUFFMAN) show_failure(MSG_BAD_HUFFMAN);
    end_entry(r, ERR_BAD_HUFFMAN);
    return r;
}

uint16_t lookup_symbol(const CodeTable& code, uint32_t alphabet_size) {
    return uint16_t(lookup_symbol(bit_reader, code, alphabet_size));
}

// The single-value case: every lookup gives `value` without consuming bits.
static void fill_single_value(const CodeTable& code, uint32_t alphabet_size, uint32_t table_entries,
                              uint16_t value) {
    for (uint32_t s = 0; s < alphabet_size; s++) code.lengths[s] = 0;
    for (uint32_t i = 0; i < table_entries; i++) code.table[i] = value;
}

// A refused description stops where it is refused: nothing more of it is
// read and nothing is built.
int read_small_lengths(uint32_t alphabet_size, uint32_t count_bits, int special_index) {
    uint32_t n = read_bits(count_bits);
    if (n == 0) {
        fill_single_value(small_code, alphabet_size, SMALL_TABLE_ENTRIES, read_bits(count_bits));
        return 0;
    }
    if (n > LENGTH_CODE_SYMBOLS) return refuse_code();
    uint16_t* lengths = small_code.lengths;
    uint32_t i = 0;
    while (i < n) {
        uint32_t c = lookahead() >> (LOOKAHEAD_BITS - SHORT_LENGTH_BITS);
        if (c == UNARY_LENGTH_START) {
            for (uint32_t mask = 1u << (LOOKAHEAD_BITS - 1 - SHORT_LENGTH_BITS); mask & lookahead(); mask >>= 1) c++;
        }
        if (c > MAX_CODE_LENGTH) return refuse_code();
        skip_bits(c < UNARY_LENGTH_START ? SHORT_LENGTH_BITS : c - SHORT_LENGTH_BITS);
        lengths[i++] = uint16_t(c);
        if (int(i) == special_index) {
            uint32_t zeros = read_bits(SPECIAL_ZEROS_BITS);
            for (; zeros > 0 && i < LENGTH_CODE_SYMBOLS; zeros--) lengths[i++] = 0;
        }
    }
    for (; i < alphabet_size; i++) lengths[i] = 0;
    return build_code_table(alphabet_size, lengths, SMALL_TABLE_BITS, small_code.table, SMALL_TABLE_ENTRIES);
}

int read_litlen_lengths() {
    uint32_t n = read_bits(LITLEN_COUNT_BITS);
    if (n == 0) {
        fill_single_value(litlen_code, LITLEN_SYMBOLS, LITLEN_TABLE_ENTRIES, read_bits(LITLEN_COUNT_BITS));
        return 0;
    }
    if (n > LITLEN_SYMBOLS) return refuse_code();
    uint16_t* lengths = litlen_code.lengths;
    uint32_t i = 0;
    while (i < n) {
        uint32_t c = lookup_symbol(small_code, LENGTH_CODE_SYMBOLS);
        if (c >= LENGTH_CODE_SYMBOLS) return refuse_code();
        if (c > LENGTH_SYMBOL_OFFSET) {
            lengths[i++] = uint16_t(c - LENGTH_SYMBOL_OFFSET);
            continue;
        }
        uint32_t run = 1;
        if (c == 1) run = ZERO_RUN_SHORT_BASE + read_bits(ZERO_RUN_SHORT_BITS);
        if (c == 2) run = ZERO_RUN_LONG_BASE + read_bits(ZERO_RUN_LONG_BITS);
        if (i + run > LITLEN_SYMBOLS) return refuse_code();
        for (; run > 0; run--) lengths[i++] = 0;
    }
    for (; i < LITLEN_SYMBOLS; i++) lengths[i] = 0;
    return build_code_table(LITLEN_SYMBOLS, lengths, LITLEN_TABLE_BITS, litlen_code.table, LITLEN_TABLE_ENTRIES);
}
