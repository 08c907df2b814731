#include "tools/shared/file_bytes.h"

#include <cerrno>

namespace {

constexpr size_t READ_BLOCK_SIZE = 65536;

// Appends up to `most` bytes; false on a read error.
bool read_at_most(FILE* file, std::vector<uint8_t>& bytes, size_t most) {
    uint8_t block[READ_BLOCK_SIZE];
    size_t got;
    while (most > 0 && (got = fread(block, 1, most < sizeof block ? most : sizeof block, file)) > 0) {
        bytes.insert(bytes.end(), block, block + got);
        most -= got;
    }
    return !ferror(file);
}

}  // namespace

bool read_rest(FILE* file, std::vector<uint8_t>& bytes) { return read_at_most(file, bytes, SIZE_MAX); }

bool read_file_bytes(const char* path, std::vector<uint8_t>& bytes, size_t limit) {
    FILE* file = fopen(path, "rb");
    if (!file) return false;
    bool ok = read_at_most(file, bytes, limit + 1);
    int saved = errno;
    fclose(file);
    errno = saved;
    if (ok && bytes.size() > limit) {
        errno = EFBIG;
        return false;
    }
    return ok;
}
