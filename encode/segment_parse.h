// Method 1's parse: the cheapest path by cost through a segment whose
// matches have been found (match_cache.h), each step a literal or a match
// of any length up to a found one.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "encode/input_window.h"
#include "encode/lz_item.h"
#include "encode/match_cache.h"
#include "encode/parse_costs.h"

// Per position of a segment: the cheapest cost to reach it and the length
// of the step that does (1 for a literal), packed as cost << 8 | length - 1,
// so that the cheaper of two is their minimum (of equal costs the shorter
// step), which compiles without a branch and eight at a time. A match's
// distance is not kept: the step of l bytes from position i always comes
// from the first of i's matches of l bytes or more, which the backtrack
// finds again.
using ParseNode = uint32_t;
inline constexpr ParseNode UNREACHED = UINT32_MAX;

// Costs are capped so that every path's cost fits in 24 bits: a step costs
// at most MAX_BYTE_COST per byte it covers (a literal that, a match's length
// and distance three times that together), so a path to position j costs at
// most MAX_BYTE_COST * j. Codes have at most 16 bits (256 sixteenths) and a
// distance 14 extra bits: the caps never bind for a real code.
inline constexpr uint32_t MAX_SEGMENT = 32768;
inline constexpr uint32_t MAX_BYTE_COST = 511;
static_assert(uint64_t(MAX_SEGMENT) * MAX_BYTE_COST < (1u << 24));

// Nodes relaxed at once where the processor has 256-bit vectors (and the
// spare entries the arrays keep past their last one for it).
inline constexpr uint32_t NODE_LANES = 8;
using NodeVector = uint32_t __attribute__((vector_size(NODE_LANES * sizeof(ParseNode))));

inline ParseNode parse_node(uint32_t cost, uint32_t length) { return cost << 8 | (length - 1); }

struct ParseScratch {
    std::vector<ParseNode> nodes;                         // per position of the segment, one for its end, and NODE_LANES - 1 spare
    ParseNode length_steps[MAX_MATCH_LENGTH + NODE_LANES] = {};  // per match length: its cost and the length, as a node
};

// The forward pass of parse_segment: node[i] for every position. With WIDE
// each match's lengths are relaxed NODE_LANES at a time: lanes past the
// match's last length (top) get an unreachable step, so their nodes are
// stored back unchanged. As top <= n - i, the lanes reach node[n +
// NODE_LANES - 1] and length_steps[MAX_MATCH_LENGTH + NODE_LANES - 1] at most:
// the spare entries.
template <bool WIDE, class Costs>
[[gnu::always_inline]] inline void parse_nodes(const MatchCache& cache, const uint8_t* bytes, const Costs& costs,
                                               ParseScratch& s) {
    const uint32_t n = cache.stop - cache.start;
    ParseNode* __restrict node = s.nodes.data();
    // Nodes are cleared just ahead of the steps that can reach them.
    const uint32_t cleared = n < MAX_MATCH_LENGTH ? n : MAX_MATCH_LENGTH;
    for (uint32_t j = 1; j <= cleared; j++) node[j] = UNREACHED;
    node[0] = 0;
    const ParseNode* __restrict length_steps = s.length_steps;
    const uint32_t* first = cache.first.data();
    const Match* matches = cache.matches.data();
    const NodeVector lanes = {0, 1, 2, 3, 4, 5, 6, 7};
    // Entry contract: node[i] is final when position i is reached, as every
    // step goes forward; nodes up to i + MAX_MATCH_LENGTH are cleared or reached,
    // and lengths written are at most n - i. `reached` is node[i], kept in
    // a register: matches reach 3 bytes on and more, so only the literal
    // step changes the next node after its steps from before are in.
    ParseNode reached = node[0];
    for (uint32_t i = 0; i < n; i++) {
        if (i + MAX_MATCH_LENGTH + 1 <= n) node[i + MAX_MATCH_LENGTH + 1] = UNREACHED;
        const uint32_t here = reached >> 8;
        reached = std::min(node[i + 1], parse_node(here + std::min(costs.literal(bytes[i]), MAX_BYTE_COST), 1));
        node[i + 1] = reached;
        uint32_t covered = MIN_MATCH_LENGTH - 1;
        const uint32_t room = n - i;
        ParseNode* __restrict ahead = node + i;
        for (const Match *m = matches + first[i], *end = matches + first[i + 1]; m < end; m++) {
            const uint32_t top = m->length < room ? m->length : room;
            if (top <= covered) continue;
            const ParseNode base = (here + std::min(costs.distance(m->distance), 2 * MAX_BYTE_COST)) << 8;
            if constexpr (WIDE) {
                for (uint32_t l = covered + 1; l <= top; l += NODE_LANES) {
                    NodeVector now, step;
                    memcpy(&now, ahead + l, sizeof now);
                    memcpy(&step, length_steps + l, sizeof step);
                    step = (step + base) | NodeVector(lanes > top - l);
                    now = step < now ? step : now;
                    memcpy(ahead + l, &now, sizeof now);
                }
            } else {
                for (uint32_t l = covered + 1; l <= top; l++) ahead[l] = std::min(ahead[l], base + length_steps[l]);
            }
            covered = top;
        }
    }
}

#if defined(__x86_64__) || defined(__i386__)
template <class Costs>
__attribute__((target("avx2"))) void parse_nodes_avx2(const MatchCache& cache, const uint8_t* bytes,
                                                       const Costs& costs, ParseScratch& s) {
    parse_nodes<true>(cache, bytes, costs, s);
}
#endif

// The cheapest parse of the cache's segment under `costs`, which provides
// literal(byte), length(3..256) and distance(1..) in COST_SCALE units.
// Matches are cut at the segment's end. `wide` takes the vector pass,
// which the processor must have (has_wide_parse()); both give the same
// items. Contract: the segment is at most MAX_SEGMENT positions.
template <class Costs>
void parse_segment(const MatchCache& cache, const InputWindow& window, const Costs& costs, ParseScratch& s,
                   std::vector<LzItem>& items, bool wide) {
    const uint32_t n = cache.stop - cache.start;
    s.nodes.resize(n + NODE_LANES);
    // Each length's cost and the length itself, placed as in a node.
    for (uint32_t l = MIN_MATCH_LENGTH; l <= MAX_MATCH_LENGTH; l++)
        s.length_steps[l] = parse_node(std::min(costs.length(l), MAX_BYTE_COST), l);
    const uint8_t* bytes = window.at(cache.start);
#if defined(__x86_64__) || defined(__i386__)
    if (wide)
        parse_nodes_avx2(cache, bytes, costs, s);
    else
#endif
        parse_nodes<false>(cache, bytes, costs, s);
    // Back from the end, each step's match found again.
    const ParseNode* node = s.nodes.data();
    const uint32_t* first = cache.first.data();
    const Match* matches = cache.matches.data();
    items.clear();
    for (uint32_t i = n; i > 0;) {
        const uint32_t l = (node[i] & 0xFF) + 1;
        i -= l;
        if (l == 1) {
            items.push_back({0, bytes[i]});
            continue;
        }
        const Match* m = matches + first[i];
        while (m->length < l) m++;
        items.push_back({uint16_t(l), uint16_t(m->distance - 1)});
    }
    std::reverse(items.begin(), items.end());
}

// Whether this processor takes parse_segment's vector pass.
inline bool has_wide_parse() {
#if defined(__x86_64__) || defined(__i386__)
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}
