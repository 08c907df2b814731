// The native POSIX platform: the driver and the archive operations run on
// Linux through it, with no window.
#pragma once

#include "common/platform.h"

extern const Platform posix_platform;

// Stores `path` as GetModuleFileNameA stores the executable's path, for
// layers that stand another file in for it: whole with its length, or cut
// to length - 1 characters with the result `length` when it does not fit.
uint32_t store_module_path(const char* path, char* buffer, uint32_t length);

// The argv of a program started with `command_line`: the `first` words,
// then the words after the application name, split as a Windows program
// splits its command line (no limit on their number or length). One block,
// released with free(); nullptr when there is no memory.
char** split_windows_command(const char* application_name, const char* command_line, const char* const* first,
                             size_t first_count);

// Starts `program` (a path, not searched; a relative one is taken inside
// the folder) with argv, its current directory the held folder `folder`
// (CreateFileA) or this process's when nullptr, inheriting the
// environment, as a process handle the table's wait, exit code and close
// calls take. Nonzero on success; otherwise GetLastError tells the errno
// value.
int posix_start_process(const char* program, char* const argv[], Handle folder, ProcessInfo* info);
