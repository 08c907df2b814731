#include "encode/entry_streams.h"

#include <vector>

#include "common/crc32.h"

// crc32_update works on the process-wide register; the writer keeps its
// own between calls.
static uint32_t crc_extend(uint32_t reg, const uint8_t* bytes, size_t n) {
    uint32_t saved = crc32.reg;
    crc32.reg = reg;
    crc32_update(bytes, n);
    reg = crc32.reg;
    crc32.reg = saved;
    return reg;
}

EntryStreams::EntryStreams(EntrySource& s, ByteSink& k, const Progress* p)
    : source(s), sink(k), progress(p), crc_register(CRC32_INITIAL) {
    crc32_build_table();
}

size_t EntryStreams::read(uint8_t* buffer, size_t n) {
    size_t got = 0;
    while (got < n && !too_large) {
        size_t part = source.read(buffer + got, n - got);
        if (part == 0) break;
        got += part;
        if (original_size + got > MAX_FIELD_SIZE) too_large = true;
    }
    crc_register = crc_extend(crc_register, buffer, got);
    original_size += got;
    if (progress && *progress && got) (*progress)(original_size);
    return too_large ? 0 : got;
}

bool EntryStreams::write(const uint8_t* bytes, size_t n) {
    if (write_failed) return false;
    if (!sink.write(bytes, n)) write_failed = true;
    compressed_size += n;
    return !write_failed;
}

bool encode_stored(EntryStreams& io) {
    std::vector<uint8_t> block(1 << 20);
    while (size_t got = io.read(block.data(), block.size()))
        if (!io.write(block.data(), got)) break;
    return !io.write_failed && !io.too_large && !io.source.failed();
}
