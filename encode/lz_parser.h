// Parses of the input into literals and matches, chosen by what they cost
// in bits under a model (in sixteenths of a bit). parse_segment (method 1)
// finds every position's match frontier first, then the cheapest path
// through the segment, each step a literal or a match of any length up to
// a found one. parse_lazy (method 4) decides position by position.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "encode/chain_match_finder.h"
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
    std::vector<Match> matches;   // per position, by length, each longer than the one before
};

// How hard collect_matches searches.
struct SearchEffort {
    uint32_t full_steps;   // chain steps at a position that continues no match of 4 bytes or more
    uint32_t near_steps;   // at one that does: steps for nearer matches (none where it continues near_below bytes or more) ...
    uint32_t far_steps;    // ... and for longer ones
    uint32_t near_below;
    uint32_t skip_length;  // a match this long is taken as it is ...
    uint32_t skip_tail;    // ... up to its last this many bytes (fewer than skip_length)
};

// Finds the matches of positions [start, stop). A match found at p goes
// on at p + 1, one byte shorter (its continuation), so a search there
// looks mostly for longer matches. Where it looks for nearer ones too,
// the near step mostly finds the continuation itself; where it does not
// (the match goes on for near_below bytes or more), the continuation is
// listed without a search: a path that reaches p + 1 more cheaply than
// through p goes on with it. A match of skip_length or more is taken as
// it is: the positions it covers, but for its last skip_tail bytes, are
// entered into the chains without a search and get no matches, so the
// parse may cut the long match short but starts nothing inside it.
// Contract: stop <= window.end(), window holds the history behind start.
template <class Finder>
void collect_matches(Finder& finder, const SearchEffort& effort, const InputWindow& window, uint32_t start,
                     uint32_t stop, MatchCache& cache) {
    cache.start = start;
    cache.stop = stop;
    cache.first.resize(stop - start + 1);
    // Room for every position's longest frontier; `used` counts what holds
    // matches. The loop works on plain pointers, as stores through the
    // vectors' own would make the compiler reload them.
    if (cache.matches.size() < size_t(stop - start) * 2 + MatchCache::PER_POSITION)
        cache.matches.resize(size_t(stop - start) * 2 + MatchCache::PER_POSITION);
    uint32_t* const first = cache.first.data();
    Match* matches = cache.matches.data();
    size_t capacity = cache.matches.size();
    size_t used = 0;
    const uint8_t* const bytes = window.at(start);
    const uint32_t window_start = window.start(), window_end = window.end();
    const uint32_t searchable = window_end >= MIN_MATCH ? window_end - (MIN_MATCH - 1) : 0;
    // The longest match known at p (the previous position's, one byte on)
    // and its distance.
    uint32_t known = 0, known_distance = 0;
    uint32_t p = start;
    // Entry contract: positions before p are in the finder; `used` matches
    // are stored and `capacity` hold; p has a match of `known` bytes (if
    // 4 or more).
    while (p < stop) {
        first[p - start] = uint32_t(used);
        if (used + MatchCache::PER_POSITION > capacity) {
            cache.matches.resize(capacity * 2);
            matches = cache.matches.data();
            capacity = cache.matches.size();
        }
        if (p >= searchable) {
            p++;
            continue;
        }
        const uint8_t* here = bytes + (p - start);
        finder.prefetch(here + 1, p + 1);
        const uint32_t limit = window_end - p < MAX_MATCH ? window_end - p : MAX_MATCH;
        Match* found = matches + used;
        // A position that continues a match of 4 bytes or more mostly
        // looks for longer ones; inside a long one only for those, after
        // the continuation.
        const bool goes_on = known >= 4;
        const uint32_t near_steps = !goes_on ? effort.full_steps : known < effort.near_below ? effort.near_steps : 0;
        uint32_t listed = 0;
        if (goes_on && near_steps == 0) found[listed++] = {uint16_t(known), uint16_t(known_distance)};
        const uint32_t count = listed + finder.find(here, p, p - window_start, limit, goes_on ? known : 0,
                                                    found + listed, MatchCache::PER_POSITION - listed, near_steps,
                                                    goes_on ? effort.far_steps : effort.full_steps);
        used += count;
        p++;
        uint32_t longest = known;
        if (count && found[count - 1].length > known) {
            longest = found[count - 1].length;
            known_distance = found[count - 1].distance;
        }
        known = longest > 0 ? longest - 1 : 0;
        if (longest < effort.skip_length) continue;
        // A long match: the positions it covers follow it without a search
        // up to its tail, where its continuation is known.
        const uint32_t from = p - 1;
        uint32_t covered_end = from + longest > effort.skip_tail ? from + longest - effort.skip_tail : from;
        if (covered_end > stop) covered_end = stop;
        for (; p < covered_end; p++) {
            first[p - start] = uint32_t(used);
            if (p < searchable) finder.insert(bytes + (p - start), p);
        }
        known = from + longest - p;
    }
    first[stop - start] = uint32_t(used);
}

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
    ParseNode length_steps[MAX_MATCH + NODE_LANES] = {};  // per match length: its cost and the length, as a node
};

