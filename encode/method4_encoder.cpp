// Method 4: the codes are fixed, so what a match saves is known exactly: a
// literal is 9 bits, a length and a distance cost what their prefix codes
// take. The parse is the fast one (the best match at a position, or a
// literal first when the next position saves more), over short chains:
// this method is chosen for speed.
#include "decode/method4_format.h"
#include "encode/bit_output.h"
#include "encode/chunked_coding.h"
#include "encode/entry_streams.h"
#include "encode/lazy_parse.h"
#include "encode/parse_costs.h"

namespace {

constexpr uint32_t RING_BITS = 14;          // chain links above the reach
constexpr uint32_t MAX_CHAIN = 2;
constexpr uint32_t NICE_LENGTH = 128;
constexpr uint32_t LAZY_BELOW = 8;       // a match this long is taken without looking one byte further
// The distance classes change at multiples of this.
constexpr uint32_t DISTANCE_STEP = 1u << DISTANCE_BASE_BITS;

// Length code c (1 to 254): k ones (k = the largest with 2^k - 1 <= c, at
// most 7), a zero unless k is 7, then k bits of c - (2^k - 1).
uint32_t length_prefix(uint32_t code) {
    uint32_t k = 31u - uint32_t(__builtin_clz(code + 1));
    return k > LENGTH_PREFIX_MAX ? LENGTH_PREFIX_MAX : k;
}

// Distance code c = distance - 1: k ones (c >= 2^(9+k) - 512), a zero
// unless k is 4, then 9 + k bits of c - (2^(9+k) - 512).
uint32_t distance_prefix(uint32_t code) {
    uint32_t k = 0;
    while (k < DISTANCE_PREFIX_MAX && code >= (1u << (DISTANCE_BASE_BITS + k + 1)) - DISTANCE_STEP) k++;
    return k;
}

// Every length and distance class as its bits: prefix and extra bits
// together, at most 14 bits for a length and 17 for a distance.
struct Method4Codes {
    uint32_t length_cost[MAX_MATCH_LENGTH + 1];   // per length: its bits in COST_SCALE units
    uint16_t length_bits[MAX_MATCH_LENGTH + 1];   // per length: prefix and extra bits
    uint8_t length_width[MAX_MATCH_LENGTH + 1];   // per length: how many
    uint32_t distance_cost[METHOD4_REACH / DISTANCE_STEP];   // by (distance - 1) / DISTANCE_STEP
    uint8_t distance_class[METHOD4_REACH / DISTANCE_STEP];   // the same: the prefix's count of ones

    Method4Codes() {
        for (uint32_t l = MIN_MATCH_LENGTH; l <= MAX_MATCH_LENGTH; l++) {
            uint32_t code = l - LENGTH_CODE_BIAS, k = length_prefix(code);
            uint32_t prefix_width = k + (k < LENGTH_PREFIX_MAX ? 1 : 0);
            uint32_t prefix = ((1u << k) - 1) << (prefix_width - k);
            length_bits[l] = uint16_t(prefix << k | (code - ((1u << k) - 1)));
            length_width[l] = uint8_t(prefix_width + k);
            length_cost[l] = length_width[l] * COST_SCALE;
        }
        for (uint32_t i = 0; i < METHOD4_REACH / DISTANCE_STEP; i++) {
            uint32_t k = distance_prefix(i * DISTANCE_STEP);
            distance_class[i] = uint8_t(k);
            distance_cost[i] = (k + (k < DISTANCE_PREFIX_MAX ? 1 : 0) + DISTANCE_BASE_BITS + k) * COST_SCALE;
        }
    }
    uint32_t literal(uint8_t) const { return LITERAL_ITEM_BITS * COST_SCALE; }
    uint32_t literal_run(const uint8_t*, uint32_t n) const { return n * LITERAL_ITEM_BITS * COST_SCALE; }
    uint32_t length(uint32_t l) const { return length_cost[l]; }
    uint32_t distance(uint32_t d) const { return distance_cost[(d - 1) >> DISTANCE_BASE_BITS]; }

    void put(BitOutput& out, const LzItem& item) const {
        if (!item.length) {
            out.put(item.value, LITERAL_ITEM_BITS);  // the 0 prefix bit, then the byte
            return;
        }
        out.put(length_bits[item.length], length_width[item.length]);
        uint32_t code = item.value, k = distance_class[code >> DISTANCE_BASE_BITS];
        uint32_t prefix_width = k + (k < DISTANCE_PREFIX_MAX ? 1 : 0);
        uint32_t prefix = ((1u << k) - 1) << (prefix_width - k);
        uint32_t extra_width = DISTANCE_BASE_BITS + k;
        uint32_t extra = code - ((1u << extra_width) - DISTANCE_STEP);
        out.put(prefix << extra_width | extra, prefix_width + extra_width);
    }
};

const Method4Codes codes;

// The coder's tables, kept from chunk to chunk.
struct Method4State : CoderState {
    MatchFinder<RING_BITS> finder{METHOD4_REACH, NICE_LENGTH};
};

}  // namespace

void encode_method4_chunk(const InputWindow& window, uint32_t start, uint32_t stop, BitOutput& out,
                          std::unique_ptr<CoderState>& state) {
    if (!state) state = std::make_unique<Method4State>();
    MatchFinder<RING_BITS>& finder = static_cast<Method4State&>(*state).finder;
    finder.reset();
    enter_history(finder, window, start, METHOD4_REACH);
    parse_lazy(finder, MAX_CHAIN, window, start, stop, codes, LAZY_BELOW, [&out](const LzItem& item) { codes.put(out, item); });
}

// Whole chunks of CHUNK_SIZE: method 4's archives stay as they were (even
// chunks move its sizes by a few bytes either way).
bool encode_method4(EntryStreams& io) {
    return encode_in_chunks(io, encode_method4_chunk, coding_threads(), CHUNK_SIZE);
}
