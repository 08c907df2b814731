#include "tools/shared/stubs.h"

#include <cerrno>
#include <cstring>

#include "archive/layout.h"
#include "common/little_endian.h"
#include "tools/shared/file_bytes.h"
#include "tools/shared/pe_layout.h"
#include "tools/shared/terminal_text.h"

Stub carried_stub(const EmbeddedStub& e) {
    return Stub{std::vector<uint8_t>(e.bytes, e.bytes + e.size), std::string("the ") + e.name + " stub (" + e.description + ")",
                &e};
}

bool load_stub(const char* choice, bool administrator, Stub& stub, std::string& error) {
    if (!choice) choice = EMBEDDED_STUBS[0].name;
    for (const EmbeddedStub& e : EMBEDDED_STUBS) {
        if (strcmp(choice, e.name) != 0 || e.administrator != administrator) continue;
        stub = carried_stub(e);
        return true;
    }
    stub.bytes.clear();
    stub.embedded = nullptr;
    stub.label = visible_path(choice);
    if (read_file_bytes(choice, stub.bytes, size_t(PAYLOAD_OFFSET))) return true;
    if (errno == EFBIG)
        error = "the stub " + stub.label + " is larger than the 49152 bytes before the prompt field";
    else
        error = "cannot read the stub " + stub.label + ": " + strerror(errno);
    return false;
}

bool is_pe(const std::vector<uint8_t>& b) {
    if (b.size() < PE_HEADER_OFFSET_FIELD + 4 || b[0] != 'M' || b[1] != 'Z') return false;
    uint32_t pe = le_u32(&b[PE_HEADER_OFFSET_FIELD]);
    return pe <= b.size() - 4 && memcmp(&b[pe], "PE\0\0", 4) == 0;
}

size_t pe_file_extent(const std::vector<uint8_t>& b) {
    if (!is_pe(b)) return 0;
    size_t pe = le_u32(&b[PE_HEADER_OFFSET_FIELD]);
    if (pe > b.size() - COFF_HEADER_SIZE) return 0;
    size_t sections = le_u16(&b[pe + SECTION_COUNT_FIELD]);
    size_t table = pe + COFF_HEADER_SIZE + le_u16(&b[pe + OPTIONAL_HEADER_SIZE_FIELD]);
    if (sections == 0 || table > b.size() || sections > (b.size() - table) / SECTION_HEADER_SIZE) return 0;
    size_t end = table + sections * SECTION_HEADER_SIZE;
    for (size_t i = 0; i < sections; i++) {
        size_t header = table + i * SECTION_HEADER_SIZE;
        uint64_t raw_end = uint64_t(le_u32(&b[header + SECTION_RAW_OFFSET_FIELD])) + le_u32(&b[header + SECTION_RAW_SIZE_FIELD]);
        if (raw_end > b.size()) return 0;
        if (raw_end > end) end = size_t(raw_end);
    }
    return end;
}
