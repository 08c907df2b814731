#include "tests/support/method4_writer.h"

#include <bit>

#include "encode/memory_coding.h"

void put_length_code(BitWriter& out, uint32_t code) {
    uint32_t k = uint32_t(std::bit_width(code + 1)) - 1;  // 2^k - 1 <= code
    if (k > 7) k = 7;
    out.ones(k);
    if (k < 7) out.put(0, 1);
    if (k > 0) out.put(code - ((1u << k) - 1), k);
}

void put_distance_code(BitWriter& out, uint32_t code) {
    uint32_t k = 0;
    while (k < 4 && code >= (1u << (10 + k)) - 512) k++;
    out.ones(k);
    if (k < 4) out.put(0, 1);
    out.put(code - ((1u << (9 + k)) - 512), 9 + k);
}

void put_items(BitWriter& out, const std::vector<Method4Item>& items) {
    for (const Method4Item& item : items) {
        if (item.length == 0) {
            out.put(0, 1);
            out.put(item.value, 8);
            continue;
        }
        put_length_code(out, item.length - 2);
        put_distance_code(out, item.value);
    }
}

Bytes method4_compress(const Bytes& data) { return compress_bytes(4, data.data(), data.size()); }
