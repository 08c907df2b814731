// Method 4 decoder: the worked examples, round trips through the test
// encoder, and a comparison with a literal model of the 16-bit register
// over arbitrary bytes, which pins the output and when the entry ends early
// (the register's bits count for the damage bound).
#include <gtest/gtest.h>

#include "decode/bit_reader.h"
#include "decode/decoders.h"
#include "tests/support/decoder_run.h"
#include "tests/support/method4_writer.h"
#include "tests/support/reference_bit_input.h"

namespace {

struct ModelRun {
    Bytes output;      // the bytes written
    bool damaged;      // the entry ended early (267)
    uint32_t sound;    // bytes of the items that end inside the data
};

// The format's own reading: a 16-bit register topped up from the bit
// input. The entry ends early at an item that uses a bit beyond the data
// or a match that would pass the original size (nothing of that item is
// written), and when the register's bits, given back to the input at the
// end, make it fetch more than TRAILING_BYTES_MAX bytes past the data; an
// entry that ends early writes only its full windows.
ModelRun model_decode(const Bytes& data, uint32_t original_size) {
    ReferenceBitInput in(data, uint32_t(data.size()));
    uint32_t reg = 0, count = 0;
    uint64_t used = 0;
    const uint64_t data_bits = 8 * uint64_t(data.size());
    const uint64_t usable = data_bits + 8 * TRAILING_BYTES_MAX - LOOKAHEAD_BITS;
    auto top_up = [&] {
        reg |= uint32_t(in.lookahead) >> count;
        in.skip(16 - count);
        count = 16;
        reg &= 0xFFFF;
    };
    auto bit = [&] {
        if (count == 0) top_up();
        uint32_t b = (reg >> 15) & 1;
        reg = (reg << 1) & 0xFFFF;
        count--;
        used++;
        return b;
    };
    auto field = [&](uint32_t n) {
        if (count < n) top_up();
        uint32_t v = reg >> (16 - n);
        reg = (reg << n) & 0xFFFF;
        count -= n;
        used += n;
        return v;
    };
    Bytes window(WINDOW_SIZE, 0), out;
    uint32_t p = 0, produced = 0;
    auto put = [&](uint8_t b) {
        window[p++] = b;
        out.push_back(b);
        if (p == WINDOW_SIZE) p = 0;
    };
    bool damaged = false;
    uint32_t sound = 0;
    while (produced < original_size && !damaged) {
        uint32_t k = 0;
        while (k < 7 && bit()) k++;
        if (k == 0) {
            uint8_t byte = uint8_t(field(8));
            if (used > data_bits) {
                damaged = true;
                break;
            }
            put(byte);
            produced++;
            sound = produced;
            continue;
        }
        uint32_t length = (1u << k) - 1 + field(k) + 2;
        uint32_t j = 0;
        while (j < 4 && bit()) j++;
        uint32_t distance = (1u << (9 + j)) - 512 + field(9 + j);
        if (used > data_bits || length > original_size - produced) {
            damaged = true;
            break;
        }
        produced += length;
        uint32_t s = (p + WINDOW_SIZE - distance - 1) % WINDOW_SIZE;
        for (uint32_t i = 0; i < length; i++) {
            put(window[s]);
            s = (s + 1) % WINDOW_SIZE;
        }
        sound = produced;
    }
    damaged = damaged || used + count > usable;
    if (damaged) out.resize(out.size() / WINDOW_SIZE * WINDOW_SIZE);
    return {out, damaged, sound};
}

class Method4Test : public DoubleTest {
public:
    DecoderRun decode(const Bytes& data, uint32_t original_size) {
        DecoderCase c;
        c.method = 4;
        c.data = data;
        c.original_size = original_size;
        c.after = {0x60, 0xEA, 0x00, 0x00};
        return run_decoder(*this, c);
    }
};

TEST_F(Method4Test, WorkedExamples) {
    DecoderRun run = decode({0x3C, 0x71, 0x00, 0x00}, 11);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.output, Bytes(11, 0x78));

    run = decode({0x20, 0x90, 0xA0, 0x03, 0xFF, 0xFF, 0xFF, 0xFC}, 261);
    Bytes expected(261, 0);
    const uint8_t start[] = {0x41, 0x42, 0x41, 0x42, 0x41};
    std::copy(std::begin(start), std::end(start), expected.begin());
    EXPECT_EQ(run.output, expected);
    EXPECT_EQ(run.writes, std::vector<size_t>({261}));
    EXPECT_EQ(run.crc, crc_of(expected));
}

TEST_F(Method4Test, OriginalSizeZeroWritesNothing) {
    DecoderRun run = decode({1, 2, 3}, 0);
    EXPECT_EQ(run.result, 0);
    EXPECT_TRUE(run.writes.empty());
}

