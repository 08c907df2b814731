#include "decode/code_table.h"

#include "common/unpack_error.h"

CodeTables code_tables;

const CodeTable small_code = {code_tables.small_lengths, code_tables.small_table, SMALL_TABLE_BITS};
const CodeTable litlen_code = {code_tables.litlen_lengths, code_tables.litlen_table, LITLEN_TABLE_BITS};

int build_code_table(uint32_t alphabet_size, const uint16_t* lengths, uint32_t table_bits, uint16_t* table,
                     uint32_t table_entries) {
    uint16_t count[MAX_CODE_LENGTH + 1] = {};
    for (uint32_t s = 0; s < alphabet_size; s++) {
        if (lengths[s] > MAX_CODE_LENGTH) return ERR_BAD_HUFFMAN;
        if (lengths[s] != 0) count[lengths[s]]++;
    }
    // start[i]: the first code of length i, left-aligned in 16 bits. The
    // sum wraps modulo 65536, so a complete code ends at 0.
    uint16_t start[MAX_CODE_LENGTH + 2];
    uint16_t weight[MAX_CODE_LENGTH + 1];
    start[1] = 0;
    for (uint32_t i = 1; i <= MAX_CODE_LENGTH; i++)
        start[i + 1] = uint16_t(start[i] + (uint32_t(count[i]) << (MAX_CODE_LENGTH - i)));
    if (start[MAX_CODE_LENGTH + 1] != 0) return ERR_BAD_HUFFMAN;

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
            if (end > table_entries) return ERR_BAD_HUFFMAN;
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
                if (next_node >= TREE_NODES) return ERR_BAD_HUFFMAN;
                code_tables.zero_branch[next_node] = 0;
                code_tables.one_branch[next_node] = 0;
                *slot = uint16_t(next_node++);
            }
            uint32_t v = *slot;
            if (v >= TREE_NODES) return ERR_BAD_HUFFMAN;
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

uint32_t lookup_symbol(BitReader& r, const CodeTable& code, uint32_t alphabet_size) {
    uint32_t v = code.table[peek_bits(r, code.table_bits)];
    if (v >= alphabet_size) v = walk_code_tree(v, peek_bits(r, LOOKAHEAD_BITS), code.table_bits, alphabet_size);
    if (v < alphabet_size) drop_bits(r, code.lengths[v]);
    return v;
}
