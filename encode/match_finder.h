// Hash chains over three-byte prefixes: for a position, the matches that
// start within `max_distance` bytes behind it, as a frontier: each one
// longer than every nearer one, so for any length the nearest match that
// reaches it is listed.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "encode/input_window.h"
#include "encode/lz_item.h"

struct Match {
    uint16_t length;
    uint16_t distance;  // 1 to max_distance
};

class MatchFinder {
public:
    static constexpr uint32_t HASH_BITS = 16;
    static constexpr uint32_t RING = 32768;  // chain links kept; above every reach

    MatchFinder(uint32_t max_distance, uint32_t max_chain, uint32_t nice_length)
        : max_distance_(max_distance), max_chain_(max_chain), nice_length_(nice_length),
          head_(1u << HASH_BITS, 0), link_(RING, 0) {}

    // Enters position p (its three bytes) into the chains.
    // Contract: p + 3 <= window.end().
    void insert(const InputWindow& window, uint32_t p) {
        uint32_t h = hash(window.at(p));
        link_[p & (RING - 1)] = head_[h];
        head_[h] = p + 1;
    }

    // Enters p and lists its frontier into `out` (at most `capacity`
    // matches); returns how many. Lengths stop at window.end() and
    // MAX_MATCH. Contract: p + 3 <= window.end(), and every position before
    // p within max_distance was inserted.
    uint32_t find(const InputWindow& window, uint32_t p, Match* out, uint32_t capacity) {
        const uint8_t* here = window.at(p);
        uint32_t h = hash(here);
        uint32_t candidate = head_[h];
        link_[p & (RING - 1)] = candidate;
        head_[h] = p + 1;
        uint32_t limit = window.end() - p;
        if (limit > MAX_MATCH) limit = MAX_MATCH;
        uint32_t best = MIN_MATCH - 1, found = 0;
        for (uint32_t chain = max_chain_; candidate != 0 && chain > 0; chain--) {
            uint32_t distance = p + 1 - candidate;
            if (distance > max_distance_) break;
            const uint8_t* there = here - distance;
            if (there[best] == here[best]) {
                uint32_t length = common_length(here, there, limit);
                if (length > best) {
                    best = length;
                    out[found++] = {uint16_t(length), uint16_t(distance)};
                    if (length >= nice_length_ || length == limit || found == capacity) break;
                }
            }
            candidate = link_[(candidate - 1) & (RING - 1)];
        }
        return found;
    }

private:
    static uint32_t hash(const uint8_t* p) {
        uint32_t v;
        memcpy(&v, p, 4);
        return ((v & 0xFFFFFF) * 2654435761u) >> (32 - HASH_BITS);
    }
    // Bytes equal at the two places, up to limit (at most MAX_MATCH). The
    // window's padding lets the 8-byte loads run up to 8 bytes past the data.
    static uint32_t common_length(const uint8_t* a, const uint8_t* b, uint32_t limit) {
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

    uint32_t max_distance_;
    uint32_t max_chain_;
    uint32_t nice_length_;
    std::vector<uint32_t> head_;  // per hash: the latest position + 1 (0: none)
    std::vector<uint32_t> link_;  // per position (mod RING): the previous one with its hash + 1
};
