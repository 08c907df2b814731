// The header reader. Each call reads one header:
//   60 EA | size:2 | basic header (size bytes) | crc:4 | { ext size:2 | ext bytes | ext crc:4 }* | 00 00
// and never looks at entry data.
//
// Beyond what the format's writers produce, a header is refused ("Archive
// header has bad ID !", 259) when it could not be held or named safely: a
// basic header above BASIC_HEADER_MAX bytes, a name offset at or past the
// header's end, or a name whose terminating zero is not inside both the
// header and header_name.
#include "archive/header_reader.h"

#include <cstring>

#include "archive/layout.h"
#include "common/crc32.h"
#include "common/failure.h"
#include "common/little_endian.h"
#include "common/unpack_error.h"
#include "common/unpack_state.h"

// Reads a 16-bit little-endian value; false when fewer than 2 bytes arrive.
static bool read16(uint16_t* value) {
    uint8_t bytes[2];
    if (archive_read(bytes, 2) != 2) return false;
    *value = le_u16(bytes);
    return true;
}

static int refuse_header() {
    show_failure(MSG_HEADER_ID);
    return ERR_HEADER_ID;
}

static void decode_fields(HeaderRecord& h) {
    const uint8_t* raw = h.raw;
    h.first_header_size = raw[FIELD_FIRST_HEADER_SIZE];
    h.min_version = raw[FIELD_MIN_VERSION];
    h.flags = raw[FIELD_FLAGS];
    h.method = raw[FIELD_METHOD];
    h.file_type = raw[FIELD_FILE_TYPE];
    h.compressed_size = le_u32(raw + FIELD_COMPRESSED_SIZE);
    h.original_size = le_u32(raw + FIELD_ORIGINAL_SIZE);
    h.file_crc = le_u32(raw + FIELD_FILE_CRC);
    h.entry_name_pos = le_u16(raw + FIELD_ENTRY_NAME_POS);
}

// Copies the name at first_header_size into header_name, zero-filled behind
// it. False when the name does not end inside the header and the buffer.
static bool copy_name(const HeaderRecord& h) {
    size_t start = h.first_header_size;
    if (start >= h.size) return false;
    size_t available = h.size - start;
    if (available > NAME_BUFFER_SIZE) available = NAME_BUFFER_SIZE;
    const void* end = memchr(h.raw + start, 0, available);
    if (!end) return false;
    size_t length = size_t(static_cast<const uint8_t*>(end) - (h.raw + start));
    memset(unpack.header_name, 0, NAME_BUFFER_SIZE);
    memcpy(unpack.header_name, h.raw + start, length);
    return true;
}

int read_header() {
    HeaderRecord& h = unpack.header;
    uint16_t id;
    if (!read16(&id)) {
        show_failure(MSG_READ_ARCHIVE);
        return ERR_READ_ARCHIVE;
    }
    if (id != HEADER_ID) {
        show_failure(MSG_HEADER_ID);
        return ERR_HEADER_ID;
    }
    uint16_t size;
    if (!read16(&size)) {
        show_failure(MSG_READ_ARCHIVE);
        return ERR_READ_ARCHIVE;
    }
    if (size == 0) return HEADER_END;
    if (size > BASIC_HEADER_MAX) return refuse_header();

    // A short read here shows at the CRC read that follows. The bytes past
    // this header are cleared so that no field is taken from an earlier one.
    size_t got = archive_read(h.raw, size);
    memset(h.raw + got, 0, BASIC_HEADER_MAX - got);
    h.size = size;

    uint8_t stored[4];
    if (archive_read(stored, 4) != 4) {
        // The one box without an owner: the launcher has always shown a file
        // that ends inside a basic header or its CRC this way, and keeps it
        // so for whoever tells its boxes apart by their owner (`iunpack run`
        // traces it).
        show_failure_unowned(MSG_READ_ARCHIVE);
        return ERR_READ_ARCHIVE;
    }
    crc32.reg = CRC32_INITIAL;
    crc32_update(h.raw, size);
    if (~crc32.reg != le_u32(stored)) {
        show_failure(MSG_HEADER_CRC);
        return ERR_HEADER_CRC;
    }
    decode_fields(h);
    if (!copy_name(h)) return refuse_header();

    // Extended headers are passed over by their size plus their CRC.
    for (;;) {
        uint16_t extended;
        if (!read16(&extended)) {
            show_failure(MSG_READ_ARCHIVE);
            return ERR_READ_ARCHIVE;
        }
        if (extended == 0) {
            h.data_end = archive_tell() + int64_t(h.compressed_size);
            return HEADER_READ;
        }
        archive_skip(uint64_t(extended) + EXTENDED_HEADER_CRC_SIZE);
    }
}
