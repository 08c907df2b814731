// Scratch directories and whole-file helpers for the tests.
#pragma once

#include <string>
#include <vector>

#include "tests/support/archive_writer.h"

// A fresh directory "iunpack-NAME-XXXXXX" under $TMPDIR (or /tmp), its
// path without a trailing separator. Throws when it cannot be made.
std::string make_temp_dir(const std::string& name);

// A fresh directory under the system's temporary path, removed with
// everything in it when the object goes.
struct ScratchDir {
    std::string path;  // no trailing separator
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    std::string operator/(const std::string& name) const { return path + "/" + name; }
};

void write_file(const std::string& path, const Bytes& data);
Bytes read_file(const std::string& path);
std::string read_text(const std::string& path);
bool exists(const std::string& path);
// Names in a directory, "." and ".." left out, sorted.
std::vector<std::string> list_dir(const std::string& path);
void make_dir(const std::string& path);
// Where a fuzz target unpacks: a directory of its own (ending with '/'),
// made at the first call and the same for every later one. It is left
// behind: a fuzzing process ends by a signal as often as not.
std::string fuzz_scratch_dir(const char* target);
// Runs a shell command; returns its exit status, and its standard output
// and error in `out` and `err` when given.
int run_command(const std::string& command, std::string* out = nullptr, std::string* err = nullptr);
// A deterministic pseudo-random buffer.
Bytes random_bytes(size_t n, uint32_t seed);
