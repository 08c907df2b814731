// The parse of a segment of the input into literals and matches, chosen by
// cost: every position's match frontier is found first, then a shortest
// path through the segment (each step a literal or a match of any length
// up to a found one) under a model of what each choice costs in bits.
// Costs are in sixteenths of a bit.
#pragma once

#include <cstdint>
#include <vector>

#include "encode/input_window.h"
#include "encode/lz_item.h"
#include "encode/match_finder.h"

inline constexpr uint32_t COST_SCALE = 16;

// The matches of each position of a segment.
struct MatchCache {
    static constexpr uint32_t PER_POSITION = 24;  // longest frontier kept
    uint32_t start = 0;
    uint32_t stop = 0;
    std::vector<uint32_t> first;  // per position: index of its first match; one more at the end
    std::vector<Match> matches;
};

// Finds the matches of positions [start, stop). A match of nice length or
// more is taken as it is: the positions it covers are entered into the
// chains without a search and get only its own continuation.
// Contract: stop <= window.end(), window holds the history behind start.
void collect_matches(MatchFinder& finder, uint32_t nice_length, const InputWindow& window, uint32_t start,
                     uint32_t stop, MatchCache& cache);

// Per position of a segment: the cheapest cost to reach it and the step
// that does, 1 for a literal or a match's length and distance.
struct ParseNode {
    uint32_t cost;
    uint16_t length;
    uint16_t distance;
};

struct ParseScratch {
    std::vector<ParseNode> nodes;
};

// The cheapest parse of the cache's segment under `costs`, which provides
// literal(byte), length(3..256) and distance(1..) in COST_SCALE units.
// Matches are cut at the segment's end.
template <class Costs>
void parse_segment(const MatchCache& cache, const InputWindow& window, const Costs& costs, ParseScratch& s,
                   std::vector<LzItem>& items) {
    const uint32_t n = cache.stop - cache.start;
    s.nodes.assign(n + 1, ParseNode{UINT32_MAX, 0, 0});
    ParseNode* __restrict node = s.nodes.data();
    node[0].cost = 0;
    const uint8_t* bytes = window.at(cache.start);
    const uint32_t* first = cache.first.data();
    const Match* matches = cache.matches.data();
    // Entry contract: node[i].cost is final when position i is reached, as
    // every step goes forward; lengths written are at most n - i.
    for (uint32_t i = 0; i < n; i++) {
        const uint32_t here = node[i].cost;
        uint32_t c = here + costs.literal(bytes[i]);
        if (c < node[i + 1].cost) node[i + 1] = {c, 1, 0};
        uint32_t covered = MIN_MATCH - 1;
        const uint32_t room = n - i;
        for (const Match *m = matches + first[i], *end = matches + first[i + 1]; m < end; m++) {
            uint32_t top = m->length < room ? m->length : room;
            if (top <= covered) continue;
            const uint32_t base = here + costs.distance(m->distance);
            for (uint32_t l = covered + 1; l <= top; l++) {
                uint32_t cl = base + costs.length(l);
                if (cl < node[i + l].cost) node[i + l] = {cl, uint16_t(l), m->distance};
            }
            covered = top;
        }
    }
    items.clear();
    for (uint32_t i = n; i > 0;) {
        uint32_t l = node[i].length;
        if (l == 1)
            items.push_back({0, bytes[i - 1]});
        else
            items.push_back({uint16_t(l), uint16_t(node[i].distance - 1)});
        i -= l;
    }
    for (size_t a = 0, b = items.size(); a + 1 < b; a++, b--) {
        LzItem t = items[a];
        items[a] = items[b - 1];
        items[b - 1] = t;
    }
}
