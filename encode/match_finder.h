// Matches behind a position within `max_distance` bytes, as a frontier:
// each one longer than every nearer one, so for any length the nearest
// match that reaches it is listed (as far as the search goes). The
// nearest three- and four-byte matches come from tables of the latest
// position of each prefix; longer ones from hash chains over six-byte
// prefixes, which pass over the many places that share only a few bytes.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "encode/input_window.h"
#include "encode/lz_item.h"

// Prefixes are compared as 32-bit loads, first byte lowest.
static_assert(std::endian::native == std::endian::little);

struct Match {
    uint16_t length;
    uint16_t distance;  // 1 to max_distance
};

class MatchFinder {
public:
    static constexpr uint32_t HASH_BITS = 15;       // the chains over CHAIN_BYTES-byte prefixes
    static constexpr uint32_t HASH3_BITS = 12;
    static constexpr uint32_t HASH4_BITS = 14;
    static constexpr uint32_t RING = 32768;
    static constexpr uint32_t CHAIN_BYTES = 6;  // chain links kept; above every reach

    MatchFinder(uint32_t max_distance, uint32_t max_chain, uint32_t nice_length)
        : max_distance_(max_distance), max_chain_(max_chain), nice_length_(nice_length),
          head_(1u << HASH_BITS, 0), head3_(1u << HASH3_BITS, 0),
          head4_(1u << HASH4_BITS, 0), link_(RING, 0) {}

    // Enters position p into the tables. Contract: p + 3 <= window.end().
    void insert(const InputWindow& window, uint32_t p) {
        uint32_t v = load32(window.at(p));
        head3_[hash3(v)] = p + 1;
        head4_[hash4s(v)] = p + 1;
        uint32_t h = hash_long(window.at(p));
        link_[p & (RING - 1)] = link_to(p, head_[h]);
        head_[h] = p + 1;
    }

    // Asks the memory for the table entries of position p ahead of find().
    // Contract: p + 8 <= window.end() + InputWindow::PADDING.
    void prefetch(const InputWindow& window, uint32_t p) const {
        uint32_t v = load32(window.at(p));
        __builtin_prefetch(&head_[hash_long(window.at(p))]);
        __builtin_prefetch(&head3_[hash3(v)]);
        __builtin_prefetch(&head4_[hash4s(v)]);
    }

    // Enters p and lists its frontier into `out` (at most `capacity`
    // matches); returns how many. Lengths stop at window.end() and
    // MAX_MATCH. Contract: p + 3 <= window.end(), and every position before
    // p within max_distance was inserted.
    uint32_t find(const InputWindow& window, uint32_t p, Match* out, uint32_t capacity) {
        const uint8_t* here = window.at(p);
        const uint32_t v = load32(here);
        const uint32_t h3 = hash3(v);
        const uint32_t near = head3_[h3];
        head3_[h3] = p + 1;
        const uint32_t h4 = hash4s(v);
        const uint32_t near4 = head4_[h4];
        head4_[h4] = p + 1;
        const uint32_t h = hash_long(here);
        uint32_t candidate = head_[h];
        link_[p & (RING - 1)] = link_to(p, candidate);
        head_[h] = p + 1;
        uint32_t limit = window.end() - p;
        if (limit > MAX_MATCH) limit = MAX_MATCH;
        uint32_t best = MIN_MATCH - 1, found = 0;
        if (near != 0 && p + 1 - near <= max_distance_) {
            uint32_t distance = p + 1 - near;
            if (((load32(here - distance) ^ v) << 8) == 0) {
                best = common_length(here, here - distance, limit);
                out[found++] = {uint16_t(best), uint16_t(distance)};
                if (best >= nice_length_ || best == limit) return found;
            }
        }
        if (near4 != 0 && p + 1 - near4 <= max_distance_) {
            uint32_t distance = p + 1 - near4;
            if (load32(here - distance) == v && (here - distance)[best] == here[best]) {
                uint32_t length = common_length(here, here - distance, limit);
                if (length > best) {
                    best = length;
                    out[found++] = {uint16_t(best), uint16_t(distance)};
                    if (best >= nice_length_ || best == limit) return found;
                }
            }
        }
        // Each link is the distance from a position to the previous one of
        // its hash; the walk ends at a link of 0 or beyond the reach.
        uint32_t distance = candidate ? p + 1 - candidate : 0;
        for (uint32_t chain = max_chain_; distance != 0 && distance <= max_distance_ && chain > 0; chain--) {
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
    static uint32_t load32(const uint8_t* p) {
        uint32_t v;
        memcpy(&v, p, 4);
        return v;
    }
    static uint32_t hash3(uint32_t v) { return ((v << 8) * 2654435761u) >> (32 - HASH3_BITS); }
    static uint32_t hash4s(uint32_t v) { return (v * 2654435761u) >> (32 - HASH4_BITS); }
    static uint32_t hash_long(const uint8_t* p) {
        uint64_t v;
        memcpy(&v, p, 8);
        return uint32_t(((v << (64 - 8 * CHAIN_BYTES)) * 0x9E3779B97F4A7C15ull) >> (64 - HASH_BITS));
    }
    // The link from p to an earlier position (head entry `previous`, p + 1
    // stored): its distance, or 0 when there is none within the ring.
    static uint16_t link_to(uint32_t p, uint32_t previous) {
        uint32_t d = previous ? p + 1 - previous : 0;
        return uint16_t(d < RING ? d : 0);
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
    std::vector<uint32_t> head_;   // per hash of CHAIN_BYTES bytes: the latest position + 1 (0: none)
    std::vector<uint32_t> head3_;  // per hash of three bytes: the latest position + 1 (0: none)
    std::vector<uint32_t> head4_;  // per hash of four bytes: the latest position + 1 (0: none)
    std::vector<uint16_t> link_;   // per position (mod RING): distance back to the previous one of its hash, 0: none
};
