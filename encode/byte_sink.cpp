#include "encode/byte_sink.h"

#include <unistd.h>

#include <cstring>

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

FileSink::FileSink(FILE* file) : file_(file), base_(ftello(file)), end_(0) {}

bool FileSink::write(const uint8_t* p, size_t n) {
    if (n && fwrite(p, 1, n, file_) != n) return false;
    end_ += n;
    return true;
}

bool FileSink::rewrite(uint64_t offset, const uint8_t* p, size_t n) {
    if (offset > end_ || n > end_ - offset) return false;
    if (fseeko(file_, base_ + int64_t(offset), SEEK_SET) != 0) return false;
    bool ok = fwrite(p, 1, n, file_) == n;
    return fseeko(file_, base_ + int64_t(end_), SEEK_SET) == 0 && ok;
}

bool FileSink::truncate(uint64_t size) {
    if (size > end_ || base_ < 0) return false;
    if (fflush(file_) != 0 || ftruncate(fileno(file_), base_ + int64_t(size)) != 0) return false;
    end_ = size;
    return fseeko(file_, base_ + int64_t(end_), SEEK_SET) == 0;
}
