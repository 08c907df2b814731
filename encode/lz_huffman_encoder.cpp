// Method 1: each chunk cut into segments that are parsed by cost; a
// segment joins the open block while one block costs less than two. The
// cost model of a segment comes from the open block's symbol counts; a
// chunk's first segment starts from its own byte statistics and is parsed
// again under the codes that the parse before would get.
#include <cstring>

#include "encode/chunked_coding.h"
#include "encode/entry_streams.h"
#include "encode/lz_huffman_block.h"
#include "encode/lz_huffman_search.h"
#include "encode/parse_costs.h"
#include "encode/segment_parse.h"

namespace {

constexpr uint32_t SEGMENT = 32768;       // positions parsed at once
static_assert(SEGMENT <= MAX_SEGMENT);
constexpr int HALVINGS = 1;               // times a block is halved at most when that pays
// A chunk's first segment: parsed under costs from its bytes, then twice
// under the codes the parse before would get (the third parse: 0.01 to
// 0.02% on the benchmark corpora, 1% on a 26 KB text).
constexpr uint32_t FIRST_SEGMENT_PARSES = 3;

// 16 log2(x) for x >= 1, in integers, so that the costs and with them the
// archive are the same on every machine and C library: the whole part from
// the highest bit, the fraction from the next four.
uint32_t log2_sixteenths(uint64_t x) {
    static_assert(COST_SCALE == 16);
    static const uint8_t FRACTION[16] = {0, 1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 15};  // 16 log2(1 + i/16)
    const uint32_t whole = 63u - uint32_t(__builtin_clzll(x));
    const uint32_t next = whole >= 4 ? uint32_t(x >> (whole - 4)) & 15 : uint32_t(x << (4 - whole)) & 15;
    return whole * 16 + FRACTION[next];
}

struct LzHuffmanCosts {
    uint32_t literal_cost[LITERAL_SYMBOLS];
    uint32_t length_cost[MAX_MATCH_LENGTH + 1];
    uint32_t position_cost[POSITION_SYMBOLS];  // the symbol and its extra bits

    uint32_t literal(uint8_t b) const { return literal_cost[b]; }
    uint32_t length(uint32_t l) const { return length_cost[l]; }
    uint32_t distance(uint32_t d) const { return position_cost[position_symbol(d - 1)]; }

    // From a block's code lengths; a symbol the block did not use is taken
    // as rare.
    void from_codes(const BlockCodes& codes) {
        for (uint32_t s = 0; s < LITERAL_SYMBOLS; s++)
            literal_cost[s] = (codes.litlen[s] ? codes.litlen[s] : 13) * COST_SCALE;
        for (uint32_t l = MIN_MATCH_LENGTH; l <= MAX_MATCH_LENGTH; l++) {
            uint32_t bits = codes.litlen[l + MATCH_LENGTH_OFFSET];
            length_cost[l] = (bits ? bits : 14) * COST_SCALE;
        }
        for (uint32_t k = 0; k < POSITION_SYMBOLS; k++) {
            uint32_t bits = codes.position[k] ? codes.position[k] : 7;
            position_cost[k] = (bits + position_extra_bits(k)) * COST_SCALE;
        }
    }

    // From the open block's symbol counts: each symbol's share of its
    // alphabet's, -log2 of (count + 1/2) / (total + 1/2), so that the parse
    // weighs the fractions of bits its choices move (closer than the
    // block's whole code lengths: 0.05% smaller).
    void from_counts(const SymbolCounts& counts) {
        uint64_t litlen_total = 0, position_total = 0;
        for (uint32_t s = 0; s < LITLEN_SYMBOLS; s++) litlen_total += counts.litlen[s];
        for (uint32_t k = 0; k < POSITION_SYMBOLS; k++) position_total += counts.position[k];
        const uint32_t litlen_all = log2_sixteenths(2 * litlen_total + 1);
        const uint32_t position_all = log2_sixteenths(2 * position_total + 1);
        auto share = [](uint32_t all, uint32_t count) { return all - log2_sixteenths(2 * uint64_t(count) + 1); };
        for (uint32_t s = 0; s < LITERAL_SYMBOLS; s++) literal_cost[s] = share(litlen_all, counts.litlen[s]);
        for (uint32_t l = MIN_MATCH_LENGTH; l <= MAX_MATCH_LENGTH; l++)
            length_cost[l] = share(litlen_all, counts.litlen[l + MATCH_LENGTH_OFFSET]);
        for (uint32_t k = 0; k < POSITION_SYMBOLS; k++)
            position_cost[k] = share(position_all, counts.position[k]) + position_extra_bits(k) * COST_SCALE;
    }

