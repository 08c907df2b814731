#include "encode/chunked_coding.h"

#include <cstring>
#include <thread>
#include <vector>

#include "encode/lz_item.h"

namespace {

// Appends `from`'s bits to `to`.
void append_bits(BitOutput& to, const BitOutput& from) {
    to.settle();
    if (to.pending_bits == 0) {
        to.bytes.insert(to.bytes.end(), from.bytes.begin(), from.bytes.end());
    } else {
        const uint32_t k = to.pending_bits;
        uint32_t held = uint32_t(to.pending) & ((1u << k) - 1);
        size_t at = to.bytes.size();
        to.bytes.resize(at + from.bytes.size());
        for (uint8_t b : from.bytes) {
            to.bytes[at++] = uint8_t(held << (8 - k) | b >> k);
            held = b & ((1u << k) - 1);
        }
        to.pending = held;
    }
    if (from.pending_bits) to.put(uint32_t(from.pending) & ((1u << from.pending_bits) - 1), from.pending_bits);
}

struct ChunkJob {
    InputWindow window;
    uint32_t start = 0;
    uint32_t stop = 0;
    BitOutput out;
};

}  // namespace

unsigned coding_threads() {
    unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : n > 4 ? 4 : n;
}

bool encode_in_chunks(EntryStreams& io, ChunkCoder coder, unsigned threads) {
    if (threads == 0) threads = 1;
    // data holds stream bytes [data_base, data_end): the history before
    // `position` and the chunks read ahead.
    const size_t round_bytes = size_t(threads) * CHUNK_SIZE;
    std::vector<uint8_t> data(InputWindow::HISTORY + round_bytes + MAX_MATCH);
    uint32_t data_base = 0, data_end = 0, position = 0;
    bool ended = false;
    std::vector<ChunkJob> jobs(threads);
    BitOutput out;
    for (;;) {
        // Slide: keep HISTORY bytes before position, then read ahead.
        uint32_t keep = position - data_base > InputWindow::HISTORY ? position - InputWindow::HISTORY : data_base;
        memmove(data.data(), data.data() + (keep - data_base), data_end - keep);
        data_base = keep;
        size_t have = data_end - data_base;
        if (!ended) {
            size_t got = io.read(data.data() + have, data.size() - have);
            if (got < data.size() - have) ended = true;
            data_end += uint32_t(got);
        }
        if (position >= data_end) break;

        unsigned used = 0;
        for (; used < threads; used++) {
            uint32_t start = position + uint32_t(used) * CHUNK_SIZE;
            if (start >= data_end) break;
            // Without the end, a chunk needs MAX_MATCH bytes after it.
            uint32_t room = data_end - start;
            if (!ended && room < CHUNK_SIZE + MAX_MATCH) break;
            ChunkJob& job = jobs[used];
            job.start = start;
            job.stop = room > CHUNK_SIZE ? start + CHUNK_SIZE : data_end;
            uint32_t from = start - data_base > InputWindow::HISTORY ? start - InputWindow::HISTORY : data_base;
            uint32_t to = data_end - job.stop > MAX_MATCH ? job.stop + MAX_MATCH : data_end;
            job.window.assign(data.data() + (from - data_base), to - from, from);
            job.out = BitOutput();
        }
        std::vector<std::thread> workers;
        for (unsigned j = 1; j < used; j++)
            workers.emplace_back([&jobs, coder, j] { coder(jobs[j].window, jobs[j].start, jobs[j].stop, jobs[j].out); });
        coder(jobs[0].window, jobs[0].start, jobs[0].stop, jobs[0].out);
        for (std::thread& w : workers) w.join();
        for (unsigned j = 0; j < used; j++) append_bits(out, jobs[j].out);
        position = jobs[used - 1].stop;
        if (!io.write(out.bytes.data(), out.bytes.size())) return false;
        out.bytes.clear();
    }
    out.align();
    return io.write(out.bytes.data(), out.bytes.size()) && !io.source.failed() && !io.too_large;
}
