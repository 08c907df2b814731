#include "tools/file_bytes.h"

#include <cerrno>

bool read_rest(FILE* file, std::vector<uint8_t>& bytes) {
    uint8_t block[65536];
    size_t got;
    while ((got = fread(block, 1, sizeof block, file)) > 0) bytes.insert(bytes.end(), block, block + got);
    return !ferror(file);
}

bool read_file_bytes(const char* path, std::vector<uint8_t>& bytes) {
    FILE* file = fopen(path, "rb");
    if (!file) return false;
    bool ok = read_rest(file, bytes);
    int saved = errno;
    fclose(file);
    errno = saved;
    return ok;
}
