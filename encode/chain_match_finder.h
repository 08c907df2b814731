// Matches behind a position within `max_distance` bytes, as a frontier:
// each one longer than every nearer one, so for any length the nearest
// match that reaches it is listed (as far as the search goes). The
// nearest match of three bytes comes from a table of the latest position
// of each three-byte prefix; longer ones from hash chains over 4- and
// 16-byte prefixes. The walk starts on the 4-byte chain and moves to the
// 16-byte one as soon as a match has that length: from then on only places
// that share the prefix are visited, which passes over the many that
// share only a few bytes. Matches longer than a known one are looked for
// on the chain of the stretch where the known one ends (see find()).
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "encode/lz_item.h"
#include "encode/match_finder.h"

// RING_BITS sizes the chain links for the reach: 2^RING_BITS of them per
// chain, above max_distance.
template <uint32_t RING_BITS>
class ChainMatchFinder {
public:
    static constexpr uint32_t RING = 1u << RING_BITS;
    static constexpr uint32_t HASH_BITS = 16;  // fewer places that share only the hash
    static constexpr uint32_t LEVELS = 2;
    static constexpr uint32_t PREFIX[LEVELS] = {4, 16};  // bytes hashed by each chain

    // Contract: max_distance < RING, nice_length <= MAX_MATCH_LENGTH.
    ChainMatchFinder(uint32_t max_distance, uint32_t nice_length)
        : max_distance_(max_distance), nice_length_(nice_length) {
        reset();
    }

    // Empty, as made.
    void reset() {
        head3_.assign(1u << HASH3_BITS, 0);
        for (uint32_t l = 0; l < LEVELS; l++) {
            head_[l].assign(1u << HASH_BITS, 0);
            link_[l].assign(RING, 0);
        }
        next_ = UINT32_MAX;
        stretch_at_ = UINT32_MAX;
    }

    // Positions are given with `here`, the address of their first byte in
    // an InputWindow, which lets the 16 bytes hashed from there run past
    // the data into its padding (their values do not matter there).

    // Enters position p into the tables.
    void insert(const uint8_t* here, uint32_t p) {
        uint32_t h[LEVELS];
        hashes(here, h);
        head3_[hash3(load32(here))] = uint16_t(p);
        const uint32_t slot = p & (RING - 1);
        for (uint32_t l = 0; l < LEVELS; l++) {
            link_[l][slot] = uint16_t(p - head_[l][h[l]]);
            head_[l][h[l]] = uint16_t(p);
        }
    }

    // Asks the memory for the next position's chain heads ahead of its
    // find() (which then takes the hashes from here).
    void prefetch(const uint8_t* here, uint32_t p) {
        hashes(here, next_hashes_);
        next_ = p;
        for (uint32_t l = 0; l < LEVELS; l++) __builtin_prefetch(&head_[l][next_hashes_[l]]);
    }

