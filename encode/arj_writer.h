// The authors' archive writer: a main header, then entries one by one
// from files or memory, each compressed as it is read (memory stays
// bounded whatever the entry's size), then the end marker.
//
//   MemorySink sink;                    // or FileSink over a FILE*
//   ArjWriter writer(sink);
//   writer.begin("setup.arj", dos_time(now_or_fixed));
//   FileSource source("payload/setup.exe");
//   writer.add({.name = "setup.exe", .method = 1, .dos_time = ...}, source);
//   writer.finish();                    // false: writer.error() says why
//
// An entry is stored (method 0) instead when its compressed data would not
// be smaller than the entry itself (an empty entry is always stored), if
// its source can start over.
#pragma once

#include <cstdint>
#include <string>

#include "encode/byte_sink.h"
#include "encode/entry_source.h"
#include "encode/entry_streams.h"

struct EntryOptions {
    std::string name;                     // stored name; a path's parts separated by '/'
    uint8_t method = 1;                   // 0 (stored), 1 or 4
    uint32_t dos_time = 0;                // modification time: DOS date << 16 | DOS time
    uint16_t attributes = 0x20;           // DOS attributes (archive)
    std::string comment;
};

struct EntryResult {
    uint8_t method = 0;                   // the method the entry was written with
    uint32_t original_size = 0;
    uint32_t compressed_size = 0;
    uint32_t crc = 0;
};

class ArjWriter {
public:
    explicit ArjWriter(ByteSink& sink) : sink_(sink) {}

    // Called while an entry is read, with its bytes read so far.
    void set_progress(Progress progress) { progress_ = std::move(progress); }

    // The main header. `dos_time` goes into its created and modified fields.
    bool begin(const std::string& archive_name, uint32_t dos_time, const std::string& comment = "");
    // One entry, read from `source` to its end. On failure nothing of the
    // entry stays in the archive, which can take further entries; the
    // source's own failure, a name that no header holds, an unknown method
    // and an entry of 4 GiB or more are refused.
    bool add(const EntryOptions& options, EntrySource& source, EntryResult* result = nullptr);
    // The end marker.
    bool finish();

    const std::string& error() const { return error_; }
    uint64_t archive_size() const { return sink_.size(); }

private:
    struct Outcome {
        bool ok;                  // read to the end and written, within the size fields
        bool too_large;
        bool write_failed;
        uint64_t original_size;
        uint64_t compressed_size;
        uint32_t crc;
    };
    Outcome run_coder(uint8_t method, EntrySource& source);
    bool fail(const std::string& message);
    bool write(const std::vector<uint8_t>& bytes);

    ByteSink& sink_;
    Progress progress_;
    std::string error_;
};

// DOS date << 16 | DOS time of a broken-down local time; years before 1980
// give 1980-01-01 00:00:00, after 2107 the last second of 2107.
uint32_t dos_time(int year, int month, int day, int hour, int minute, int second);
// The same for a POSIX time, taken as local time.
uint32_t dos_time_of(int64_t unix_seconds);
