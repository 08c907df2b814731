#include "encode/entry_source.h"

#include <cstring>

size_t MemorySource::read(uint8_t* buffer, size_t n) {
    size_t take = n < size_ - at_ ? n : size_ - at_;
    if (take) memcpy(buffer, bytes_ + at_, take);
    at_ += take;
    return take;
}

FileSource::FileSource(const std::string& path) : file_(fopen(path.c_str(), "rb")) {
    failed_ = file_ == nullptr;
    // A long holds 2 GiB on some systems; a larger file is left untold.
    if (file_ && fseek(file_, 0, SEEK_END) == 0) {
        const long end = ftell(file_);
        if (end > 0) size_ = uint64_t(end);
    }
    if (file_ && fseek(file_, 0, SEEK_SET) != 0) failed_ = true;
}

FileSource::~FileSource() {
    if (file_) fclose(file_);
}

size_t FileSource::read(uint8_t* buffer, size_t n) {
    if (!file_ || failed_) return 0;
    size_t got = fread(buffer, 1, n, file_);
    if (got < n && ferror(file_)) failed_ = true;
    return got;
}

bool FileSource::rewind() {
    if (!file_ || failed_) return false;
    clearerr(file_);
    return fseek(file_, 0, SEEK_SET) == 0;
}
