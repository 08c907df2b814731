// list, test and extract: walk the archive of a self-extracting file (or a
// bare archive) with the same header reader and entry extraction as the
// installation. Each command returns the process exit status; verify uses
// test's walk.
//
// Every command shows an entry by the name the launcher writes (list also
// the stored name where that differs), or by its stored name when the
// launcher refuses it. The launcher's messages are printed as
//   error: FILE: entry NAME: MESSAGE
// (without the entry before the first one), with the system's reason
// where a read failed.
#pragma once

#include <cstdint>
#include <string>

extern const char LIST_USAGE[];
extern const char TEST_USAGE[];
extern const char EXTRACT_USAGE[];

// argv holds the arguments after the command's name.
int list_command(int argc, char** argv);
int test_command(int argc, char** argv);
int extract_command(int argc, char** argv);

// What test's walk found.
struct TestSummary {
    uint32_t entries = 0;       // entries walked
    uint32_t failed = 0;        // of them, entries the launcher would fail
    bool setup_found = false;   // an entry that unpacked as setup.exe (in any letter case)
    bool complete = false;      // the walk reached the end marker
    uint64_t archive_end = 0;   // the file offset behind the end marker, when complete
};

// test on `path`: prints each entry's line and the summary line, and fills
// `summary`. False when the file cannot be opened or holds no archive
// (printed as an error).
bool test_archive(const char* path, TestSummary& summary);

// The prompt field's text (up to its first zero byte, all of its 200
// bytes when it has none) as list and verify print it:
//   prompt: "TEXT"   or   prompt: none
std::string prompt_line(const std::string& prompt);
