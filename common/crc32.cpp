#include "common/crc32.h"

#include <cstring>

#include "common/crc32_clmul.h"
#include "common/little_endian.h"

Crc32 crc32;

void crc32_build_table() {
    for (uint32_t i = 0; i < 256; i++) {
        uint32_t r = i;
        for (int bit = 0; bit < 8; bit++) r = (r >> 1) ^ ((r & 1) ? CRC32_POLYNOMIAL : 0);
        crc32.table[0][i] = r;
    }
    // table[k][i] is the register contribution of byte i followed by k zero
    // bytes, so eight bytes can be folded in with eight independent lookups.
    for (int k = 1; k < 8; k++)
        for (uint32_t i = 0; i < 256; i++) {
            uint32_t prev = crc32.table[k - 1][i];
            crc32.table[k][i] = (prev >> 8) ^ crc32.table[0][prev & 0xFF];
        }
}

void crc32_update(const uint8_t* bytes, size_t n) {
    if (n >= CRC32_CLMUL_MIN_BYTES && crc32_clmul_available()) {
        size_t done = crc32_clmul_update(&crc32.reg, bytes, n);
        bytes += done;
        n -= done;
    }
    const uint32_t (*t)[256] = crc32.table;
    uint32_t r = crc32.reg;
    // Slicing by eight: identical to the byte loop below, eight bytes a step.
    while (n >= 8) {
        uint32_t lo = le_u32(bytes) ^ r;
        uint32_t hi = le_u32(bytes + 4);
        r = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
            t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
        bytes += 8;
        n -= 8;
    }
    while (n--) r = t[0][(r ^ *bytes++) & 0xFF] ^ (r >> 8);
    crc32.reg = r;
}

uint32_t crc32_of(const uint8_t* bytes, size_t n) {
    uint32_t saved = crc32.reg;
    crc32.reg = CRC32_INITIAL;
    crc32_update(bytes, n);
    uint32_t result = ~crc32.reg;
    crc32.reg = saved;
    return result;
}
