// Coding of buffers in memory, for callers that hold an entry whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The entry data of `bytes` in method 0, 1 or 4, exactly as the coder
// makes it (never stored instead). Contract: n < 4 GiB.
std::vector<uint8_t> compress_bytes(uint8_t method, const uint8_t* bytes, size_t n);
