// Crafts archives byte by byte for the tests: headers with any field value,
// right or wrong CRCs, extended headers, and self-extracting files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

struct HeaderFields {
    std::string name;                 // stored name, path included
    uint16_t entry_name_pos = 0;      // where the name proper begins
    uint8_t first_header_size = 30;   // offset of the name in the basic header
    uint8_t archiver_version = 11;
    uint8_t min_version = 1;
    uint8_t host_os = 0;
    uint8_t flags = 0;
    uint8_t method = 0;
    uint8_t file_type = 0;
    uint32_t compressed_size = 0;
    uint32_t original_size = 0;
    uint32_t file_crc = 0;
    std::string comment;
    bool name_terminated = true;      // false: no zero byte after the name
    bool corrupt_crc = false;         // store a CRC that does not match
    std::vector<Bytes> extended;      // extended headers, each with a dummy CRC
};

// The basic header's bytes for `h`.
Bytes basic_header(const HeaderFields& h);
// The whole header on the stream: id, size, basic header, CRC, extended
// headers, the closing zero size.
Bytes header_bytes(const HeaderFields& h);
// A main header as an archiver writes it.
HeaderFields main_header_fields();
// A stored entry holding `content`, with its sizes and CRC filled in; the
// name proper starts after the last '/'.
HeaderFields stored_fields(const std::string& name, const Bytes& content);

// Builds an archive: main header, entries, end marker.
struct ArchiveWriter {
    Bytes bytes;
    ArchiveWriter();                                      // starts with a main header
    explicit ArchiveWriter(const HeaderFields& main);
    ArchiveWriter& entry(const HeaderFields& h, const Bytes& data);
    ArchiveWriter& stored(const std::string& name, const Bytes& content);
    ArchiveWriter& raw(const Bytes& more);
    Bytes finish();                                       // appends the end marker
};

// Stub of zeros, the prompt field, then the archive.
Bytes self_extracting(const Bytes& archive, const std::string& prompt = "");
// The smallest stub pack's PE check accepts: MZ, e_lfanew, PE signature.
Bytes pe_stub(size_t size = 512);

Bytes to_bytes(const std::string& s);
uint32_t crc_of(const Bytes& data);