    // Enters p and lists its frontier into `out` (at most `capacity`
    // matches); returns how many. `behind` is the number of bytes the
    // window holds before p, `limit` the longest match wanted (at most
    // MAX_MATCH_LENGTH and the bytes from p to the window's end). A match of
    // `known` bytes is known already (0: none): after `near_steps` steps
    // along the chains only longer matches are looked for, for at most
    // `far_steps` more. Contract: p + 3 <= window end, and every position
    // before p within max_distance was entered.
    uint32_t find(const uint8_t* here, uint32_t p, uint32_t behind, uint32_t limit, uint32_t known, Match* out,
                  uint32_t capacity, uint32_t near_steps, uint32_t far_steps) {
        const uint32_t v = load32(here);
        // Distances as the tables give them (mod 65536), checked against
        // the reach and the window's start; the bytes are compared.
        const uint32_t reach = behind < max_distance_ ? behind : max_distance_;
        const uint32_t h3 = hash3(v);
        const uint32_t near = uint16_t(p - head3_[h3]);
        head3_[h3] = uint16_t(p);
        uint32_t h[LEVELS];
        if (p == next_)
            memcpy(h, next_hashes_, sizeof h);
        else
            hashes(here, h);
        const uint32_t slot = p & (RING - 1);
        uint32_t distance = 0;
        for (uint32_t l = 0; l < LEVELS; l++) {
            const uint32_t latest = uint16_t(p - head_[l][h[l]]);
            link_[l][slot] = uint16_t(latest);
            head_[l][h[l]] = uint16_t(p);
            if (l == 0) distance = latest;
        }
        uint32_t best = MIN_MATCH_LENGTH - 1, found = 0, level = 0;
        // Where a known match goes on, the nearest place that shares p's
        // first four bytes is one step along the chain below, which mostly
        // also gives the nearest three-byte match.
        if (known == 0 && near != 0 && near <= reach && ((load32(here - near) ^ v) << 8) == 0) {
            best = common_length(here, here - near, limit);
            out[found++] = {uint16_t(best), uint16_t(near)};
            if (best >= nice_length_ || best == limit) return found;
            // Nothing nearer shares three bytes: the chains go on from there.
            if (best >= PREFIX[0]) {
                level = level_of(best);
                uint32_t step = link_[level][(p - near) & (RING - 1)];
                distance = step ? near + step : 0;
            }
        }
        const uint16_t* link = link_[level].data();
        uint32_t seen = 0;  // the farthest distance visited
        // Entry contract: `distance` is the next candidate on chain `level`
        // (0: none), every match found so far is in `out`, and a longer one
        // shares PREFIX[level] bytes with p.
        for (uint32_t steps = near_steps; distance != 0 && distance <= reach && steps > 0; steps--) {
            const uint8_t* there = here - distance;
            seen = distance;
            if (there[best] == here[best] && load32(there) == v) {
                uint32_t length = common_length(here, there, limit);
                if (length > best) {
                    best = length;
                    out[found++] = {uint16_t(length), uint16_t(distance)};
                    if (length >= nice_length_ || length == limit || found == capacity) return found;
                    if (level + 1 < LEVELS && best >= PREFIX[level + 1]) {
                        level = level_of(best);
                        link = link_[level].data();
                    }
                }
            }
            uint32_t step = link[(p - distance) & (RING - 1)];
            distance = step ? distance + step : 0;
        }
        // Longer matches than the known one (or the best found) share the
        // byte where that one ends and PREFIX[k] - 1 bytes before it: they
        // are on the chain of that stretch, which starts `offset` bytes on
        // and is much shorter than p's own where many places share p's
        // first bytes. Places closer than the offset are not entered yet.
        if (known > best) best = known < limit ? known : limit;
        if (best + 1 < PREFIX[0] || best == limit || far_steps == 0) return found;
        level = level_of(best + 1);
        const uint32_t offset = best + 1 - PREFIX[level];
        // An earlier position asked for the same stretch (its known match
        // goes on here): its places are at the same distances, and one
        // that shares the byte before p gave a match one byte longer at
        // p - 1, not longer than the known one. Only the others are looked
        // at (the byte before the window is not read).
        if (level == stretch_level_ && p + offset == stretch_at_) {
            for (uint32_t k = 0; k < stretch_count_; k++) {
                const uint32_t d = stretch_distances_[k];
                const uint8_t* there = here - d;
                if ((d == behind || there[-1] != here[-1]) && d <= reach && there[best] == here[best] &&
                    load32(there) == v) {
                    uint32_t length = common_length(here, there, limit);
                    if (length > best) {
                        best = length;
                        out[found++] = {uint16_t(length), uint16_t(d)};
                        if (length >= nice_length_ || length == limit || found == capacity) break;
                    }
                }
            }
            return found;
        }
        link = link_[level].data();
        distance = uint16_t(p + offset - head_[level][hash_at(here + offset, level)]);
        stretch_level_ = level;
        stretch_at_ = p + offset;
        stretch_count_ = 0;
        for (uint32_t steps = far_steps; distance != 0 && distance <= reach && steps > 0; steps--) {
            const uint8_t* there = here - distance;
            if (stretch_count_ < MAX_STRETCH_PLACES) stretch_distances_[stretch_count_++] = uint16_t(distance);
            if (distance > seen && there[best] == here[best] && load32(there) == v) {
                uint32_t length = common_length(here, there, limit);
                if (length > best) {
                    best = length;
                    out[found++] = {uint16_t(length), uint16_t(distance)};
                    if (length >= nice_length_ || length == limit || found == capacity) {
                        stretch_at_ = UINT32_MAX;
                        return found;
                    }
                }
            }
            uint32_t step = link[(p + offset - distance) & (RING - 1)];
            distance = step ? distance + step : 0;
        }
        return found;
    }

private:
    static uint32_t level_of(uint32_t length) {
        uint32_t level = 0;
        while (level + 1 < LEVELS && length >= PREFIX[level + 1]) level++;
        return level;
    }
    static uint32_t hash4(uint64_t a) { return (uint32_t(a) * 2654435761u) >> (32 - HASH_BITS); }
    static uint32_t hash16(uint64_t a, uint64_t b) {
        return uint32_t(((a ^ (b * 0xC2B2AE3D27D4EB4Full)) * 0x9E3779B97F4A7C15ull) >> (64 - HASH_BITS));
    }
    static void hashes(const uint8_t* here, uint32_t* h) {
        const uint64_t a = load64(here), b = load64(here + 8);
        h[0] = hash4(a);
        h[1] = hash16(a, b);
    }
    static uint32_t hash_at(const uint8_t* here, uint32_t level) {
        const uint64_t a = load64(here);
        return level == 0 ? hash4(a) : hash16(a, load64(here + 8));
    }

    uint32_t max_distance_;  // the farthest match
    uint32_t nice_length_;   // a match this long ends the search
    // Positions are kept mod 65536, so an entry may be stale or wrong:
    // every candidate is checked against the reach and compared.
    std::vector<uint16_t> head3_;         // per hash of three bytes: the latest position
    std::vector<uint16_t> head_[LEVELS];  // per chain, per hash of its prefix: the latest position
    std::vector<uint16_t> link_[LEVELS];  // per chain, per position (mod RING): distance back to the previous one of its hash
    uint32_t next_ = UINT32_MAX;          // the position prefetch() was last given ...
    uint32_t next_hashes_[LEVELS] = {};   // ... and its hashes
    static constexpr uint32_t MAX_STRETCH_PLACES = 64;
    uint32_t stretch_at_ = UINT32_MAX;    // the stretch the last walk for longer matches took (its first byte) ...
    uint32_t stretch_level_ = 0;          // ... its chain ...
    uint32_t stretch_count_ = 0;          // ... and the distances of the places it visited
    uint16_t stretch_distances_[MAX_STRETCH_PLACES] = {};
};
