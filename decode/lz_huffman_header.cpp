// The header of a methods 1-3 block, read from the bit input:
//
//   count:16             symbols in the block, 0 standing for 65536
//   length code          n:5, then n lengths: 0-6 as 3 bits, 7 and more as
//                        111, (length - 7) one bits and a zero bit; after
//                        the third length a 2-bit count of zero lengths
//                        follows. n = 0: a 5-bit value that every lookup
//                        gives without consuming bits.
//   literal/length code  n:9, then n symbols in the length code: 0 one zero
//                        length, 1 3 + 4 bits zero lengths, 2 20 + 9 bits
//                        zero lengths, 3-18 one length of 1-16. n = 0: a
//                        9-bit value, as above.
//   position code        like the length code, without the zero count.
//
// Beyond what a sound stream holds, a count past the alphabet, a length
// above 16 and a run past the last symbol are refused like a code that
// does not fill its space: the entry ends with "Bad Huffman code !" (268),
// or as damaged (267) when the refused description was read from bits
// beyond the entry's data.
#include "decode/lz_huffman.h"

LzHuffmanState lz_huffman;

// The single-value case: every lookup gives `value` without consuming bits.
static void fill_single_value(const CodeTable& code, uint32_t alphabet_size, uint32_t table_entries,
                              uint16_t value) {
    for (uint32_t s = 0; s < alphabet_size; s++) code.lengths[s] = 0;
    for (uint32_t i = 0; i < table_entries; i++) code.table[i] = value;
}

// A refused description stops where it is refused: nothing more of it is
// read and nothing is built.
int read_small_lengths(BitReader& r, uint32_t alphabet_size, uint32_t count_bits, int special_index) {
    uint32_t n = take_bits(r, count_bits);
    if (n == 0) {
        fill_single_value(small_code, alphabet_size, SMALL_TABLE_ENTRIES, uint16_t(take_bits(r, count_bits)));
        return 0;
    }
    if (n > LENGTH_CODE_SYMBOLS) return ERR_BAD_HUFFMAN;
    uint16_t* lengths = small_code.lengths;
    uint32_t i = 0;
    while (i < n) {
        uint32_t next16 = peek_bits(r, LOOKAHEAD_BITS);
        uint32_t c = next16 >> (LOOKAHEAD_BITS - SHORT_LENGTH_BITS);
        if (c == UNARY_LENGTH_START) {
            for (uint32_t mask = 1u << (LOOKAHEAD_BITS - 1 - SHORT_LENGTH_BITS); mask & next16; mask >>= 1) c++;
        }
        if (c > MAX_CODE_LENGTH) return ERR_BAD_HUFFMAN;
        drop_bits(r, c < UNARY_LENGTH_START ? SHORT_LENGTH_BITS : c - SHORT_LENGTH_BITS);
        lengths[i++] = uint16_t(c);
        if (int(i) == special_index) {
            uint32_t zeros = take_bits(r, SPECIAL_ZEROS_BITS);
            for (; zeros > 0 && i < LENGTH_CODE_SYMBOLS; zeros--) lengths[i++] = 0;
        }
    }
    for (; i < alphabet_size; i++) lengths[i] = 0;
    return build_code_table(alphabet_size, lengths, SMALL_TABLE_BITS, small_code.table, SMALL_TABLE_ENTRIES);
}

int read_litlen_lengths(BitReader& r) {
    uint32_t n = take_bits(r, LITLEN_COUNT_BITS);
    if (n == 0) {
        fill_single_value(litlen_code, LITLEN_SYMBOLS, LITLEN_TABLE_ENTRIES, uint16_t(take_bits(r, LITLEN_COUNT_BITS)));
        return 0;
    }
    if (n > LITLEN_SYMBOLS) return ERR_BAD_HUFFMAN;
    uint16_t* lengths = litlen_code.lengths;
    uint32_t i = 0;
    while (i < n) {
        uint32_t c = lookup_symbol(r, small_code, LENGTH_CODE_SYMBOLS);
        if (c >= LENGTH_CODE_SYMBOLS) return ERR_BAD_HUFFMAN;
        if (c > LENGTH_SYMBOL_OFFSET) {
            lengths[i++] = uint16_t(c - LENGTH_SYMBOL_OFFSET);
            continue;
        }
        uint32_t run = 1;
        if (c == 1) run = ZERO_RUN_SHORT_BASE + take_bits(r, ZERO_RUN_SHORT_BITS);
        if (c == 2) run = ZERO_RUN_LONG_BASE + take_bits(r, ZERO_RUN_LONG_BITS);
        if (i + run > LITLEN_SYMBOLS) return ERR_BAD_HUFFMAN;
        for (; run > 0; run--) lengths[i++] = 0;
    }
    for (; i < LITLEN_SYMBOLS; i++) lengths[i] = 0;
    return build_code_table(LITLEN_SYMBOLS, lengths, LITLEN_TABLE_BITS, litlen_code.table, LITLEN_TABLE_ENTRIES);
}

// The fast loop's lookups. Nothing changes the tables within a block, so a
// packed entry stays what table and lengths say.
static void pack_tables() {
    // Per table value: a symbol with its length folded in, or a node.
    // Tables hold symbols and node numbers below TREE_NODES, or a single
    // value of up to 9 bits.
    constexpr uint32_t TABLE_VALUES = 1024;
    static_assert(TREE_NODES <= TABLE_VALUES && (1u << LITLEN_COUNT_BITS) <= TABLE_VALUES);
    uint32_t packed[TABLE_VALUES];
    for (uint32_t v = 0; v < TABLE_VALUES; v++)
        packed[v] = v < LITLEN_SYMBOLS ? v << LITLEN_SYMBOL_SHIFT | code_tables.litlen_lengths[v] : LITLEN_SLOW;
    for (uint32_t i = 0; i < LITLEN_TABLE_ENTRIES; i++)
        lz_huffman.litlen_fast[i] = packed[code_tables.litlen_table[i] & (TABLE_VALUES - 1)];
    for (uint32_t i = 0; i < SMALL_TABLE_ENTRIES; i++) {
        uint32_t k = code_tables.small_table[i];
        if (k >= POSITION_FAST_SYMBOLS) {
            lz_huffman.position_fast[i] = POSITION_SLOW;
            continue;
        }
        uint32_t length = code_tables.small_lengths[k];
        uint32_t extra = k == 0 ? 0 : k - 1;
        uint32_t base = k == 0 ? 0 : 1u << (k - 1);
        lz_huffman.position_fast[i] = base << POSITION_BASE_SHIFT | length << POSITION_LENGTH_SHIFT | (length + extra);
    }
}

uint32_t read_block_header(BitReader& r) {
    uint32_t count = take_bits(r, BLOCK_COUNT_BITS);
    int result = read_small_lengths(r, LENGTH_CODE_SYMBOLS, SMALL_COUNT_BITS, LENGTH_CODE_SPECIAL_INDEX);
    if (result == 0) result = read_litlen_lengths(r);
    if (result == 0) result = read_small_lengths(r, POSITION_SYMBOLS, SMALL_COUNT_BITS, NO_SPECIAL_INDEX);
    if (result != 0) refuse_entry_code(r);
    pack_tables();
    return count == 0 ? BLOCK_SYMBOLS_MAX : count;
}