TEST_F(Method4Test, ShortestLongestAndFarthestMatches) {
    BitWriter bits;
    put_items(bits, {{0, 'x'}, {10, 0}, {3, 0}, {256, 15871}, {0, 'y'}});
    DecoderRun run = decode(bits.bytes, 1 + 10 + 3 + 256 + 1);
    Bytes expected(14 + 256 + 1, 0);  // 15872 back is before the entry: zeros
    std::fill(expected.begin(), expected.begin() + 14, 'x');
    expected.back() = 'y';
    EXPECT_EQ(run.output, expected);

    // A final match that would end 5 bytes past the original size is
    // damage: nothing of the entry is written.
    BitWriter last;
    put_items(last, {{0, 'z'}, {10, 0}});
    run = decode(last.bytes, 6);
    EXPECT_EQ(run.result, ERR_BAD_CRC);
    EXPECT_EQ(run.messages, Texts({"File has bad CRC !"}));
    EXPECT_TRUE(run.output.empty());
}

TEST_F(Method4Test, WindowBoundaries) {
    for (uint32_t size : {uint32_t(WINDOW_SIZE), uint32_t(WINDOW_SIZE) + 1}) {
        Bytes data = random_bytes(size, size);
        DecoderRun run = decode(method4_compress(data), size);
        EXPECT_EQ(run.output, data);
        std::vector<size_t> writes = {WINDOW_SIZE};
        if (size > WINDOW_SIZE) writes.push_back(1);
        EXPECT_EQ(run.writes, writes);
    }
    // A match across the window's end flushes in its middle.
    Bytes data = random_bytes(WINDOW_SIZE - 20, 1);
    Bytes tail(data.end() - 200, data.end());
    data.insert(data.end(), tail.begin(), tail.end());
    DecoderRun run = decode(method4_compress(data), uint32_t(data.size()));
    EXPECT_EQ(run.output, data);
    EXPECT_EQ(run.writes, std::vector<size_t>({WINDOW_SIZE, data.size() - WINDOW_SIZE}));
}

TEST_F(Method4Test, RoundTripsOfVariedData) {
    Bytes text;
    const char* words[] = {"unpack ", "window ", "the ", "archive ", "entry ", "\n", "setup ", "bits "};
    for (uint32_t i = 0; text.size() < 300000; i = i * 1103515245 + 12345) {
        const char* w = words[(i >> 16) % 8];
        text.insert(text.end(), w, w + strlen(w));
    }
    Bytes runs(100000, 0);
    for (size_t i = 0; i < runs.size(); i++) runs[i] = uint8_t((i / 1000) % 3);
    for (const Bytes& data : {text, runs, random_bytes(70000, 2), Bytes(1, 7)}) {
        DecoderRun run = decode(method4_compress(data), uint32_t(data.size()));
        EXPECT_EQ(run.output, data);
        EXPECT_EQ(run.crc, crc_of(data));
    }
}

// Arbitrary bytes are always a valid stream, but not always one that ends
// inside its data. Output and result must match the model, which ends the
// entry also where only the register's bits pass the bound.
TEST_F(Method4Test, ArbitraryStreamsMatchTheRegisterModel) {
    int damaged = 0;
    for (uint32_t seed = 0; seed < 60; seed++) {
        Bytes data = random_bytes(1 + seed * 37 % 3000, seed);
        if (seed % 3 == 0) std::fill(data.begin() + data.size() / 2, data.end(), 0xFF);
        uint32_t some_size = seed % 5 == 0 ? uint32_t(data.size()) * 20 : seed * 131 % 5000;
        // Also the size that the items inside the data make: never damaged.
        uint32_t sound_size = model_decode(data, 0xFFFFFFFF).sound;
        for (uint32_t original_size : {some_size, sound_size}) {
            ModelRun expected = model_decode(data, original_size);
            DecoderRun run = decode(data, original_size);
            ASSERT_EQ(run.output, expected.output) << "seed " << seed;
            damaged += expected.damaged;
            if (expected.damaged) {
                ASSERT_EQ(run.result, ERR_BAD_CRC) << "seed " << seed;
                continue;
            }
            ASSERT_EQ(run.result, 0) << "seed " << seed;
        }
    }
    EXPECT_GT(damaged, 20);
    EXPECT_LT(damaged, 70);
}

TEST_F(Method4Test, FailedWriteAndMissingWindow) {
    Bytes data = random_bytes(3 * WINDOW_SIZE, 6);
    DecoderCase c;
    c.method = 4;
    c.data = method4_compress(data);
    c.original_size = uint32_t(data.size());
    c.fail_write_at = 1;
    DecoderRun run = run_decoder(*this, c);
    EXPECT_EQ(run.result, ERR_WRITE_OUTPUT);
    EXPECT_EQ(run.messages, Texts({"Write to output stream error !"}));
    EXPECT_EQ(run.writes.size(), 1u);
    EXPECT_EQ(run.heap_blocks, 0);

    c.fail_write_at = 0;
    c.fail_alloc = true;
    run = run_decoder(*this, c);
    EXPECT_EQ(run.result, ERR_ALLOC_MEMORY);
    EXPECT_EQ(run.messages, Texts({"Alloc memory error !"}));
}

}  // namespace
