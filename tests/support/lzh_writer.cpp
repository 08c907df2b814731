#include "tests/support/lzh_writer.h"

#include <algorithm>
#include <bit>
#include <random>

std::vector<uint32_t> canonical_codes(const Lengths& lengths) {
    std::vector<uint32_t> codes(lengths.size(), 0);
    uint32_t code = 0;
    for (uint32_t length = 1; length <= 16; length++) {
        for (size_t s = 0; s < lengths.size(); s++)
            if (lengths[s] == length) codes[s] = code++;
        code <<= 1;
    }
    return codes;
}

static Lengths two_lengths(size_t total, size_t short_count, uint16_t short_length) {
    Lengths lengths(total, uint16_t(short_length + 1));
    for (size_t i = 0; i < short_count; i++) lengths[i] = short_length;
    return lengths;
}

Lengths length_code_lengths() { return two_lengths(19, 13, 4); }
Lengths default_litlen_lengths() { return two_lengths(510, 2, 8); }
Lengths default_position_lengths() { return two_lengths(17, 15, 4); }

void write_small_lengths(BitWriter& out, const Lengths& lengths, bool special) {
    out.put(uint32_t(lengths.size()), 5);
    for (size_t i = 0; i < lengths.size(); i++) {
        uint32_t c = lengths[i];
        if (c < 7) {
            out.put(c, 3);
        } else {
            out.put(7, 3);
            out.ones(c - 7);
            out.put(0, 1);
        }
        if (special && i == 2) out.put(0, 2);
    }
}

void write_litlen_lengths(BitWriter& out, const Lengths& litlen, const Lengths& length_code) {
    std::vector<uint32_t> codes = canonical_codes(length_code);
    out.put(uint32_t(litlen.size()), 9);
    for (uint16_t length : litlen) {
        uint32_t symbol = length == 0 ? 0 : length + 2u;
        out.put(codes[symbol], length_code[symbol]);
    }
}

void write_items(BitWriter& out, const LzhBlock& block) {
    std::vector<uint32_t> litlen = canonical_codes(block.litlen);
    std::vector<uint32_t> position = canonical_codes(block.position);
    for (const LzhItem& item : block.items) {
        out.put(litlen[item.symbol], block.litlen[item.symbol]);
        if (item.symbol < 256) continue;
        uint32_t k = item.position == 0 ? 0 : uint32_t(std::bit_width(item.position));
        out.put(position[k], block.position[k]);
        if (k > 1) out.put(item.position - (1u << (k - 1)), k - 1);
    }
}

void write_block(BitWriter& out, const LzhBlock& block) {
    out.put(block.count < 0 ? uint32_t(block.items.size()) : uint32_t(block.count), 16);
    Lengths length_code = length_code_lengths();
    write_small_lengths(out, length_code, true);
    write_litlen_lengths(out, block.litlen, length_code);
    write_small_lengths(out, block.position, false);
    write_items(out, block);
}

Bytes lzh_stream(const std::vector<LzhBlock>& blocks) {
    BitWriter out;
    for (const LzhBlock& block : blocks) write_block(out, block);
    return out.bytes;
}

Lengths random_complete_lengths(size_t alphabet, const std::vector<uint16_t>& symbols, uint32_t seed) {
    std::mt19937 random(seed);
    // Split leaves of a full binary tree, often the deepest, until every
    // symbol has one.
    std::vector<uint16_t> depths = {1, 1};
    while (depths.size() < symbols.size()) {
        size_t i = random() % depths.size();
        if (random() % 3 == 0) i = size_t(std::max_element(depths.begin(), depths.end()) - depths.begin());
        if (depths[i] == 16) continue;
        depths[i]++;
        depths.push_back(depths[i]);
    }
    std::shuffle(depths.begin(), depths.end(), random);
    Lengths lengths(alphabet, 0);
    for (size_t i = 0; i < symbols.size(); i++) lengths[symbols[i]] = depths[i];
    return lengths;
}
