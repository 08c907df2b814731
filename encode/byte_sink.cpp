#include "encode/byte_sink.h"

#include <cstring>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

// 64-bit file offsets on both systems (the C library's long is 32 bits on
// Windows).
namespace {
#ifdef _WIN32
int seek_to(FILE* f, int64_t offset) { return _fseeki64(f, offset, SEEK_SET); }
int64_t position_of(FILE* f) { return _ftelli64(f); }
int cut_at(FILE* f, int64_t size) { return _chsize_s(_fileno(f), size); }
#else
int seek_to(FILE* f, int64_t offset) { return fseeko(f, off_t(offset), SEEK_SET); }
int64_t position_of(FILE* f) { return int64_t(ftello(f)); }
int cut_at(FILE* f, int64_t size) { return ftruncate(fileno(f), off_t(size)); }
#endif
}  // namespace

bool MemorySink::write(const uint8_t* p, size_t n) {
    bytes.insert(bytes.end(), p, p + n);
    return true;
}

bool MemorySink::rewrite(uint64_t offset, const uint8_t* p, size_t n) {
    if (offset > bytes.size() || n > bytes.size() - offset) return false;
    memcpy(bytes.data() + offset, p, n);
    return true;
}

bool MemorySink::truncate(uint64_t size) {
    if (size > bytes.size()) return false;
    bytes.resize(size);
    return true;
}

FileSink::FileSink(FILE* file) : file_(file), base_(position_of(file)), end_(0) {}

bool FileSink::write(const uint8_t* p, size_t n) {
    if (n && fwrite(p, 1, n, file_) != n) return false;
    end_ += n;
    return true;
}

bool FileSink::rewrite(uint64_t offset, const uint8_t* p, size_t n) {
    if (offset > end_ || n > end_ - offset) return false;
    if (seek_to(file_, base_ + int64_t(offset)) != 0) return false;
    bool ok = fwrite(p, 1, n, file_) == n;
    return seek_to(file_, base_ + int64_t(end_)) == 0 && ok;
}

bool FileSink::truncate(uint64_t size) {
    if (size > end_ || base_ < 0) return false;
    if (fflush(file_) != 0 || cut_at(file_, base_ + int64_t(size)) != 0) return false;
    end_ = size;
    return seek_to(file_, base_ + int64_t(end_)) == 0;
}
