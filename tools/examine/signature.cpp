#include "tools/examine/signature.h"

#include "common/little_endian.h"
#include "tools/shared/pe_layout.h"
#include "tools/shared/stubs.h"

namespace {

constexpr uint16_t PE32_MAGIC = 0x10B;
constexpr uint16_t PE32_PLUS_MAGIC = 0x20B;
constexpr size_t CHECKSUM_FIELD = 64;            // in the optional header, both kinds
constexpr size_t PE32_DIRECTORIES = 96;          // where the data directories start
constexpr size_t PE32_PLUS_DIRECTORIES = 112;
constexpr size_t DIRECTORY_COUNT_BEFORE = 4;     // NumberOfRvaAndSizes stands right before them
constexpr uint32_t CERTIFICATE_DIRECTORY = 4;
constexpr size_t DIRECTORY_ENTRY_SIZE = 8;
constexpr uint16_t WIN_CERT_REVISION_2_0 = 0x0200;
constexpr uint16_t WIN_CERT_TYPE_PKCS_SIGNED_DATA = 0x0002;

}  // namespace

bool find_signature_fields(const std::vector<uint8_t>& pe, SignatureFields& fields) {
    if (!is_pe(pe)) return false;
    size_t header = le_u32(&pe[PE_HEADER_OFFSET_FIELD]);
    if (pe.size() - header < COFF_HEADER_SIZE + 2) return false;
    size_t optional = header + COFF_HEADER_SIZE;
    size_t optional_size = le_u16(&pe[header + OPTIONAL_HEADER_SIZE_FIELD]);
    uint16_t magic = le_u16(&pe[optional]);
    if (magic != PE32_MAGIC && magic != PE32_PLUS_MAGIC) return false;
    size_t directories = magic == PE32_MAGIC ? PE32_DIRECTORIES : PE32_PLUS_DIRECTORIES;
    size_t entry = directories + CERTIFICATE_DIRECTORY * DIRECTORY_ENTRY_SIZE;
    // The entry lies inside the optional header, the header inside the bytes.
    if (entry + DIRECTORY_ENTRY_SIZE > optional_size || pe.size() - optional < entry + DIRECTORY_ENTRY_SIZE) return false;
    if (le_u32(&pe[optional + directories - DIRECTORY_COUNT_BEFORE]) <= CERTIFICATE_DIRECTORY) return false;
    fields.checksum = optional + CHECKSUM_FIELD;
    fields.certificate_entry = optional + entry;
    return true;
}

CertificateTable certificate_table(const std::vector<uint8_t>& pe, const SignatureFields& fields) {
    return {le_u32(&pe[fields.certificate_entry]), le_u32(&pe[fields.certificate_entry + 4])};
}

bool is_authenticode_record(const uint8_t* header, uint32_t table_size) {
    uint32_t length = le_u32(header);
    return length >= WIN_CERTIFICATE_HEADER_SIZE && length <= table_size && le_u16(header + 4) == WIN_CERT_REVISION_2_0 &&
           le_u16(header + 6) == WIN_CERT_TYPE_PKCS_SIGNED_DATA;
}
