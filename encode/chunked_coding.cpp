#include "encode/chunked_coding.h"

#include <atomic>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "encode/lz_item.h"

namespace {

// Chunks read and coded per round: several per thread, taken in turn, so
// that a slow chunk (noise, say) holds up no thread for long.
constexpr unsigned CHUNKS_PER_THREAD = 4;

// Threads code neighbouring jobs at once and write their bit
// outputs' counters on every code: each job has cache lines of its own,
// or the lines bounce between processors (it doubled method 4's time).
constexpr size_t CACHE_LINE = 64;

struct alignas(CACHE_LINE) ChunkJob {
    uint32_t start = 0;  // stream positions coded
    uint32_t stop = 0;
    uint32_t from = 0;   // stream positions the coder sees: history before, lookahead after
    uint32_t to = 0;
    BitOutput out;
    std::unique_ptr<CoderState> state;  // the coder's tables, kept from round to round
};

}  // namespace


// Threads where the C++ library has them: MinGW's win32 thread model has
// none (its programs code on one thread; the -posix compilers have them).
unsigned coding_threads() {
#if defined(__GLIBCXX__) && !defined(_GLIBCXX_HAS_GTHREADS)
    return 1;
#else
    unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : n > 4 ? 4 : n;
#endif
}

bool encode_in_chunks(EntryStreams& io, ChunkCoder coder, unsigned threads) {
    if (threads == 0) threads = 1;
    const unsigned per_round = threads * CHUNKS_PER_THREAD;
    // data holds stream bytes [data_base, data_end): the history before
    // `position` and the chunks read ahead, then PADDING zero bytes. It is
    // not cleared: a small entry touches only the pages it fills.
    const size_t capacity = InputWindow::HISTORY + size_t(per_round) * CHUNK_SIZE + MAX_MATCH;
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[capacity + InputWindow::PADDING]);
    uint8_t* const data = buffer.get();
    uint32_t data_base = 0, data_end = 0, position = 0;
    bool ended = false;
    std::vector<ChunkJob> jobs(per_round);
    BitOutput out;
    for (;;) {
        // Slide: keep HISTORY bytes before position, then read ahead.
        uint32_t keep = position - data_base > InputWindow::HISTORY ? position - InputWindow::HISTORY : data_base;
        memmove(data, data + (keep - data_base), data_end - keep);
        data_base = keep;
        size_t have = data_end - data_base;
        if (!ended) {
            size_t got = io.read(data + have, capacity - have);
            if (got < capacity - have) ended = true;
            data_end += uint32_t(got);
            memset(data + (data_end - data_base), 0, InputWindow::PADDING);
        }
        if (position >= data_end) break;

        // The round's chunks. Before the end a chunk needs MAX_MATCH bytes
        // after it; the first always has them, as the buffer was filled.
        unsigned count = 0;
        for (; count < per_round; count++) {
            uint32_t start = position + uint32_t(count) * CHUNK_SIZE;
            if (start >= data_end) break;
            uint32_t room = data_end - start;
            if (!ended && room < CHUNK_SIZE + MAX_MATCH) break;
            ChunkJob& job = jobs[count];
            job.start = start;
            job.stop = room > CHUNK_SIZE ? start + CHUNK_SIZE : data_end;
            job.from = start - data_base > InputWindow::HISTORY ? start - InputWindow::HISTORY : data_base;
            job.to = data_end - job.stop > MAX_MATCH ? job.stop + MAX_MATCH : data_end;
            job.out.clear();
        }
        std::atomic<unsigned> next{0};
        auto work = [&] {
            for (unsigned j; (j = next.fetch_add(1)) < count;) {
                ChunkJob& job = jobs[j];
                InputWindow window(data + (job.from - data_base), job.to - job.from, job.from);
                coder(window, job.start, job.stop, job.out, job.state);
            }
        };
#if defined(__GLIBCXX__) && !defined(_GLIBCXX_HAS_GTHREADS)
        work();
#else
        std::vector<std::thread> workers;
        for (unsigned t = 1; t < threads && t < count; t++) workers.emplace_back(work);
        work();
        for (std::thread& w : workers) w.join();
#endif
        for (unsigned j = 0; j < count; j++) out.append(jobs[j].out);
        position = jobs[count - 1].stop;
        if (!io.write(out.data(), out.size())) return false;
        out.drop_bytes();
    }
    out.align();
    return io.write(out.data(), out.size()) && !io.source.failed() && !io.too_large;
}
