// The tool's own file-system calls, beside the launcher's platform table:
// what a path is (links followed, as pack reads through them), a folder's
// names, making a folder, what stands in the way of an extracted file
// (links not followed), and path spelling. system_files_posix.cpp and
// system_files_win32.cpp implement it; failures leave an errno value, so
// callers report them with strerror on both systems.
#pragma once

#include <compare>
#include <cstdio>
#include <cstdint>
#include <string>
#include <vector>

#include "common/platform.h"

// A file by its device (volume) and its number on it: the same file
// reached by two paths or links has one identity.
struct FileIdentity {
    uint64_t device;  // st_dev, or the volume serial number
    uint64_t index;   // st_ino, or the file index
    auto operator<=>(const FileIdentity&) const = default;
};

enum class FileKind { regular, folder, other };

struct FileStatus {
    FileKind kind;
    uint64_t size;             // bytes, for a regular file
    int64_t modified;          // last modification, whole seconds since 1970 (UTC), rounded down
    FileIdentity identity;
};

// What `path` leads to, a link followed. False, errno set, when nothing
// can be found there.
bool file_status(const char* path, FileStatus& status);
// The names in `folder`, "." and ".." left out, in the system's order.
// False, errno set, when the folder cannot be read.
bool folder_names(const std::string& folder, std::vector<std::string>& names);
// Makes `path` as a folder; true also when something exists there already
// (whatever it is: writing into it then tells). False, errno set, otherwise.
bool make_folder(const char* path);

// What stands at `path` itself, a link never followed.
enum class PathOccupant { nothing, link, file };
PathOccupant path_occupant(const char* path);
// How a link at a path is named in messages: "a symbolic link", or on
// Windows "a link or reparse point".
extern const char LINK_DESCRIPTION[];

// The separator this system writes between a folder and a name ("/" or
// "\"); is_path_separator also takes "/" on Windows.
extern const char PATH_SEPARATOR[];
bool is_path_separator(char c);
// The last component of `path` (trailing separators ignored); on Windows
// also after a drive's colon ("C:setup.exe").
std::string path_base_name(const std::string& path);
// `folder` and `name` with one separator between them.
std::string path_joined(const std::string& folder, const std::string& name);

// Opens `path` for reading ("rb") in a way that lets the file be removed
// while it is open (on Windows with FILE_SHARE_DELETE, which the C
// runtime's fopen leaves out): pack reads its temporary installer back
// so, and an interruption must still be able to remove it then.
FILE* open_removable_for_reading(const char* path);

// The launcher's platform table of this system (POSIX or Win32), which the
// tool's archive walks start from.
const Platform& system_platform();
