// What Authenticode signing adds to a PE file after it was built (and so
// to an installer after pack): in the PE headers the certificate table's
// entry among the optional header's data directories (the file offset and
// size of the certificate data; both 0 before) and the PE checksum; at the
// end of the file the certificate data, behind up to 7 zero bytes that
// align it to 8 bytes. The data starts with a WIN_CERTIFICATE record:
// length (4 bytes), revision (2), certificate type (2).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

inline constexpr size_t CHECKSUM_SIZE = 4;
inline constexpr size_t CERTIFICATE_ENTRY_SIZE = 8;
inline constexpr uint32_t CERTIFICATE_ALIGNMENT = 8;
inline constexpr size_t WIN_CERTIFICATE_HEADER_SIZE = 8;

// Where signing writes in the PE headers.
struct SignatureFields {
    size_t checksum;           // file offset of the optional header's CheckSum
    size_t certificate_entry;  // file offset of the certificate table's data-directory entry
};

// The places in the PE headers at the start of `pe`. False when there are
// none: no PE file, or an optional header without a certificate table entry.
bool find_signature_fields(const std::vector<uint8_t>& pe, SignatureFields& fields);

struct CertificateTable {
    uint32_t offset;  // file offset of the certificate data; 0 when unsigned
    uint32_t size;    // its size in bytes
};
CertificateTable certificate_table(const std::vector<uint8_t>& pe, const SignatureFields& fields);

// Whether `header`, the first WIN_CERTIFICATE_HEADER_SIZE bytes of
// certificate data of `table_size` bytes, is the record of an Authenticode
// signature: a length that fits, revision 2.0, type PKCS #7 SignedData.
bool is_authenticode_record(const uint8_t* header, uint32_t table_size);
