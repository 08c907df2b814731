// What the launcher accepts, as pack checks it: the launcher's own header
// reader, entry validation and output-name rule run on an archive's bytes
// (in memory, or in the installer as written), and the rules that only a
// whole installer can break (one file name twice, no setup.exe).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/pack/pack_entry.h"

// The entries of an archive as the launcher walks them.
struct ArchiveWalk {
    bool main_header_read = false;  // the archive began with a valid main header
    bool complete = false;          // the walk reached the end marker
    std::string failure;            // the launcher's message where the walk stopped early
    std::vector<PackEntry> entries; // name, stored, start, end, refusal, time and sizes set
};

// Walks `bytes` (an archive from its first byte).
ArchiveWalk walk_archive_bytes(const std::vector<uint8_t>& bytes);
// Walks the archive that starts at `offset` in the file `path`.
ArchiveWalk walk_archive_file(const char* path, int64_t offset);

// Why the launcher refuses a name that is not at fault by its name offset.
inline constexpr const char PLAIN_NAME_REFUSAL[] = "is not one plain file name that Windows opens as it stands";

// The file name the launcher writes for an entry stored under `name` with
// no path: `name` itself, or "" when the launcher refuses it
// (PLAIN_NAME_REFUSAL).
std::string launcher_output_name(const std::string& name);

// Checks every entry and the set of them, printing each problem with the
// entry's origin: what the launcher refuses (header fields, a name that is
// not one plain file name, a name longer than the shortest temporary path
// leaves room for, two names equal without regard to case) and files of
// 4 GiB or more always; a file inside a subfolder, a name with bytes above
// 127 and a missing setup.exe unless `force` (then as warnings).
bool check_entries(const std::vector<PackEntry>& entries, bool force);

// True when `text` holds bytes above 127, which show as different
// characters on every Windows code page.
bool has_high_bytes(const std::string& text);
