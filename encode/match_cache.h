// Method 1's search: the match frontier of every position of a segment,
// found before the segment is parsed (segment_parse.h).
#pragma once

#include <cstdint>
#include <vector>

#include "encode/input_window.h"
#include "encode/lz_item.h"
#include "encode/match_finder.h"

// The matches of each position of a segment.
struct MatchCache {
    static constexpr uint32_t PER_POSITION = FRONTIER_MAX;  // longest frontier kept
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
    const uint32_t searchable = window_end >= MIN_MATCH_LENGTH ? window_end - (MIN_MATCH_LENGTH - 1) : 0;
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
        const uint32_t limit = window_end - p < MAX_MATCH_LENGTH ? window_end - p : MAX_MATCH_LENGTH;
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
