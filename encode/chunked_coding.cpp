#include "encode/chunked_coding.h"

#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "encode/lz_item.h"

namespace {

// Threads code neighbouring jobs at once and write their bit
// outputs' counters on every code: each job has cache lines of its own,
// or the lines bounce between processors (it doubled method 4's time).
constexpr size_t CACHE_LINE = 64;

// A chunk with its own copy of the bytes its coder sees: the history
// before it and MAX_MATCH_LENGTH bytes after it (as far as the entry goes), so
// that chunks are read while others are coded and a thread that is done
// with one takes the next at once.
struct alignas(CACHE_LINE) ChunkJob {
    static constexpr size_t CAPACITY = InputWindow::HISTORY + CHUNK_SIZE + MAX_MATCH_LENGTH + InputWindow::PADDING;
    uint32_t start = 0;  // stream positions coded
    uint32_t stop = 0;
    uint32_t from = 0;   // stream positions held in `bytes`: history before, lookahead after
    uint32_t to = 0;
    std::unique_ptr<uint8_t[]> bytes;   // CAPACITY bytes, made on first use
    BitOutput out;
    bool coded = false;                 // out holds the chunk (guarded by the coders' mutex)

    // With the coder's tables as the thread that codes it left them.
    void code(ChunkCoder coder, std::unique_ptr<CoderState>& state) {
        InputWindow window(bytes.get(), to - from, from);
        coder(window, start, stop, out, state);
    }
};

// Cuts the entry into chunks as it is read.
class ChunkReader {
public:
    ChunkReader(EntryStreams& io, uint32_t chunk_size)
        : io_(io), carry_(new uint8_t[InputWindow::HISTORY + MAX_MATCH_LENGTH]), chunk_(chunk_size) {}

    // Fills `job` with the next chunk and clears its output; false when
    // the entry has no more bytes.
    bool next(ChunkJob& job) {
        if (ended_ && position_ >= carry_end_) return false;
        if (!job.bytes) job.bytes.reset(new uint8_t[ChunkJob::CAPACITY]);
        uint8_t* const data = job.bytes.get();
        const size_t kept = carry_end_ - carry_base_;
        memcpy(data, carry_.get(), kept);
        uint32_t data_end = carry_end_;
        // Before the end a chunk has MAX_MATCH_LENGTH bytes after it.
        if (!ended_) {
            const size_t need = size_t(position_) + chunk_ + MAX_MATCH_LENGTH - carry_end_;
            const size_t got = io_.read(data + kept, need);
            if (got < need) ended_ = true;
            data_end += uint32_t(got);
        }
        if (position_ >= data_end) return false;
        job.from = carry_base_;
        job.start = position_;
        job.stop = data_end - position_ > chunk_ ? position_ + chunk_ : data_end;
        job.to = data_end;
        memset(data + (data_end - job.from), 0, InputWindow::PADDING);
        job.out.clear();
        // The next chunk's history and the lookahead read already.
        const uint32_t keep = job.stop - job.from > InputWindow::HISTORY ? job.stop - InputWindow::HISTORY : job.from;
        memcpy(carry_.get(), data + (keep - job.from), data_end - keep);
        carry_base_ = keep;
        carry_end_ = data_end;
        position_ = job.stop;
        return true;
    }

private:
    EntryStreams& io_;
    std::unique_ptr<uint8_t[]> carry_;  // stream bytes [carry_base_, carry_end_): at most HISTORY before position_, the rest after
    uint32_t carry_base_ = 0;
    uint32_t carry_end_ = 0;
    uint32_t position_ = 0;             // the next chunk's start
    bool ended_ = false;                // the entry's last byte was read
    const uint32_t chunk_;              // bytes per chunk, at most CHUNK_SIZE
};

}  // namespace

// With chunks of CHUNK_SIZE, an 11.2 MB entry ended with one thread coding
// its sixth chunk while the other was done: 7% of the time.
uint32_t even_chunk_size(uint64_t expected) {
    if (expected == 0 || expected > MAX_FIELD_SIZE) return CHUNK_SIZE;
    uint64_t count = (expected + CHUNK_SIZE - 1) / CHUNK_SIZE;
    if (count >= EVEN_CHUNKS_FROM && count % 2) count++;
    return uint32_t((expected + count - 1) / count);
}


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

bool encode_in_chunks(EntryStreams& io, ChunkCoder coder, unsigned threads, uint32_t chunk_size) {
    ChunkReader reader(io, chunk_size);
    BitOutput out;
#if defined(__GLIBCXX__) && !defined(_GLIBCXX_HAS_GTHREADS)
    threads = 1;
#endif
    if (threads <= 1) {
        ChunkJob job;
        std::unique_ptr<CoderState> state;
        while (reader.next(job)) {
            job.code(coder, state);
            out.append(job.out);
            if (!io.write(out.data(), out.size())) return false;
            out.drop_bytes();
        }
    } else {
#if !(defined(__GLIBCXX__) && !defined(_GLIBCXX_HAS_GTHREADS))
        // The coding threads take the chunks in order as they are read;
        // this one reads them and writes the coded ones in order. Two
        // chunks per thread and two more are read ahead, so that none
        // waits for input.
        const unsigned slots = 2 * threads + 2;
        std::vector<ChunkJob> jobs(slots);
        std::mutex mutex;
        std::condition_variable readable, coded;
        std::deque<ChunkJob*> queue;  // read, not yet taken (guarded by mutex)
        bool closing = false;         // no more chunks come (guarded by mutex)
        // Each thread keeps its coder's tables: they stay in its caches.
        auto work = [&] {
            std::unique_ptr<CoderState> state;
            for (;;) {
                ChunkJob* job;
                {
                    std::unique_lock<std::mutex> lock(mutex);
                    readable.wait(lock, [&] { return closing || !queue.empty(); });
                    if (queue.empty()) return;
                    job = queue.front();
                    queue.pop_front();
                }
                job->code(coder, state);
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    job->coded = true;
                }
                coded.notify_one();
            }
        };
        std::vector<std::thread> workers;
        for (unsigned t = 0; t < threads; t++) workers.emplace_back(work);
        // Entry contract: chunks [written, read) are queued or coded, in
        // slots (sequence mod slots).
        uint64_t read = 0, written = 0;
        bool more = true, wrote = true;
        for (;;) {
            while (more && read - written < slots) {
                ChunkJob& job = jobs[read % slots];
                if (!reader.next(job)) {
                    more = false;
                    break;
                }
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    job.coded = false;
                    queue.push_back(&job);
                }
                readable.notify_one();
                read++;
            }
            if (written == read) break;
            ChunkJob& job = jobs[written % slots];
            {
                std::unique_lock<std::mutex> lock(mutex);
                coded.wait(lock, [&] { return job.coded; });
            }
            written++;
            out.append(job.out);
            // After a failed write the chunks on their way are coded and dropped.
            if (!io.write(out.data(), out.size())) wrote = more = false;
            out.drop_bytes();
        }
        {
            std::lock_guard<std::mutex> lock(mutex);
            closing = true;
        }
        readable.notify_all();
        for (std::thread& w : workers) w.join();
        if (!wrote) return false;
#endif
    }
    out.align();
    return io.write(out.data(), out.size()) && !io.source.failed() && !io.too_large;
}