// The forward pass of parse_segment: node[i] for every position. With WIDE
// each match's lengths are relaxed NODE_LANES at a time: lanes past the
// match's last length (top) get an unreachable step, so their nodes are
// stored back unchanged. As top <= n - i, the lanes reach node[n +
// NODE_LANES - 1] and length_steps[MAX_MATCH + NODE_LANES - 1] at most:
// the spare entries.
template <bool WIDE, class Costs>
[[gnu::always_inline]] inline void parse_nodes(const MatchCache& cache, const uint8_t* bytes, const Costs& costs,
                                               ParseScratch& s) {
    const uint32_t n = cache.stop - cache.start;
    ParseNode* __restrict node = s.nodes.data();
    // Nodes are cleared just ahead of the steps that can reach them.
    const uint32_t cleared = n < MAX_MATCH ? n : MAX_MATCH;
    for (uint32_t j = 1; j <= cleared; j++) node[j] = UNREACHED;
    node[0] = 0;
    const ParseNode* __restrict length_steps = s.length_steps;
    const uint32_t* first = cache.first.data();
    const Match* matches = cache.matches.data();
    const NodeVector lanes = {0, 1, 2, 3, 4, 5, 6, 7};
    // Entry contract: node[i] is final when position i is reached, as every
    // step goes forward; nodes up to i + MAX_MATCH are cleared or reached,
    // and lengths written are at most n - i. `reached` is node[i], kept in
    // a register: matches reach 3 bytes on and more, so only the literal
    // step changes the next node after its steps from before are in.
    ParseNode reached = node[0];
    for (uint32_t i = 0; i < n; i++) {
        if (i + MAX_MATCH + 1 <= n) node[i + MAX_MATCH + 1] = UNREACHED;
        const uint32_t here = reached >> 8;
        reached = std::min(node[i + 1], parse_node(here + std::min(costs.literal(bytes[i]), MAX_BYTE_COST), 1));
        node[i + 1] = reached;
        uint32_t covered = MIN_MATCH - 1;
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
    for (uint32_t l = MIN_MATCH; l <= MAX_MATCH; l++)
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

// A faster parse: at each position the match that saves the most bits
// against literals, unless the match is shorter than `lazy_below` and the
// next position has one that saves more than a literal costs (then a
// literal goes first). The positions a match covers are entered into the
// chains without a search. Each item goes to emit(LzItem) as it is chosen.
// Contract: start < stop <= window.end(), the finder holds the history
// before start.
template <uint32_t RING_BITS, class Costs, class Emit>
void parse_lazy(MatchFinder<RING_BITS>& finder, uint32_t max_chain, const InputWindow& window, uint32_t start,
                uint32_t stop, const Costs& costs, uint32_t lazy_below, Emit&& emit) {
    const uint32_t searchable = window.end() >= MIN_MATCH ? window.end() - (MIN_MATCH - 1) : 0;
    Match found[MatchCache::PER_POSITION];
    // The frontier's best match at p, cut at stop, by bits saved; 0 saved: none.
    const uint32_t window_start = window.start(), window_end = window.end();
    auto best_at = [&](uint32_t p, Match& best) -> int32_t {
        if (p >= searchable) return 0;
        const uint8_t* here = window.at(p);
        finder.prefetch(here + 1);
        uint32_t limit = window_end - p < MAX_MATCH ? window_end - p : MAX_MATCH;
        uint32_t count = finder.find(here, p, p - window_start, limit, found, MatchCache::PER_POSITION, max_chain);
        int32_t best_saving = 0;
        for (uint32_t k = 0; k < count; k++) {
            uint32_t length = found[k].length < stop - p ? found[k].length : stop - p;
            if (length < MIN_MATCH) continue;
            int32_t saving = int32_t(costs.literal_run(window.at(p), length)) - int32_t(costs.length(length) + costs.distance(found[k].distance));
            if (saving > best_saving) {
                best_saving = saving;
                best = {uint16_t(length), found[k].distance};
            }
        }
        return best_saving;
    };
    Match current{0, 0};
    int32_t saving = best_at(start, current);
    for (uint32_t p = start; p < stop;) {
        if (saving <= 0) {
            emit(LzItem{0, *window.at(p)});
            p++;
            if (p < stop) saving = best_at(p, current);
            continue;
        }
        Match next{0, 0};
        const bool look = current.length < lazy_below;
        int32_t next_saving = p + 1 < stop && look ? best_at(p + 1, next) : 0;
        if (next_saving - int32_t(costs.literal(*window.at(p))) > saving) {
            emit(LzItem{0, *window.at(p)});
            p++;
            current = next;
            saving = next_saving;
            continue;
        }
        emit(LzItem{current.length, uint16_t(current.distance - 1)});
        uint32_t end = p + current.length;
        for (uint32_t q = look ? p + 2 : p + 1; q < end; q++)
            if (q < searchable) finder.insert(window.at(q), q);
        p = end;
        if (p < stop) saving = best_at(p, current);
    }
}
