// SHA-256 against the FIPS 180-4 example messages, fed whole and in
// pieces that cross the 64-byte blocks.
#include <gtest/gtest.h>

#include <string>

#include "tools/shared/sha256.h"

namespace {

std::string digest_in_pieces(const std::string& message, size_t piece) {
    Sha256 hash;
    for (size_t at = 0; at < message.size(); at += piece) {
        size_t n = message.size() - at < piece ? message.size() - at : piece;
        hash.update(reinterpret_cast<const uint8_t*>(message.data()) + at, n);
    }
    return hash.hex_digest();
}

TEST(Sha256, StandardVectors) {
    struct Case {
        std::string message;
        const char* digest;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sha256_hex(reinterpret_cast<const uint8_t*>(c.message.data()), c.message.size()), c.digest)
            << c.message.size();
        for (size_t piece : {1, 55, 63, 64, 65})
            EXPECT_EQ(digest_in_pieces(c.message, piece), c.digest) << c.message.size() << " in pieces of " << piece;
    }
}

}  // namespace
