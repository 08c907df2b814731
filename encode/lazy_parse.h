// Method 4's parse: decided position by position while the chains are
// walked, by the bits a match saves against literals.
#pragma once

#include <cstdint>

#include "encode/input_window.h"
#include "encode/lz_item.h"
#include "encode/match_finder.h"
#include "encode/parse_costs.h"

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
    const uint32_t searchable = window.end() >= MIN_MATCH_LENGTH ? window.end() - (MIN_MATCH_LENGTH - 1) : 0;
    Match found[FRONTIER_MAX];
    // The frontier's best match at p, cut at stop, by bits saved; 0 saved: none.
    const uint32_t window_start = window.start(), window_end = window.end();
    auto best_at = [&](uint32_t p, Match& best) -> int32_t {
        if (p >= searchable) return 0;
        const uint8_t* here = window.at(p);
        finder.prefetch(here + 1);
        uint32_t limit = window_end - p < MAX_MATCH_LENGTH ? window_end - p : MAX_MATCH_LENGTH;
        uint32_t count = finder.find(here, p, p - window_start, limit, found, FRONTIER_MAX, max_chain);
        int32_t best_saving = 0;
        for (uint32_t k = 0; k < count; k++) {
            uint32_t length = found[k].length < stop - p ? found[k].length : stop - p;
            if (length < MIN_MATCH_LENGTH) continue;
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
