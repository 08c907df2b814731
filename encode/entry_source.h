// Where an entry's bytes come from: a file read in blocks (any size, never
// held whole) or a buffer in memory. A source can start over, for an
// entry that is stored after its compression did not pay.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

class EntrySource {
public:
    virtual ~EntrySource() = default;
    // Up to n bytes; 0 at the end or after a failure (see failed()).
    virtual size_t read(uint8_t* buffer, size_t n) = 0;
    virtual bool rewind() = 0;
    virtual bool failed() const = 0;
    // The bytes the source expects to give, 0 when it cannot tell. Only
    // the coders' chunks depend on it: a source that gives more or fewer
    // is still read to its end.
    virtual uint64_t size_hint() const { return 0; }
};

class MemorySource : public EntrySource {
public:
    MemorySource(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}
    size_t read(uint8_t* buffer, size_t n) override;
    bool rewind() override {
        at_ = 0;
        return true;
    }
    bool failed() const override { return false; }
    uint64_t size_hint() const override { return size_; }

private:
    const uint8_t* bytes_;
    size_t size_;
    size_t at_ = 0;
};

class FileSource : public EntrySource {
public:
    explicit FileSource(const std::string& path);
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;
    bool is_open() const { return file_ != nullptr; }
    size_t read(uint8_t* buffer, size_t n) override;
    bool rewind() override;
    bool failed() const override { return failed_; }
    uint64_t size_hint() const override { return size_; }

private:
    FILE* file_;
    bool failed_ = false;
    uint64_t size_ = 0;  // the file's size when it was opened, 0 if that could not be told
};
