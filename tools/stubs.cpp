#include "tools/stubs.h"

#include <cerrno>
#include <cstring>

#include "tools/file_bytes.h"

namespace {

constexpr size_t PE_HEADER_OFFSET_FIELD = 0x3C;  // e_lfanew
constexpr size_t COFF_HEADER_SIZE = 24;          // signature and file header
constexpr size_t SECTION_HEADER_SIZE = 40;

uint32_t get16(const std::vector<uint8_t>& b, size_t at) { return uint32_t(b[at] | b[at + 1] << 8); }
uint32_t get32(const std::vector<uint8_t>& b, size_t at) { return get16(b, at) | get16(b, at + 2) << 16; }

}  // namespace

bool load_stub(const char* choice, bool administrator, Stub& stub, std::string& error) {
    if (!choice) choice = EMBEDDED_STUBS[0].name;
    for (const EmbeddedStub& e : EMBEDDED_STUBS) {
        if (strcmp(choice, e.name) != 0 || e.administrator != administrator) continue;
        stub.bytes.assign(e.bytes, e.bytes + e.size);
        stub.label = std::string("the ") + e.name + " stub (" + e.description + ")";
        stub.embedded = &e;
        return true;
    }
    stub.bytes.clear();
    stub.embedded = nullptr;
    stub.label = choice;
    if (!read_file_bytes(choice, stub.bytes)) {
        error = std::string("cannot read the stub ") + choice + ": " + strerror(errno);
        return false;
    }
    return true;
}

bool is_pe(const std::vector<uint8_t>& b) {
    if (b.size() < PE_HEADER_OFFSET_FIELD + 4 || b[0] != 'M' || b[1] != 'Z') return false;
    uint32_t pe = get32(b, PE_HEADER_OFFSET_FIELD);
    return pe <= b.size() - 4 && memcmp(&b[pe], "PE\0\0", 4) == 0;
}

size_t pe_file_extent(const std::vector<uint8_t>& b) {
    if (!is_pe(b)) return 0;
    size_t pe = get32(b, PE_HEADER_OFFSET_FIELD);
    if (pe > b.size() - COFF_HEADER_SIZE) return 0;
    size_t sections = get16(b, pe + 6);
    size_t table = pe + COFF_HEADER_SIZE + get16(b, pe + 20);
    if (sections == 0 || table > b.size() || sections > (b.size() - table) / SECTION_HEADER_SIZE) return 0;
    size_t end = table + sections * SECTION_HEADER_SIZE;
    for (size_t i = 0; i < sections; i++) {
        size_t header = table + i * SECTION_HEADER_SIZE;
        uint64_t raw_end = uint64_t(get32(b, header + 20)) + get32(b, header + 16);
        if (raw_end > b.size()) return 0;
        if (raw_end > end) end = size_t(raw_end);
    }
    return end;
}
