// Methods 1-3 decoder on crafted streams: output, write requests, stream
// position and failures.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "decode/lz_huffman.h"
#include "tests/support/decoder_run.h"
#include "tests/support/lzh_writer.h"

namespace {

using Items = std::vector<LzhItem>;

// What the items produce: a match copies from position value + 1 bytes
// back, zero before the first byte, values past the window taken modulo it.
Bytes expected_output(const Items& items) {
    Bytes out;
    for (const LzhItem& item : items) {
        if (item.symbol < 256) {
            out.push_back(uint8_t(item.symbol));
            continue;
        }
        int64_t back = int64_t(item.position % WINDOW_SIZE) + 1;
        for (int i = 0; i < item.symbol - 253; i++) {
            int64_t from = int64_t(out.size()) - back;
            out.push_back(from >= 0 ? out[size_t(from)] : 0);
        }
    }
    return out;
}

Items literals(const Bytes& bytes) {
    Items items;
    for (uint8_t b : bytes) items.push_back(literal(b));
    return items;
}

class LzHuffmanTest : public DoubleTest {
public:
    // Decodes `items` in one block, original size = their output.
    DecoderRun decode(const Items& items, int64_t original_size = -1) {
        Bytes expected = expected_output(items);
        LzhBlock block;
        block.items = items;
        DecoderCase c;
        c.data = lzh_stream({block});
        c.original_size = original_size < 0 ? uint32_t(expected.size()) : uint32_t(original_size);
        c.after = {0x60, 0xEA};
        return run_decoder(*this, c);
    }
    // Decodes `data` as an entry of a million bytes that must end early
    // with `result` and its one box, having written nothing.
    void expect_ended(const Bytes& data, int result, const char* box, const char* why) {
        DecoderCase c;
        c.data = data;
        c.original_size = 1000000;
        DecoderRun run = run_decoder(*this, c);
        EXPECT_EQ(run.result, result) << why;
        EXPECT_EQ(run.messages, Texts({box})) << why;
        EXPECT_TRUE(run.writes.empty()) << why;
        EXPECT_EQ(run.heap_blocks, 0) << why;
    }
};

TEST_F(LzHuffmanTest, OriginalSizeZeroWritesNothing) {
    DecoderCase c;
    c.data = {1, 2, 3, 4};
    DecoderRun run = run_decoder(*this, c);
    EXPECT_EQ(run.result, 0);
    EXPECT_TRUE(run.writes.empty());
    EXPECT_EQ(run.heap_blocks, 0);
}

TEST_F(LzHuffmanTest, MatchesRepeatAndReachIntoTheZeroWindow) {
    DecoderRun run = decode({literal('A'), match(5, 0)});
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.output, to_bytes("AAAAAA"));
    EXPECT_EQ(run.writes, std::vector<size_t>({6}));
    EXPECT_EQ(run.crc, crc_of(run.output));

    run = decode({literal('x'), literal('y'), match(3, 1), match(6, 1000)});
    EXPECT_EQ(run.output, Bytes({'x', 'y', 'x', 'y', 'x', 0, 0, 0, 0, 0, 0}));
}

TEST_F(LzHuffmanTest, OutputLeavesInWholeWindowsAndOneFinalBlock) {
    Bytes data = random_bytes(WINDOW_SIZE + 1, 3);
    DecoderRun exact = decode(literals(Bytes(data.begin(), data.end() - 1)));
    EXPECT_EQ(exact.writes, std::vector<size_t>({WINDOW_SIZE}));
    DecoderRun one_more = decode(literals(data));
    EXPECT_EQ(one_more.writes, std::vector<size_t>({WINDOW_SIZE, 1}));
    EXPECT_EQ(one_more.output, data);
    EXPECT_EQ(one_more.crc, crc_of(data));
}

TEST_F(LzHuffmanTest, MatchesAcrossTheWindowEndAndAtItsFullReach) {
    Items items = literals(random_bytes(WINDOW_SIZE - 4, 5));
    items.push_back(match(10, 100));      // flushes in its middle
    items.push_back(match(5, 26623));     // the oldest byte, where it is about to be overwritten
    items.push_back(match(200, 26000));   // source wraps through the ring end
    items.push_back(match(7, 40000));     // names no byte: taken modulo the window
    items.push_back(match(9, 65535));
    DecoderRun run = decode(items);
    Bytes expected = expected_output(items);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.output, expected);
    EXPECT_EQ(run.writes, std::vector<size_t>({WINDOW_SIZE, expected.size() - WINDOW_SIZE}));
}

// A last match that would run past the original size is damage: none of
// it is written, nor the window's rest; full windows before it were.
TEST_F(LzHuffmanTest, MatchPastTheOriginalSizeEndsTheEntry) {
    DecoderRun run = decode({literal('q'), match(10, 0)}, 3);
    EXPECT_EQ(run.result, ERR_BAD_CRC);
    EXPECT_EQ(run.messages, Texts({"File has bad CRC !"}));
    EXPECT_TRUE(run.output.empty());

    Items items = literals(random_bytes(WINDOW_SIZE + 5, 8));
    items.push_back(match(10, 0));
    run = decode(items, WINDOW_SIZE + 7);
    EXPECT_EQ(run.result, ERR_BAD_CRC);
    EXPECT_EQ(run.writes, std::vector<size_t>({WINDOW_SIZE}));
}

