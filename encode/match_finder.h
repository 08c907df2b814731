// Matches behind a position within `max_distance` bytes, as a frontier:
// each one longer than every nearer one, so for any length the nearest
// match that reaches it is listed (as far as the search goes). The
// nearest match of three bytes or more comes from a table of the latest
// position of each three-byte prefix; longer ones from hash chains over
// six-byte prefixes, which pass over the many places that share only a
// few bytes.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "encode/input_window.h"
#include "encode/lz_item.h"

// Prefixes are compared as 32-bit loads, first byte lowest.
static_assert(std::endian::native == std::endian::little);

// Bytes equal at the two places, up to limit (at most MAX_MATCH_LENGTH). The
// window's padding lets the 8-byte loads run up to 8 bytes past the data.
inline uint32_t common_length(const uint8_t* a, const uint8_t* b, uint32_t limit) {
    uint32_t n = 0;
    while (n < limit) {
        uint64_t x, y;
        memcpy(&x, a + n, 8);
        memcpy(&y, b + n, 8);
        if (uint64_t d = x ^ y) {
            n += uint32_t(__builtin_ctzll(d)) >> 3;
            return n < limit ? n : limit;
        }
        n += 8;
    }
    return limit;
}

// Unaligned loads of the window's bytes.
inline uint32_t load32(const uint8_t* p) {
    uint32_t v;
    memcpy(&v, p, 4);
    return v;
}
inline uint64_t load64(const uint8_t* p) {
    uint64_t v;
    memcpy(&v, p, 8);
    return v;
}

// Both finders keep the latest position of each three-byte prefix, in a
// table of 2^HASH3_BITS entries indexed by hash3 of the prefix's load32.
inline constexpr uint32_t HASH3_BITS = 12;
inline uint32_t hash3(uint32_t v) { return ((v << 8) * 2654435761u) >> (32 - HASH3_BITS); }

struct Match {
    uint16_t length;
    uint16_t distance;  // 1 to max_distance
};

// The most matches a position's frontier is given room for.
inline constexpr uint32_t FRONTIER_MAX = 24;

// Enters the positions before `start` into a reset finder, as far back as
// a match reaches. Contract: the window holds them.
template <class Finder>
void enter_history(Finder& finder, const InputWindow& window, uint32_t start, uint32_t reach) {
    const uint32_t from = start > reach ? start - reach : 0;
    for (uint32_t p = from; p < start && p + MIN_MATCH_LENGTH <= window.end(); p++) finder.insert(window.at(p), p);
}

// RING_BITS sizes the tables for the reach: 2^RING_BITS chain links, above
// max_distance, and as many chain heads, so that a short reach keeps
// them in the nearest cache.
template <uint32_t RING_BITS>
class MatchFinder {
public:
    static constexpr uint32_t RING = 1u << RING_BITS;
    static constexpr uint32_t HASH_BITS = RING_BITS;  // the chains over CHAIN_BYTES-byte prefixes
    static constexpr uint32_t CHAIN_BYTES = 6;

    // Contract: max_distance < RING.
    MatchFinder(uint32_t max_distance, uint32_t nice_length)
        : max_distance_(max_distance), nice_length_(nice_length),
          head_(1u << HASH_BITS, 0), head3_(1u << HASH3_BITS, 0),
          link_(RING, 0) {}

    // Empty, as made.
    void reset() {
        head_.assign(head_.size(), 0);
        head3_.assign(head3_.size(), 0);
        link_.assign(link_.size(), 0);
    }

    // Positions are given with `here`, the address of their first byte in
    // an InputWindow: at least 8 bytes can be read there.

    // Enters position p into the tables. Contract: p + 3 <= window end.
    void insert(const uint8_t* here, uint32_t p) {
        head3_[hash3(load32(here))] = uint16_t(p);
        uint32_t h = hash_long(here);
        link_[p & (RING - 1)] = uint16_t(p - head_[h]);
        head_[h] = uint16_t(p);
    }

    // Asks the memory for a position's chain head ahead of find().
    void prefetch(const uint8_t* here) const { __builtin_prefetch(&head_[hash_long(here)]); }

    // Enters p and lists its frontier into `out` (at most `capacity`
    // matches, at most `max_chain` steps along the chain); returns how
    // many. `behind` is the number of bytes the window holds before p,
    // `limit` the longest match wanted (at most MAX_MATCH_LENGTH and the bytes
    // from p to the window's end). Contract: p + 3 <= window end, and every
    // position before p within max_distance was inserted.
    uint32_t find(const uint8_t* here, uint32_t p, uint32_t behind, uint32_t limit, Match* out, uint32_t capacity,
                  uint32_t max_chain) {
        const uint32_t v = load32(here);
        // Distances as the tables give them (mod 65536), checked against
        // the reach and the window's start; the bytes are compared.
        const uint32_t reach = behind < max_distance_ ? behind : max_distance_;
        const uint32_t h3 = hash3(v);
        const uint32_t near = uint16_t(p - head3_[h3]);
        head3_[h3] = uint16_t(p);
        const uint32_t h = hash_long(here);
        const uint32_t first = uint16_t(p - head_[h]);
        link_[p & (RING - 1)] = uint16_t(first);
        head_[h] = uint16_t(p);
        uint32_t best = MIN_MATCH_LENGTH - 1, found = 0;
        if (near != 0 && near <= reach) {
            uint32_t distance = near;
            if (((load32(here - distance) ^ v) << 8) == 0) {
                best = common_length(here, here - distance, limit);
                out[found++] = {uint16_t(best), uint16_t(distance)};
                if (best >= nice_length_ || best == limit) return found;
            }
        }
        // Each link is the distance from a position to the previous one of
        // its hash; the walk ends at a link of 0 or beyond the reach.
        uint32_t distance = first;
        for (uint32_t chain = max_chain; distance != 0 && distance <= reach && chain > 0; chain--) {
            const uint8_t* there = here - distance;
            if (there[best] == here[best] && load32(there) == v) {
                uint32_t length = common_length(here, there, limit);
                if (length > best) {
                    best = length;
                    out[found++] = {uint16_t(length), uint16_t(distance)};
                    if (length >= nice_length_ || length == limit || found == capacity) break;
                }
            }
            uint32_t step = link_[(p - distance) & (RING - 1)];
            distance = step ? distance + step : 0;
        }
        return found;
    }

private:
    static uint32_t hash_long(const uint8_t* p) {
        return uint32_t(((load64(p) << (64 - 8 * CHAIN_BYTES)) * 0x9E3779B97F4A7C15ull) >> (64 - HASH_BITS));
    }

    uint32_t max_distance_;  // the farthest match
    uint32_t nice_length_;   // a match this long ends the search
    // Positions are kept mod 65536, so an entry may be stale or wrong:
    // every candidate is checked against the reach and compared.
    std::vector<uint16_t> head_;   // per hash of CHAIN_BYTES bytes: the latest position
    std::vector<uint16_t> head3_;  // per hash of three bytes: the latest position
    std::vector<uint16_t> link_;   // per position (mod RING): distance back to the previous one of its hash
};
