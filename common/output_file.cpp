#include "common/output_file.h"

#include "common/crc32.h"
#include "common/unpack_state.h"

bool write_output_block(const uint8_t* bytes, size_t n) {
    crc32_update(bytes, n);
    return platform->fwrite(bytes, 1, n, unpack.output_file) == n;
}