TEST_F(LzHuffmanTest, BlockCountZeroMeans65536Symbols) {
    LzhBlock first;
    first.count = 0;
    Bytes data = random_bytes(65536, 9);
    first.items = literals(data);
    LzhBlock second;
    std::swap(second.litlen[0], second.litlen[200]);  // other codes: a misplaced block boundary shows
    second.items = literals(to_bytes("tail of it"));
    DecoderCase c;
    c.data = lzh_stream({first, second});
    c.original_size = 65536 + 10;
    DecoderRun run = run_decoder(*this, c);
    data.insert(data.end(), second.items.size(), 0);
    for (size_t i = 0; i < 10; i++) data[65536 + i] = uint8_t(second.items[i].symbol);
    EXPECT_EQ(run.output, data);
    EXPECT_TRUE(run.messages.empty());
}

// The stream ends where its last bit is used, in a byte padded with zero
// bits: the decoder needs nothing behind it, and bytes left over inside the
// entry change nothing.
TEST_F(LzHuffmanTest, DataEndingRightAfterTheLastBitUsed) {
    LzhBlock block;
    block.items = {literal('a'), match(4, 0), literal('b')};
    BitWriter bits;
    write_block(bits, block);
    DecoderCase c;
    c.data = bits.bytes;
    c.original_size = 6;
    c.after = {0x60, 0xEA, 0, 0};
    DecoderRun padded = run_decoder(*this, c);
    EXPECT_EQ(padded.result, 0);
    EXPECT_EQ(padded.output, to_bytes("aaaaab"));

    c.data.insert(c.data.end(), 20, 0x77);
    DecoderRun trailing = run_decoder(*this, c);
    EXPECT_EQ(trailing.result, 0);
    EXPECT_EQ(trailing.output, to_bytes("aaaaab"));
}

TEST_F(LzHuffmanTest, RandomItemsOverManyBlocks) {
    std::mt19937 random(21);
    std::vector<LzhBlock> blocks;
    Items all;
    size_t produced = 0;
    for (int b = 0; b < 12; b++) {
        LzhBlock block;
        if (b % 3 == 1) {
            // Codes up to 16 bits, through the tree, over the symbols in use.
            std::vector<uint16_t> used;
            for (uint16_t s = 0; s < 510; s++)
                if (s < 12 || s >= 256) used.push_back(s);
            block.litlen = random_complete_lengths(510, used, uint32_t(b));
            block.position = random_complete_lengths(17, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}, uint32_t(b));
        }
        size_t n = 1000 + random() % 20000;
        for (size_t i = 0; i < n; i++) {
            if (produced < 3 || random() % 2) {
                block.items.push_back(literal(uint8_t(random() % 12)));
                produced++;
            } else {
                uint32_t length = 3 + random() % 254;
                uint32_t position = random() % 4 ? random() % 64 : random() % 26624;
                block.items.push_back(match(length, position));
                produced += length;
            }
        }
        all.insert(all.end(), block.items.begin(), block.items.end());
        blocks.push_back(block);
    }
    DecoderCase c;
    c.data = lzh_stream(blocks);
    Bytes expected = expected_output(all);
    c.original_size = uint32_t(expected.size());
    DecoderRun run = run_decoder(*this, c);
    ASSERT_EQ(run.output.size(), expected.size());
    EXPECT_EQ(run.output, expected);
    EXPECT_TRUE(run.messages.empty());
}

