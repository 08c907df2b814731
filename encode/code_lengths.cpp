#include "encode/code_lengths.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t MAX_SYMBOLS = 1024;

struct Leaf {
    uint32_t frequency;
    uint32_t symbol;
};

// Depths of a Huffman tree over `leaves` (sorted by frequency), by the
// two-queue method: leaves in order, then the internal nodes in the order
// they were made, which is also by weight.
void huffman_depths(const Leaf* leaves, uint32_t n, uint32_t* depth) {
    uint64_t weight[2 * MAX_SYMBOLS];
    uint32_t parent[2 * MAX_SYMBOLS];
    for (uint32_t i = 0; i < n; i++) weight[i] = leaves[i].frequency;
    uint32_t next_leaf = 0, next_node = n, made = n;
    auto take = [&]() {
        if (next_leaf < n && (next_node >= made || weight[next_leaf] <= weight[next_node])) return next_leaf++;
        return next_node++;
    };
    while (made < 2 * n - 1) {
        uint32_t a = take(), b = take();
        weight[made] = weight[a] + weight[b];
        parent[a] = parent[b] = made;
        made++;
    }
    // Nodes are made after their children: walk down from the root.
    uint32_t node_depth[2 * MAX_SYMBOLS];
    node_depth[made - 1] = 0;
    for (uint32_t i = made - 1; i-- > 0;) node_depth[i] = node_depth[parent[i]] + 1;
    for (uint32_t i = 0; i < n; i++) depth[i] = node_depth[i];
}

}  // namespace

uint32_t limited_code_lengths(const uint32_t* frequencies, uint32_t count, uint32_t max_length, uint8_t* lengths) {
    memset(lengths, 0, count);
    Leaf leaves[MAX_SYMBOLS];
    uint32_t n = 0;
    for (uint32_t s = 0; s < count; s++)
        if (frequencies[s]) leaves[n++] = {frequencies[s], s};
    if (n < 2) return n;
    // By frequency, equal ones in symbol order (as the leaves were made).
    std::sort(leaves, leaves + n, [](const Leaf& a, const Leaf& b) {
        return a.frequency != b.frequency ? a.frequency < b.frequency : a.symbol < b.symbol;
    });
    uint32_t depth[MAX_SYMBOLS];
    huffman_depths(leaves, n, depth);

    // Too deep: cut to max_length, then lengthen the deepest codes still
    // below it (the rarest first) until the code space is no longer
    // overfull. Space is counted in units of 2^-max_length.
    const uint64_t full = uint64_t(1) << max_length;
    uint64_t used = 0;
    for (uint32_t i = 0; i < n; i++) {
        if (depth[i] > max_length) depth[i] = max_length;
        used += full >> depth[i];
    }
    // Depths do not grow along the leaves (rarer ones are merged first), so
    // the deepest below max_length, the rarest of them, is the first leaf
    // below it; lengthening it keeps that order.
    for (uint32_t best = 0; used > full;) {
        while (depth[best] == max_length) best++;
        used -= full >> (depth[best] + 1);
        depth[best]++;
    }
    // Then fill what is left, the most frequent first: shortening a code
    // takes as much space again as it has. The space left is a multiple of
    // the smallest code's share, so this ends with the space exactly full.
    while (used < full) {
        for (uint32_t i = n; i-- > 0;) {
            uint64_t gain = full >> depth[i];
            if (depth[i] > 1 && used + gain <= full) {
                used += gain;
                depth[i]--;
                break;
            }
        }
    }
    for (uint32_t i = 0; i < n; i++) lengths[leaves[i].symbol] = uint8_t(depth[i]);
    return n;
}

void canonical_codes(const uint8_t* lengths, uint32_t count, uint16_t* codes) {
    uint32_t per_length[MAX_CODE_LENGTH + 1] = {};
    for (uint32_t s = 0; s < count; s++) per_length[lengths[s]]++;
    per_length[0] = 0;
    uint32_t next[MAX_CODE_LENGTH + 2] = {};
    for (uint32_t length = 1; length <= MAX_CODE_LENGTH; length++) next[length + 1] = (next[length] + per_length[length]) << 1;
    for (uint32_t s = 0; s < count; s++)
        if (lengths[s]) codes[s] = uint16_t(next[lengths[s]]++);
}
