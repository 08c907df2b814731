// The bit input: values, the bytes it takes (never one behind the entry's
// data, and the file read only when the lookahead needs a byte), and the
// damage bound.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "decode/bit_reader.h"
#include "tests/support/double_fixture.h"
#include "tests/support/reference_bit_input.h"

namespace {

class BitReaderTest : public DoubleTest {
public:
    BitReader r{};

    // Opens `file` as the archive and starts the reader on its first
    // `entry_size` bytes.
    void start(const Bytes& file, uint32_t entry_size) {
        open_archive(file);
        platform_double.calls.clear();
        start_bits(r, entry_size);
    }
    uint32_t lookahead() const { return peek_bits(r, LOOKAHEAD_BITS); }
    long file_reads() const { return std::count(platform_double.calls.begin(), platform_double.calls.end(), "fread"); }
};

TEST_F(BitReaderTest, WorkedExample) {
    start({0xA5, 0x3C, 0xFF, 0x11}, 3);
    EXPECT_EQ(lookahead(), 0xA53C);
    EXPECT_EQ(take_bits(r, 3), 5u);
    EXPECT_EQ(lookahead(), 0x29E7);
    EXPECT_EQ(take_bits(r, 16), 0x29E7u);
    EXPECT_EQ(archive_tell(), 3) << "the byte behind the entry is never taken";
}

TEST_F(BitReaderTest, EmptyAndOneByteEntries) {
    start({0x60, 0xEA}, 0);
    EXPECT_EQ(lookahead(), 0u);
    EXPECT_EQ(take_bits(r, 16), 0u);
    EXPECT_EQ(take_bits(r, 15), 0u);
    EXPECT_EQ(archive_tell(), 0) << "behind the count nothing is read";

    start({0x9B, 0x60, 0xEA}, 1);
    EXPECT_EQ(lookahead(), 0x9B00u);
    EXPECT_EQ(archive_tell(), 1);
}

TEST_F(BitReaderTest, ZeroAndSixteenBitOperations) {
    start({0x12, 0x34, 0x56, 0x78, 0x9A}, 5);
    EXPECT_EQ(take_bits(r, 0), 0u);
    EXPECT_EQ(lookahead(), 0x1234u);
    drop_bits(r, 0);
    EXPECT_EQ(lookahead(), 0x1234u);
    drop_bits(r, 16);
    EXPECT_EQ(lookahead(), 0x5678u);
    EXPECT_EQ(take_bits(r, 16), 0x5678u);
    EXPECT_EQ(lookahead(), 0x9A00u);
}

// A well-formed stream makes the input fetch at most TRAILING_BYTES_MAX
// bytes behind its data; the bit that would need one more ends the entry.
TEST_F(BitReaderTest, DataEndsTheEntryOneBitPastTheBound) {
    start({0xAB, 0xCD, 0x60, 0xEA}, 2);
    drop_bits(r, 16);
    drop_bits(r, 8 * TRAILING_BYTES_MAX - LOOKAHEAD_BITS);
    EXPECT_EQ(r.ended, 0);
    drop_bits(r, 1);
    EXPECT_EQ(r.ended, ERR_BAD_CRC);
    EXPECT_EQ(lookahead(), 0u) << "zero bits all the same, read from nowhere";
    EXPECT_EQ(archive_tell(), 2);
}

// A file that ends inside the entry's data ends the entry at once: one
// failed read, never one per missing byte.
TEST_F(BitReaderTest, FileEndingInsideTheDataCostsOneFailedRead) {
    start({0x80}, 4000000000u);
    EXPECT_EQ(lookahead(), 0x8000u);
    EXPECT_EQ(r.ended, ERR_BAD_CRC);
    for (int i = 0; i < 10000; i++) drop_bits(r, 16);
    EXPECT_EQ(file_reads(), 2);
}

// Any split of the stream into fields gives the bits of the one-byte-at-a-
// time reader, across the archive buffer's refills and the end of the
// count; the file is read only when that reader would need a byte there,
// and nothing behind the entry is taken.
TEST_F(BitReaderTest, RandomSplitsMatchTheByteAtATimeReader) {
    std::mt19937 random(7);
    for (uint32_t size : {0u, 1u, 2u, 3u, 17u, 1000u, uint32_t(ARCHIVE_BUFFER_SIZE) + 333u, 3u * uint32_t(ARCHIVE_BUFFER_SIZE)}) {
        Bytes file = random_bytes(size + 40, size);
        start(file, size);
        ReferenceBitInput reference(file, size);
        uint64_t bits = 0;
        while (bits < uint64_t(size) * 8 + 64) {
            uint32_t n = random() % 17;
            bool drop = random() % 4 == 0;
            ASSERT_EQ(lookahead(), reference.lookahead) << "size " << size << " at bit " << bits;
            if (drop) {
                drop_bits(r, n);
                reference.skip(n);
            } else {
                ASSERT_EQ(take_bits(r, n), reference.read(n));
            }
            bits += n;
            long needed = long((reference.fetched + ARCHIVE_BUFFER_SIZE - 1) / ARCHIVE_BUFFER_SIZE);
            ASSERT_EQ(file_reads(), needed) << "size " << size << " at bit " << bits;
        }
        EXPECT_EQ(archive_tell(), int64_t(size));
    }
}

}  // namespace