// Malformed block headers: the first refused description shows its one
// box and ends the entry, nothing of it is written, and no table or tree
// is filled past its end. Each row writes a block header (and items the
// decoder never reaches).
TEST_F(LzHuffmanTest, MalformedBlockHeadersEndTheEntryWithOneBox) {
    const Lengths length_code = length_code_lengths();
    const std::vector<uint32_t> codes = canonical_codes(length_code);
    auto sound_length_code = [&](BitWriter& b) { write_small_lengths(b, length_code, true); };
    auto litlen = [&](BitWriter& b, const Lengths& lengths) { write_litlen_lengths(b, lengths, length_code); };
    auto with = [](Lengths lengths, std::initializer_list<std::pair<size_t, uint16_t>> changes) {
        for (auto [s, l] : changes) lengths[s] = l;
        return lengths;
    };
    struct Row {
        const char* why;
        std::function<void(BitWriter&)> write;  // everything after the block count
    };
    const Row rows[] = {
        {"length code: 20 lengths, one more than its alphabet", [&](BitWriter& b) { b.put(20, 5); }},
        {"length code: a length of 17", [&](BitWriter& b) { b.put(1, 5), b.put(7, 3), b.ones(10), b.put(0, 1); }},
        {"length code: 19 lengths of 4 over-fill the code space",
         [&](BitWriter& b) { write_small_lengths(b, Lengths(19, 4), true); }},
        {"literal/length: 511 lengths, one more than its alphabet",
         [&](BitWriter& b) { sound_length_code(b), b.put(511, 9); }},
        {"literal/length: a zero run from symbol 2 past symbol 509",
         [&](BitWriter& b) {
             sound_length_code(b), b.put(510, 9);
             b.put(codes[3], length_code[3]), b.put(codes[3], length_code[3]);
             b.put(codes[2], length_code[2]), b.put(489, 9);
         }},
        {"literal/length: one length missing, the code falls short",
         [&](BitWriter& b) { sound_length_code(b), litlen(b, with(default_litlen_lengths(), {{509, 0}})); }},
        {"literal/length: four codes of 1 bit wrap the sum to full; the third passes the table's end",
         [&](BitWriter& b) { sound_length_code(b), litlen(b, with(Lengths(510, 0), {{0, 1}, {1, 1}, {2, 1}, {3, 1}})); }},
        {"position code: a length of 20",
         [&](BitWriter& b) {
             sound_length_code(b), litlen(b, default_litlen_lengths());
             write_small_lengths(b, with(default_position_lengths(), {{0, 20}}), false);
         }},
        {"position code: one length missing, the code falls short",
         [&](BitWriter& b) {
             sound_length_code(b), litlen(b, default_litlen_lengths());
             write_small_lengths(b, with(default_position_lengths(), {{16, 0}}), false);
         }},
        {"a second block whose literal/length code over-fills, after a sound one",
         [&](BitWriter& b) {
             LzhBlock sound;
             sound.items = {literal('a'), literal('b'), match(3, 1)};
             sound.count = 3;
             write_small_lengths(b, length_code, true), litlen(b, sound.litlen);
             write_small_lengths(b, sound.position, false), write_items(b, sound);
             LzhBlock bad;
             bad.litlen[0] = 1;
             write_block(b, bad);
         }},
        {"a single literal/length value naming node 511, whose branches loop: the walk never ends",
         [&](BitWriter& b) {
             b.put(0, 5), b.put(0, 5), b.put(0, 9), b.put(511, 9), b.put(0, 5), b.put(0, 5);
             code_tables.zero_branch[511] = code_tables.one_branch[511] = 511;
         }},
    };
    for (const Row& row : rows) {
        BitWriter bits;
        bits.put(3, 16);
        row.write(bits);
        bits.put(0, 32);
        expect_ended(bits.bytes, ERR_BAD_HUFFMAN, "Bad Huffman code !", row.why);
    }
}

// Damage is damage whatever is being read: a block header read from bits
// beyond the data ends the entry with 267 and its one box, never "Bad
// Huffman code !", and nothing decoded from those bits is written (here
// matches of 256 bytes that take no bits, which would fill window after
// window).
TEST_F(LzHuffmanTest, BlockHeadersReadFromBeyondTheDataAreDamage) {
    const Lengths length_code = length_code_lengths();
    auto header_start = [&](BitWriter& b) {
        b.put(0xFFFF, 16);
        write_small_lengths(b, length_code, true);
    };
    struct Row {
        const char* why;
        std::function<void(BitWriter&)> write;  // the data, which ends there
    };
    const Row rows[] = {
        {"the data ends inside the literal/length lengths: zero bits leave the code short",
         [&](BitWriter& b) {
             header_start(b);
             BitWriter lengths;
             write_litlen_lengths(lengths, default_litlen_lengths(), length_code);
             for (uint64_t i = 0; i < lengths.bit_count / 2; i++)
                 b.put((lengths.bytes[i / 8] >> (7 - i % 8)) & 1, 1);
         }},
        {"the data ends before the position code: matches that take no bits",
         [&](BitWriter& b) { header_start(b), b.put(0, 9), b.put(509, 9); }},
    };
    for (const Row& row : rows) {
        BitWriter bits;
        row.write(bits);
        expect_ended(bits.bytes, ERR_BAD_CRC, "File has bad CRC !", row.why);
    }
}

TEST_F(LzHuffmanTest, FailedWriteAndMissingWindow) {
    DecoderCase c;
    LzhBlock block;
    block.items = literals(random_bytes(3 * WINDOW_SIZE / 2, 4));
    c.data = lzh_stream({block, block});
    c.original_size = 3 * WINDOW_SIZE;
    c.fail_write_at = 2;
    DecoderRun run = run_decoder(*this, c);
    EXPECT_EQ(run.result, ERR_WRITE_OUTPUT);
    EXPECT_EQ(run.messages, Texts({"Write to output stream error !"}));
    EXPECT_EQ(run.writes.size(), 2u) << "nothing is decoded after the failed write";
    EXPECT_EQ(run.heap_blocks, 0);

    c.fail_write_at = 0;
    c.fail_alloc = true;
    c.after = {0x60, 0xEA};
    run = run_decoder(*this, c);
    EXPECT_EQ(run.result, ERR_ALLOC_MEMORY);
    EXPECT_EQ(run.messages, Texts({"Alloc memory error !"}));
    EXPECT_TRUE(run.writes.empty());
}

}  // namespace
