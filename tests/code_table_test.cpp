// Code tables: building from lengths, reading the code descriptions, and the
// refusals that keep a corrupt description inside the arrays.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "decode/code_table.h"
#include "decode/lz_huffman.h"
#include "tests/support/double_fixture.h"
#include "tests/support/lzh_writer.h"

namespace {

class CodeTableTest : public DoubleTest {
public:
    BitReader r{};
    uint32_t entry_size = 0;

    // Makes `bits` (padded with 64 zero bits) the entry and starts the reader.
    void start(BitWriter bits) {
        bits.put(0, 32);
        bits.put(0, 32);
        open_archive(bits.bytes);
        entry_size = uint32_t(bits.bytes.size());
        start_bits(r, entry_size);
    }
    // Bits consumed since start(): the bytes taken, less those not yet in
    // the reader's bits, less the bits it holds.
    uint64_t consumed() const {
        uint64_t taken = entry_size - r.left - uint64_t(r.end - r.next) + r.zero_bits / 8;
        return taken * 8 - r.count;
    }
    Lengths small(std::initializer_list<std::pair<int, int>> symbol_lengths, size_t size = 19) {
        Lengths lengths(size, 0);
        for (auto [s, l] : symbol_lengths) lengths[size_t(s)] = uint16_t(l);
        return lengths;
    }
    int build_small(const Lengths& lengths) {
        std::copy(lengths.begin(), lengths.end(), code_tables.small_lengths);
        return build_code_table(uint32_t(lengths.size()), code_tables.small_lengths, SMALL_TABLE_BITS,
                                code_tables.small_table, SMALL_TABLE_ENTRIES);
    }
};

TEST_F(CodeTableTest, BuildFillsHalvesAndChecksTheCodeSpace) {
    ASSERT_EQ(build_small(small({{3, 1}, {5, 1}})), 0);
    EXPECT_EQ(code_tables.small_table[0], 3);
    EXPECT_EQ(code_tables.small_table[127], 3);
    EXPECT_EQ(code_tables.small_table[128], 5);
    EXPECT_EQ(code_tables.small_table[255], 5);
    EXPECT_TRUE(messages().empty());

    // All lengths 0: both checks pass and the table stays as it was.
    std::fill(std::begin(code_tables.small_table), std::end(code_tables.small_table), 0xAB);
    EXPECT_EQ(build_small(small({})), 0);
    EXPECT_TRUE(std::all_of(std::begin(code_tables.small_table), std::end(code_tables.small_table),
                            [](uint16_t v) { return v == 0xAB; }));

    EXPECT_EQ(build_small(small({{0, 1}})), ERR_BAD_HUFFMAN) << "falls short of the code space";
    EXPECT_EQ(build_small(small({{0, 1}, {1, 1}, {2, 1}})), ERR_BAD_HUFFMAN) << "sum not a multiple of 65536";

    // Four of length 1 wrap to 0 and pass the sum; the third overruns the table.
    std::fill(std::begin(code_tables.small_table), std::end(code_tables.small_table), 0xAB);
    EXPECT_EQ(build_small(small({{0, 1}, {1, 1}, {2, 1}, {3, 1}})), ERR_BAD_HUFFMAN);
    EXPECT_EQ(code_tables.small_table[0], 0);
    EXPECT_EQ(code_tables.small_table[255], 1);

    // Tree nodes are numbered from the alphabet size up to TREE_NODES: a
    // complete code whose tree needs more than that is refused before a
    // node past the arrays is written. (No description of the decoders'
    // own alphabets has been found that needs more nodes than they leave:
    // the guard is reached here through a larger alphabet.)
    Lengths crowded(TREE_NODES - 4, 0);
    for (uint16_t s = 0; s < 12; s++) crowded[s] = uint16_t(s + 1);  // half, quarter, ... 16/65536 left
    for (uint16_t s = 12; s < 28; s++) crowded[s] = 16;               // which 16 codes of 16 bits fill
    uint16_t table[SMALL_TABLE_ENTRIES];
    EXPECT_EQ(build_code_table(uint32_t(crowded.size()), crowded.data(), SMALL_TABLE_BITS, table, SMALL_TABLE_ENTRIES),
              ERR_BAD_HUFFMAN);
    EXPECT_TRUE(messages().empty()) << "the decoder shows the entry's one box";
}

// Random complete codes up to 16 bits, longer than both tables: every
// symbol's canonical code decodes to it and consumes exactly its length.
TEST_F(CodeTableTest, CanonicalCodesDecodeThroughTableAndTree) {
    std::mt19937 random(11);
    for (int round = 0; round < 40; round++) {
        bool litlen = round % 2 == 1;
        size_t alphabet = litlen ? LITLEN_SYMBOLS : (round % 4 == 0 ? LENGTH_CODE_SYMBOLS : POSITION_SYMBOLS);
        size_t used = 2 + random() % (alphabet - 1);
        std::vector<uint16_t> symbols(alphabet);
        for (size_t s = 0; s < alphabet; s++) symbols[s] = uint16_t(s);
        std::shuffle(symbols.begin(), symbols.end(), random);
        symbols.resize(used);
        Lengths lengths = random_complete_lengths(alphabet, symbols, uint32_t(round));

        const CodeTable& code = litlen ? litlen_code : small_code;
        std::copy(lengths.begin(), lengths.end(), code.lengths);
        uint32_t bits = litlen ? LITLEN_TABLE_BITS : SMALL_TABLE_BITS;
        ASSERT_EQ(build_code_table(uint32_t(alphabet), code.lengths, bits, code.table, 1u << bits), 0);

        std::vector<uint32_t> codes = canonical_codes(lengths);
        BitWriter stream;
        std::vector<size_t> order;
        for (size_t s = 0; s < alphabet; s++)
            if (lengths[s]) {
                stream.put(codes[s], lengths[s]);
                order.push_back(s);
            }
        start(stream);
        uint64_t expected_bits = 0;
        for (size_t s : order) {
            ASSERT_EQ(lookup_symbol(r, code, uint32_t(alphabet)), s) << "round " << round;
            expected_bits += lengths[s];
        }
        EXPECT_EQ(consumed(), expected_bits);
    }
    EXPECT_TRUE(messages().empty());
}

TEST_F(CodeTableTest, SmallLengthsSingleValueAndZeroRun) {
    BitWriter single;
    single.put(0, 5);
    single.put(7, 5);
    single.put(0x5A5A, 16);
    start(single);
    read_small_lengths(r, POSITION_SYMBOLS, SMALL_COUNT_BITS, NO_SPECIAL_INDEX);
    for (int i = 0; i < 3; i++) EXPECT_EQ(lookup_symbol(r, small_code, POSITION_SYMBOLS), 7);
    EXPECT_EQ(consumed(), 10u) << "lookups in a single-value table consume nothing";

    // The 2-bit zero run follows the third length, also when the count is 3.
    BitWriter three;
    three.put(3, 5);
    three.put(1, 3);
    three.put(2, 3);
    three.put(2, 3);
    three.put(3, 2);  // three zero lengths
    start(three);
    read_small_lengths(r, LENGTH_CODE_SYMBOLS, SMALL_COUNT_BITS, LENGTH_CODE_SPECIAL_INDEX);
    EXPECT_EQ(consumed(), 5u + 9u + 2u);
    EXPECT_EQ(code_tables.small_lengths[0], 1);
    EXPECT_EQ(code_tables.small_lengths[2], 2);
    EXPECT_EQ(code_tables.small_lengths[5], 0);

    BitWriter two;
    two.put(2, 5);
    two.put(1, 3);
    two.put(1, 3);
    start(two);
    read_small_lengths(r, LENGTH_CODE_SYMBOLS, SMALL_COUNT_BITS, LENGTH_CODE_SPECIAL_INDEX);
    EXPECT_EQ(consumed(), 11u) << "no zero run below three lengths";
    EXPECT_TRUE(messages().empty());
}

TEST_F(CodeTableTest, LongSmallLengthsAreUnary) {
    // Lengths 7 (1110) and 9 (111110) plus filler that completes the code:
    // 1, 2, 3, 4, 5, 6, 7, 9, 9, 8 sums to 65536.
    Lengths lengths = small({{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 7}, {7, 9}, {8, 9}, {9, 8}}, 17);
    BitWriter stream;
    write_small_lengths(stream, Lengths(lengths.begin(), lengths.begin() + 10), false);
    start(stream);
    read_small_lengths(r, POSITION_SYMBOLS, SMALL_COUNT_BITS, NO_SPECIAL_INDEX);
    EXPECT_EQ(consumed(), 5u + 6 * 3 + 4 + 6 + 6 + 5);
    EXPECT_TRUE(std::equal(lengths.begin(), lengths.end(), code_tables.small_lengths));
    EXPECT_TRUE(messages().empty());
}

TEST_F(CodeTableTest, SmallLengthsBeyondTheArraysAreRefused) {
    BitWriter too_many;
    too_many.put(20, 5);
    start(too_many);
    EXPECT_EQ(read_small_lengths(r, LENGTH_CODE_SYMBOLS, SMALL_COUNT_BITS, LENGTH_CODE_SPECIAL_INDEX), ERR_BAD_HUFFMAN);
    EXPECT_EQ(consumed(), 5u);

    // 111 and thirteen ones would be a length of 20: refused before its
    // bits are skipped.
    BitWriter too_long;
    too_long.put(1, 5);
    too_long.put(7, 3);
    too_long.ones(13);
    start(too_long);
    EXPECT_EQ(read_small_lengths(r, POSITION_SYMBOLS, SMALL_COUNT_BITS, NO_SPECIAL_INDEX), ERR_BAD_HUFFMAN);
    EXPECT_EQ(consumed(), 5u);
}

TEST_F(CodeTableTest, LitlenLengthsZeroRunsAndSingleValue) {
    Lengths code = length_code_lengths();
    std::vector<uint32_t> codes = canonical_codes(code);
    auto prepare = [&](BitWriter& out) { write_small_lengths(out, code, true); };

    // Symbol 2 with 489: 509 zero lengths at once, then one length of 1.
    BitWriter run;
    prepare(run);
    run.put(510, 9);
    run.put(codes[2], code[2]);
    run.put(489, 9);
    run.put(codes[3], code[3]);
    start(run);
    read_small_lengths(r, LENGTH_CODE_SYMBOLS, SMALL_COUNT_BITS, LENGTH_CODE_SPECIAL_INDEX);
    EXPECT_EQ(read_litlen_lengths(r), ERR_BAD_HUFFMAN) << "a lone code of length 1 is incomplete";
    EXPECT_TRUE(std::all_of(code_tables.litlen_lengths, code_tables.litlen_lengths + 509,
                            [](uint16_t l) { return l == 0; }));
    EXPECT_EQ(code_tables.litlen_lengths[509], 1);

    BitWriter single;
    single.put(0, 9);
    single.put(300, 9);
    single.put(0xFFFF, 16);
    start(single);
    read_litlen_lengths(r);
    EXPECT_EQ(lookup_symbol(r, litlen_code, LITLEN_SYMBOLS), 300);
    EXPECT_EQ(lookup_symbol(r, litlen_code, LITLEN_SYMBOLS), 300);
    EXPECT_EQ(consumed(), 18u);
}

TEST_F(CodeTableTest, LitlenCountsAndRunsPastTheArrayAreRefused) {
    Lengths code = length_code_lengths();
    std::vector<uint32_t> codes = canonical_codes(code);

    BitWriter too_many;
    write_small_lengths(too_many, code, true);
    too_many.put(511, 9);
    start(too_many);
    read_small_lengths(r, LENGTH_CODE_SYMBOLS, SMALL_COUNT_BITS, LENGTH_CODE_SPECIAL_INDEX);
    uint64_t before = consumed();
    EXPECT_EQ(read_litlen_lengths(r), ERR_BAD_HUFFMAN);
    EXPECT_EQ(consumed(), before + 9);

    // Two lengths, then a run of 509 would end at symbol 510.
    BitWriter past;
    write_small_lengths(past, code, true);
    past.put(510, 9);
    past.put(codes[3], code[3]);
    past.put(codes[3], code[3]);
    past.put(codes[2], code[2]);
    past.put(489, 9);
    start(past);
    read_small_lengths(r, LENGTH_CODE_SYMBOLS, SMALL_COUNT_BITS, LENGTH_CODE_SPECIAL_INDEX);
    EXPECT_EQ(read_litlen_lengths(r), ERR_BAD_HUFFMAN);
}

// A sound table walks at most 16 - 8 steps; a walk that goes on (a chain
// or a cycle of nodes that an odd single value starts on) yields a value
// outside the alphabet and consumes nothing.
TEST_F(CodeTableTest, TreeWalksEndWithinTheLongestCode) {
    BitWriter single;
    single.put(0, 5);
    single.put(20, 5);
    start(single);
    ASSERT_EQ(read_small_lengths(r, POSITION_SYMBOLS, SMALL_COUNT_BITS, NO_SPECIAL_INDEX), 0);
    for (uint16_t node = 20; node < 27; node++) code_tables.zero_branch[node] = uint16_t(node + 1);
    code_tables.zero_branch[27] = 5;
    EXPECT_EQ(lookup_symbol(r, small_code, POSITION_SYMBOLS), 5);

    code_tables.zero_branch[27] = 28;
    code_tables.zero_branch[28] = 5;
    EXPECT_GE(lookup_symbol(r, small_code, POSITION_SYMBOLS), POSITION_SYMBOLS);
    code_tables.zero_branch[27] = 20;
    EXPECT_GE(lookup_symbol(r, small_code, POSITION_SYMBOLS), POSITION_SYMBOLS);
    EXPECT_EQ(consumed(), 10u);
    EXPECT_TRUE(messages().empty()) << "the decoder reports it";
}

}  // namespace
