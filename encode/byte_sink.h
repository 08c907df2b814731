// Where an archive goes. Bytes are appended in order; a local header is
// written first with its sizes open and rewritten in place once the
// entry's data is out, and an entry that is stored after all replaces the
// compressed data it was first given (truncate, then append again).
// Offsets count from the archive's first byte.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual bool write(const uint8_t* bytes, size_t n) = 0;
    // Contract: offset + n <= size().
    virtual bool rewrite(uint64_t offset, const uint8_t* bytes, size_t n) = 0;
    // Drops everything from `size` on; later writes append there.
    virtual bool truncate(uint64_t size) = 0;
    virtual uint64_t size() const = 0;
};

// An archive in memory.
class MemorySink : public ByteSink {
public:
    std::vector<uint8_t> bytes;
    bool write(const uint8_t* p, size_t n) override;
    bool rewrite(uint64_t offset, const uint8_t* p, size_t n) override;
    bool truncate(uint64_t size) override;
    uint64_t size() const override { return bytes.size(); }
};

// An archive in a file opened for update ("w+b" or "r+b"), starting at the
// file's position when the sink is made (an installer's stub and prompt
// field may come first). The file stays the caller's to close.
class FileSink : public ByteSink {
public:
    explicit FileSink(FILE* file);
    bool write(const uint8_t* p, size_t n) override;
    bool rewrite(uint64_t offset, const uint8_t* p, size_t n) override;
    bool truncate(uint64_t size) override;
    uint64_t size() const override { return end_; }

private:
    FILE* file_;
    int64_t base_;   // file offset of the archive's first byte
    uint64_t end_;   // bytes of archive written
};
