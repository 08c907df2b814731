#include "encode/lz_parser.h"

void collect_matches(MatchFinder& finder, uint32_t nice_length, const InputWindow& window, uint32_t start,
                     uint32_t stop, MatchCache& cache) {
    cache.start = start;
    cache.stop = stop;
    cache.first.resize(stop - start + 1);
    cache.matches.clear();
    const uint32_t searchable = window.end() >= MIN_MATCH ? window.end() - (MIN_MATCH - 1) : 0;
    Match found[MatchCache::PER_POSITION];
    uint32_t p = start;
    while (p < stop) {
        cache.first[p - start] = uint32_t(cache.matches.size());
        if (p >= searchable) {
            p++;
            continue;
        }
        finder.prefetch(window, p + 4);
        uint32_t count = finder.find(window, p, found, MatchCache::PER_POSITION);
        cache.matches.insert(cache.matches.end(), found, found + count);
        p++;
        if (count == 0 || found[count - 1].length < nice_length) continue;
        // A long match: the positions it covers follow it without a search.
        Match taken = found[count - 1];
        uint32_t covered_end = p - 1 + taken.length;
        if (covered_end > stop) covered_end = stop;
        for (; p < covered_end; p++) {
            cache.first[p - start] = uint32_t(cache.matches.size());
            if (p < searchable) finder.insert(window, p);
            uint32_t rest = covered_end - p;
            if (rest >= MIN_MATCH) cache.matches.push_back({uint16_t(rest), taken.distance});
        }
    }
    cache.first[stop - start] = uint32_t(cache.matches.size());
}
