#include "encode/headers.h"

#include <algorithm>

#include "archive/layout.h"
#include "common/crc32.h"

namespace {

void put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}
void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}

std::vector<uint8_t> first_part(uint8_t method_or_security, uint8_t file_type) {
    std::vector<uint8_t> b(FIRST_HEADER_SIZE, 0);
    b[FIELD_FIRST_HEADER_SIZE] = FIRST_HEADER_SIZE;
    b[1] = ARCHIVER_VERSION;
    b[FIELD_MIN_VERSION] = EXTRACT_VERSION;
    b[3] = HOST_DOS;
    b[FIELD_METHOD] = method_or_security;
    b[FIELD_FILE_TYPE] = file_type;
    return b;
}

std::vector<uint8_t> on_stream(std::vector<uint8_t> basic, const std::string& name, const std::string& comment) {
    basic.insert(basic.end(), name.begin(), name.end());
    basic.push_back(0);
    basic.insert(basic.end(), comment.begin(), comment.end());
    basic.push_back(0);
    crc32_build_table();
    uint32_t crc = crc32_of(basic.data(), basic.size());
    std::vector<uint8_t> out(4 + basic.size() + 4 + 2, 0);
    put16(out, 0, HEADER_ID);
    put16(out, 2, uint32_t(basic.size()));
    std::copy(basic.begin(), basic.end(), out.begin() + 4);
    put32(out, 4 + basic.size(), crc);
    return out;
}

}  // namespace

std::string header_text_problem(const std::string& name, const std::string& comment) {
    if (name.empty()) return "empty name";
    if (name.find('\0') != std::string::npos || comment.find('\0') != std::string::npos)
        return "zero byte in the name or comment";
    if (name.size() > MAX_STORED_NAME) return "name longer than 511 bytes";
    if (FIRST_HEADER_SIZE + name.size() + comment.size() + 2 > MAX_BASIC_HEADER)
        return "name and comment longer than a header holds";
    return "";
}

std::vector<uint8_t> main_header(const std::string& archive_name, uint32_t dos_time, const std::string& comment) {
    std::vector<uint8_t> b = first_part(0, FILE_TYPE_MAIN);
    put32(b, 8, dos_time);   // created
    put32(b, 12, dos_time);  // modified
    return on_stream(b, archive_name, comment);
}

std::vector<uint8_t> local_header(const LocalHeaderFields& f) {
    std::vector<uint8_t> b = first_part(f.method, 0);
    put32(b, 8, f.dos_time);
    put32(b, FIELD_COMPRESSED_SIZE, f.compressed_size);
    put32(b, FIELD_ORIGINAL_SIZE, f.original_size);
    put32(b, FIELD_FILE_CRC, f.file_crc);
    size_t slash = f.name.find_last_of('/');
    put16(b, FIELD_ENTRY_NAME_POS, slash == std::string::npos ? 0 : uint32_t(slash + 1));
    put16(b, 26, f.attributes);
    return on_stream(b, f.name, f.comment);
}

std::vector<uint8_t> end_marker() { return {0x60, 0xEA, 0x00, 0x00}; }
