// The bit input: values, and where archive_stream and the byte count stand
// once the reader has handed back what it read ahead.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "decode/bit_reader.h"
#include "tests/support/double_fixture.h"
#include "tests/support/reference_bit_input.h"

namespace {

class BitReaderTest : public DoubleTest {
public:
    // Opens `file` as the archive and makes its first `entry_size` bytes the
    // entry's data.
    void open_entry(const Bytes& file, uint32_t entry_size) {
        open_archive(file);
        unpack.header.compressed_size = entry_size;
    }
    uint32_t held_bits() const { return bit_reader.count - LOOKAHEAD_BITS; }
};

TEST_F(BitReaderTest, WorkedExampleFetchesOnlyWhatTheLookaheadNeeds) {
    open_entry({0xA5, 0x3C, 0xFF, 0x11}, 3);
    start_bits();
    settle_bits();
    EXPECT_EQ(lookahead(), 0xA53C);
    EXPECT_EQ(held_bits(), 0u);
    EXPECT_EQ(archive_tell(), 2);
    EXPECT_EQ(unpack.header.compressed_size, 1u);

    EXPECT_EQ(read_bits(3), 5);
    settle_bits();
    EXPECT_EQ(lookahead(), 0x29E7);
    EXPECT_EQ(held_bits(), 5u);
    EXPECT_EQ(archive_tell(), 3);
    EXPECT_EQ(unpack.header.compressed_size, 0u);
}

TEST_F(BitReaderTest, EmptyAndOneByteEntries) {
    open_entry({0x60, 0xEA}, 0);
    start_bits();
    settle_bits();
    EXPECT_EQ(lookahead(), 0);
    EXPECT_EQ(read_bits(16), 0);
    EXPECT_EQ(read_bits(16), 0);
    settle_bits();
    EXPECT_EQ(archive_tell(), 0) << "behind the count nothing is read";

    open_entry({0x9B, 0x60, 0xEA}, 1);
    start_bits();
    settle_bits();
    EXPECT_EQ(lookahead(), 0x9B00);
    EXPECT_EQ(archive_tell(), 1);
}

TEST_F(BitReaderTest, ZeroAndSixteenBitOperations) {
    open_entry({0x12, 0x34, 0x56, 0x78, 0x9A}, 5);
    start_bits();
    EXPECT_EQ(read_bits(0), 0);
    settle_bits();
    EXPECT_EQ(lookahead(), 0x1234);
    EXPECT_EQ(archive_tell(), 2);
    skip_bits(0);
    EXPECT_EQ(lookahead(), 0x1234);
    skip_bits(16);
    EXPECT_EQ(lookahead(), 0x5678);
    EXPECT_EQ(read_bits(16), 0x5678);
    EXPECT_EQ(lookahead(), 0x9A00);
    settle_bits();
    EXPECT_EQ(archive_tell(), 5);
}

// A well-formed stream makes the input fetch at most TRAILING_BYTES_MAX
// bytes behind its data; the bit that would need one more ends the entry.
TEST_F(BitReaderTest, DataEndsTheEntryOneBitPastTheBound) {
    open_entry({0xAB, 0xCD, 0x60, 0xEA}, 2);
    start_bits();
    skip_bits(16);
    skip_bits(8 * TRAILING_BYTES_MAX - LOOKAHEAD_BITS);
    EXPECT_EQ(bit_reader.ended, 0);
    skip_bits(1);
    EXPECT_EQ(bit_reader.ended, ERR_BAD_CRC);
    EXPECT_EQ(lookahead(), 0) << "zero bits all the same, read from nowhere";
    settle_bits();
    EXPECT_EQ(archive_tell(), 2);
}

// A file that ends inside the entry's data ends the entry at once: one
// failed read, never one per missing byte.
TEST_F(BitReaderTest, FileEndingInsideTheDataCostsOneFailedRead) {
    open_entry({0x80}, 4000000000u);
    start_bits();
    EXPECT_EQ(lookahead(), 0x8000);
    EXPECT_EQ(bit_reader.ended, ERR_BAD_CRC);
    for (int i = 0; i < 10000; i++) skip_bits(16);
    EXPECT_EQ(std::count(platform_double.calls.begin(), platform_double.calls.end(), "fread"), 2);
}

// Any split of the stream into fields gives the bits of the one-byte-at-a-
// time reader, and after settling the same position, count and held bits;
// also across the archive buffer's refills and the end of the count.
TEST_F(BitReaderTest, RandomSplitsMatchTheByteAtATimeReader) {
    std::mt19937 random(7);
    for (uint32_t size : {0u, 1u, 2u, 3u, 17u, 1000u, uint32_t(ARCHIVE_BUFFER_SIZE) + 333u, 3u * uint32_t(ARCHIVE_BUFFER_SIZE)}) {
        Bytes file = random_bytes(size + 40, size);
        open_entry(file, size);
        ReferenceBitInput reference(file, size);
        start_bits();
        uint64_t bits = 0;
        while (bits < uint64_t(size) * 8 + 64) {
            uint32_t n = random() % 17;
            bool skip = random() % 4 == 0;
            ASSERT_EQ(lookahead(), reference.lookahead) << "size " << size << " at bit " << bits;
            if (skip) {
                skip_bits(n);
                reference.skip(n);
            } else {
                ASSERT_EQ(read_bits(n), reference.read(n));
            }
            bits += n;
            if (random() % 8 == 0) {
                settle_bits();
                ASSERT_EQ(archive_tell(), int64_t(reference.fetched)) << "size " << size << " at bit " << bits;
                ASSERT_EQ(unpack.header.compressed_size, reference.count);
                ASSERT_EQ(held_bits(), uint32_t(reference.held_bits));
            }
        }
        settle_bits();
        EXPECT_EQ(archive_tell(), int64_t(size));
        EXPECT_EQ(unpack.header.compressed_size, 0u);
    }
}

}  // namespace
