#include "tests/support/method4_writer.h"

#include <bit>

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

std::vector<Method4Item> method4_parse(const Bytes& data) {
    const size_t reach = 15872, hash_size = 1 << 16;
    std::vector<int64_t> last(hash_size, -1);
    std::vector<Method4Item> items;
    auto hash = [&](size_t i) { return (data[i] * 506832829u ^ data[i + 1] * 2654435761u ^ data[i + 2]) % hash_size; };
    size_t i = 0;
    while (i < data.size()) {
        size_t best = 0, distance = 0;
        if (i + 3 <= data.size()) {
            int64_t candidate = last[hash(i)];
            last[hash(i)] = int64_t(i);
            if (candidate >= 0 && i - size_t(candidate) <= reach) {
                size_t n = 0;
                while (n < 256 && i + n < data.size() && data[size_t(candidate) + n] == data[i + n]) n++;
                if (n >= 3) best = n, distance = i - size_t(candidate);
            }
        }
        if (best) {
            items.push_back({uint32_t(best), uint32_t(distance - 1)});
            for (size_t j = i + 1; j < i + best && j + 3 <= data.size(); j++) last[hash(j)] = int64_t(j);
            i += best;
        } else {
            items.push_back({0, data[i]});
            i++;
        }
    }
    return items;
}

Bytes method4_compress(const Bytes& data) {
    BitWriter out;
    put_items(out, method4_parse(data));
    return out.bytes;
}
