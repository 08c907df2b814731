#include "tests/support/archive_writer.h"

#include "archive/layout.h"
#include "common/crc32.h"

namespace {

void put16(Bytes& b, size_t at, uint16_t v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}
void put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; i++) b[at + i] = uint8_t(v >> (8 * i));
}
void append16(Bytes& b, uint16_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void append32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; i++) b.push_back(uint8_t(v >> (8 * i)));
}

}  // namespace

uint32_t crc_of(const Bytes& data) {
    crc32_build_table();
    return crc32_of(data.data(), data.size());
}

Bytes to_bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes basic_header(const HeaderFields& h) {
    Bytes b(h.first_header_size, 0);
    auto set = [&](size_t at, uint8_t v) {
        if (at < b.size()) b[at] = v;
    };
    set(FIELD_FIRST_HEADER_SIZE, h.first_header_size);
    set(1, h.archiver_version);
    set(FIELD_MIN_VERSION, h.min_version);
    set(3, h.host_os);
    set(FIELD_FLAGS, h.flags);
    set(FIELD_METHOD, h.method);
    set(FIELD_FILE_TYPE, h.file_type);
    if (b.size() >= 26) {
        put32(b, FIELD_COMPRESSED_SIZE, h.compressed_size);
        put32(b, FIELD_ORIGINAL_SIZE, h.original_size);
        put32(b, FIELD_FILE_CRC, h.file_crc);
        put16(b, FIELD_ENTRY_NAME_POS, h.entry_name_pos);
    }
    b.insert(b.end(), h.name.begin(), h.name.end());
    if (h.name_terminated) {
        b.push_back(0);
        b.insert(b.end(), h.comment.begin(), h.comment.end());
        b.push_back(0);
    }
    return b;
}

Bytes header_bytes(const HeaderFields& h) {
    Bytes basic = basic_header(h);
    Bytes out;
    append16(out, HEADER_ID);
    append16(out, uint16_t(basic.size()));
    out.insert(out.end(), basic.begin(), basic.end());
    append32(out, crc_of(basic) ^ (h.corrupt_crc ? 1u : 0u));
    for (const Bytes& ext : h.extended) {
        append16(out, uint16_t(ext.size()));
        out.insert(out.end(), ext.begin(), ext.end());
        append32(out, crc_of(ext));
    }
    append16(out, 0);
    return out;
}

HeaderFields main_header_fields() {
    HeaderFields h;
    h.name = "archive.arj";
    h.file_type = 2;
    return h;
}

HeaderFields stored_fields(const std::string& name, const Bytes& content) {
    HeaderFields h;
    h.name = name;
    size_t slash = name.find_last_of('/');
    h.entry_name_pos = uint16_t(slash == std::string::npos ? 0 : slash + 1);
    h.compressed_size = h.original_size = uint32_t(content.size());
    h.file_crc = crc_of(content);
    return h;
}

ArchiveWriter::ArchiveWriter() : ArchiveWriter(main_header_fields()) {}
ArchiveWriter::ArchiveWriter(const HeaderFields& main) { bytes = header_bytes(main); }

ArchiveWriter& ArchiveWriter::entry(const HeaderFields& h, const Bytes& data) {
    Bytes head = header_bytes(h);
    bytes.insert(bytes.end(), head.begin(), head.end());
    bytes.insert(bytes.end(), data.begin(), data.end());
    return *this;
}

ArchiveWriter& ArchiveWriter::stored(const std::string& name, const Bytes& content) {
    return entry(stored_fields(name, content), content);
}

ArchiveWriter& ArchiveWriter::raw(const Bytes& more) {
    bytes.insert(bytes.end(), more.begin(), more.end());
    return *this;
}

Bytes ArchiveWriter::finish() {
    append16(bytes, HEADER_ID);
    append16(bytes, 0);
    return bytes;
}

Bytes pe_stub(size_t size) {
    Bytes s(size, 0);
    s[0] = 'M';
    s[1] = 'Z';
    s[0x3C] = 0x80;
    s[0x80] = 'P';
    s[0x81] = 'E';
    return s;
}

Bytes self_extracting(const Bytes& archive, const std::string& prompt) {
    Bytes file(PAYLOAD_OFFSET, 0);
    file[0] = 'M';
    file[1] = 'Z';
    Bytes field(PROMPT_FIELD_SIZE, 0);
    for (size_t i = 0; i < prompt.size() && i < PROMPT_FIELD_SIZE; i++) field[i] = uint8_t(prompt[i]);
    file.insert(file.end(), field.begin(), field.end());
    file.insert(file.end(), archive.begin(), archive.end());
    return file;
}