    // Before any block: literals by their frequency in the segment (-log2
    // of (count + 1/2) / (n + 128), half a bit more), matches by a rough
    // guess.
    void from_bytes(const uint8_t* bytes, uint32_t n) {
        uint32_t freq[LITERAL_SYMBOLS] = {};
        for (uint32_t i = 0; i < n; i++) freq[bytes[i]]++;
        const uint32_t total = log2_sixteenths(2 * uint64_t(n) + 256);
        for (uint32_t s = 0; s < LITERAL_SYMBOLS; s++)
            literal_cost[s] = total - log2_sixteenths(2 * uint64_t(freq[s]) + 1) + COST_SCALE / 2;
        for (uint32_t l = MIN_MATCH_LENGTH; l <= MAX_MATCH_LENGTH; l++)
            length_cost[l] = (l < 10 ? 5 + l / 2 : 10 + (l > 32 ? 2 : 0)) * COST_SCALE;
        for (uint32_t k = 0; k < POSITION_SYMBOLS; k++) position_cost[k] = (4 + position_extra_bits(k)) * COST_SCALE;
    }
};

// Writes the items as blocks: a block is halved (`depth` times at most)
// while the halves cost less than the whole. `counts` and `bits` are the
// items' symbol counts and block_bits.
void write_blocks(BitOutput& out, const LzItem* items, size_t count, const SymbolCounts& counts, uint64_t bits,
                  int depth) {
    if (count > MAX_BLOCK_ITEMS || (depth > 0 && count >= 2048)) {
        const size_t half = count / 2;
        SymbolCounts first, second;
        count_symbols(items, half, first);
        count_symbols(items + half, count - half, second);
        const uint64_t first_bits = block_bits(first, nullptr), second_bits = block_bits(second, nullptr);
        if (count > MAX_BLOCK_ITEMS || first_bits + second_bits < bits) {
            write_blocks(out, items, half, first, first_bits, depth - 1);
            write_blocks(out, items + half, count - half, second, second_bits, depth - 1);
            return;
        }
    }
    write_block(out, items, count, counts);
}

// The coder's tables and buffers, kept from chunk to chunk.
struct LzHuffmanState : CoderState {
    LzHuffmanFinder finder{LZ_HUFFMAN_REACH, LZ_HUFFMAN_NICE_LENGTH};
    MatchCache cache;
    ParseScratch scratch;
    bool wide = has_wide_parse();     // the parse's vector pass
    std::vector<LzItem> items, block;  // the segment's items; the open block's
};

}  // namespace

void encode_lz_huffman_chunk(const InputWindow& window, uint32_t start, uint32_t stop, BitOutput& out,
                             std::unique_ptr<CoderState>& state) {
    if (!state) state = std::make_unique<LzHuffmanState>();
    LzHuffmanState& s = static_cast<LzHuffmanState&>(*state);
    LzHuffmanFinder& finder = s.finder;
    finder.reset();
    enter_history(finder, window, start, LZ_HUFFMAN_REACH);
    MatchCache& cache = s.cache;
    ParseScratch& scratch = s.scratch;
    std::vector<LzItem>& items = s.items;
    std::vector<LzItem>& block = s.block;
    block.clear();
    SymbolCounts segment_counts, block_counts, joined_counts;
    uint64_t block_size = 0;            // bits of the open block
    LzHuffmanCosts costs;
    for (uint32_t position = start; position < stop;) {
        uint32_t segment_stop = stop - position > SEGMENT ? position + SEGMENT : stop;
        collect_matches(finder, LZ_HUFFMAN_EFFORT, window, position, segment_stop, cache);
        const bool first_segment = position == start;
        if (first_segment)
            costs.from_bytes(window.at(position), segment_stop - position);
        else
            costs.from_counts(block_counts);
        parse_segment(cache, window, costs, scratch, items, s.wide);
        count_symbols(items.data(), items.size(), segment_counts);
        for (uint32_t pass = 1; first_segment && pass < FIRST_SEGMENT_PARSES; pass++) {
            BlockCodes codes;
            block_bits(segment_counts, &codes);
            costs.from_codes(codes);
            parse_segment(cache, window, costs, scratch, items, s.wide);
            count_symbols(items.data(), items.size(), segment_counts);
        }
        // The segment joins the open block while one block costs less than
        // two; else the open block is written and the segment opens the
        // next. The next segment is parsed under the open block's counts.
        const uint64_t segment_size = block_bits(segment_counts, nullptr);
        bool join = !block.empty() && block.size() + items.size() <= MAX_BLOCK_ITEMS;
        uint64_t joined_size = 0;
        if (join) {
            joined_counts = block_counts;
            add_counts(joined_counts, segment_counts);
            joined_size = block_bits(joined_counts, nullptr);
            join = joined_size < block_size + segment_size;
        }
        if (join) {
            block.insert(block.end(), items.begin(), items.end());
            block_counts = joined_counts;
            block_size = joined_size;
        } else {
            if (!block.empty()) write_blocks(out, block.data(), block.size(), block_counts, block_size, HALVINGS);
            block.swap(items);
            block_counts = segment_counts;
            block_size = segment_size;
        }
        position = segment_stop;
    }
    if (!block.empty()) write_blocks(out, block.data(), block.size(), block_counts, block_size, HALVINGS);
}

bool encode_lz_huffman(EntryStreams& io) {
    return encode_in_chunks(io, encode_lz_huffman_chunk, coding_threads(), even_chunk_size(io.source.size_hint()));
}
