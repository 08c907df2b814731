// The progress line pack keeps on standard error while it compresses,
// only when standard error is a terminal; redrawn at most ten times a
// second and cleared at the end.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

class PackProgress {
public:
    // `total` bytes to read in `entries` entries.
    PackProgress(uint64_t total, size_t entries);
    void begin_entry(const std::string& name);
    // The current entry's bytes read so far (the writer's progress report).
    void entry_read(uint64_t bytes);
    void end_entry(uint64_t size);
    void clear();

private:
    void draw();

    bool shown_;                  // standard error is a terminal
    uint64_t total_;              // bytes of every entry
    uint64_t done_ = 0;           // bytes of the entries finished
    uint64_t current_ = 0;        // bytes of the current entry read so far
    size_t entries_;              // entries to write
    size_t index_ = 0;            // the current entry's number, from 1
    std::string name_;            // the current entry's name
    bool storing_ = false;        // the current entry is read again to be stored
    std::chrono::steady_clock::time_point last_draw_;  // when the line was last drawn
    bool drawn_ = false;          // something is on the line
};
