// Crc32: the fast paths (eight bytes a step, carry-less multiply where the
// processor has it) against the byte-at-a-time definition.
#include <gtest/gtest.h>

#include "common/crc32.h"
#include "common/crc32_clmul.h"
#include "tests/support/files.h"

namespace {

uint32_t bytewise(uint32_t r, const uint8_t* p, size_t n) {
    while (n--) {
        r ^= *p++;
        for (int bit = 0; bit < 8; bit++) r = (r >> 1) ^ ((r & 1) ? 0xEDB88320u : 0);
    }
    return r;
}

TEST(Crc32, CheckValue) {
    crc32_build_table();
    const char text[] = "123456789";
    EXPECT_EQ(crc32_of(reinterpret_cast<const uint8_t*>(text), 9), 0xCBF43926u);
}

TEST(Crc32, EveryLengthAndAlignmentMatchesTheDefinition) {
    crc32_build_table();
    Bytes data = random_bytes(70000, 17);
    for (size_t offset = 0; offset < 16; offset += 3)
        for (size_t n : {0, 1, 7, 8, 15, 16, 63, 64, 65, 79, 80, 127, 128, 129, 200, 1000, 4097, 26624, 65536}) {
            uint32_t start = uint32_t(n * 2654435761u);
            crc32.reg = start;
            crc32_update(data.data() + offset, n);
            ASSERT_EQ(crc32.reg, bytewise(start, data.data() + offset, n)) << "offset " << offset << " n " << n;
        }
}

TEST(Crc32, CarrylessPathMatchesTheTable) {
    if (!crc32_clmul_available()) GTEST_SKIP() << "no carry-less multiply here";
    crc32_build_table();
    Bytes data = random_bytes(5000, 23);
    for (size_t n = CRC32_CLMUL_MIN_BYTES; n < 600; n += 13) {
        uint32_t reg = 0xFFFFFFFFu ^ uint32_t(n);
        size_t done = crc32_clmul_update(&reg, data.data() + 1, n);
        ASSERT_EQ(done, n / 16 * 16);
        ASSERT_EQ(reg, bytewise(0xFFFFFFFFu ^ uint32_t(n), data.data() + 1, done)) << n;
    }
}

}  // namespace
