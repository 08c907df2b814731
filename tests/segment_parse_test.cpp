// Method 1's parse: the vector pass and the plain one choose the same items
// (archives must not depend on the processor), and the items rebuild the
// segment, also where step costs pass their caps.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "encode/lz_huffman_search.h"
#include "encode/segment_parse.h"

namespace {

// Costs from a seed: literals, lengths and distances each drawn from
// [low, low + spread).
struct DrawnCosts {
    uint32_t literal_cost[256];
    uint32_t length_cost[MAX_MATCH_LENGTH + 1];
    uint32_t distance_cost[17];

    DrawnCosts(uint32_t seed, uint32_t low, uint32_t spread) {
        std::mt19937 rng(seed);
        for (uint32_t& c : literal_cost) c = low + rng() % spread;
        for (uint32_t& c : length_cost) c = low + rng() % spread;
        for (uint32_t& c : distance_cost) c = low + rng() % spread;
    }
    uint32_t literal(uint8_t b) const { return literal_cost[b]; }
    uint32_t length(uint32_t l) const { return length_cost[l]; }
    uint32_t distance(uint32_t d) const { return distance_cost[32 - __builtin_clz(d)]; }
};

// The segment [start, stop) of `data` rebuilt from the items, with the bytes
// before start as history.
std::vector<uint8_t> rebuild(const std::vector<uint8_t>& data, uint32_t start, const std::vector<LzItem>& items) {
    std::vector<uint8_t> out(data.begin(), data.begin() + start);
    for (const LzItem& item : items) {
        if (item.length == 0) {
            out.push_back(uint8_t(item.value));
            continue;
        }
        for (uint32_t k = 0; k < item.length; k++) out.push_back(out[out.size() - item.value - 1]);
    }
    return std::vector<uint8_t>(out.begin() + start, out.end());
}

TEST(SegmentParse, VectorAndPlainPassesChooseTheSameItems) {
    std::mt19937 rng(7);
    std::vector<uint8_t> text, noise(70000), runs(70000, 'a');
    const char* words[] = {"alpha ", "beta ", "gamma\n", "delta, ", "epsilon; "};
    while (text.size() < 70000) {
        const char* w = words[rng() % 5];
        text.insert(text.end(), w, w + strlen(w));
    }
    for (uint8_t& b : noise) b = uint8_t(rng());
    for (size_t i = 0; i < runs.size(); i += 1 + rng() % 600) runs[i] = 'b';
    for (const std::vector<uint8_t>* data : {&text, &noise, &runs}) {
        std::vector<uint8_t> padded(*data);
        padded.resize(data->size() + InputWindow::PADDING);
        const InputWindow window(padded.data(), data->size(), 0);
        LzHuffmanFinder finder(LZ_HUFFMAN_REACH, LZ_HUFFMAN_NICE_LENGTH);
        MatchCache cache;
        // The last segment is cut short of MAX_MATCH_LENGTH bytes from its end.
        for (uint32_t start : {0u, 4000u}) {
            const uint32_t stop = start == 0 ? 4000 : start + MAX_SEGMENT;
            collect_matches(finder, LZ_HUFFMAN_EFFORT, window, start, stop, cache);
            // Small costs, and costs past every cap (on a full segment
            // of literals, the costliest path there is).
            for (uint32_t low : {1u, 5000u}) {
                const DrawnCosts costs(low + start, low, 40);
                ParseScratch scratch;
                std::vector<LzItem> plain, wide;
                parse_segment(cache, window, costs, scratch, plain, false);
                EXPECT_EQ(rebuild(*data, start, plain),
                          std::vector<uint8_t>(data->begin() + start, data->begin() + stop));
                if (!has_wide_parse()) continue;
                parse_segment(cache, window, costs, scratch, wide, true);
                ASSERT_EQ(plain.size(), wide.size());
                for (size_t k = 0; k < plain.size(); k++) {
                    EXPECT_EQ(plain[k].length, wide[k].length) << k;
                    EXPECT_EQ(plain[k].value, wide[k].value) << k;
                }
            }
        }
    }
}

}  // namespace
