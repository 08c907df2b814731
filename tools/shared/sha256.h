// SHA-256 (FIPS 180-4), for the stub digests that `iunpack verify` prints.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class Sha256 {
public:
    Sha256();
    void update(const uint8_t* bytes, size_t n);
    // The digest as 64 lower-case hex digits; the object is spent after it.
    std::string hex_digest();

private:
    void compress(const uint8_t* block);

    uint32_t state_[8];      // the hash value H0..H7
    uint8_t block_[64];      // the message block being filled
    size_t filled_ = 0;      // bytes of block_ in use
    uint64_t length_ = 0;    // message bytes so far
};

std::string sha256_hex(const uint8_t* bytes, size_t n);
