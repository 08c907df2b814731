// The installer is written to a temporary file beside its target, created
// exclusively, and renamed over the target at the end, so that no partial
// installer ever stands under the target's name. An interruption removes
// the temporary file: SIGINT, SIGTERM, SIGHUP, SIGPIPE and SIGQUIT on
// POSIX, Ctrl+C, Ctrl+Break and closing the console on Windows. installer_file_posix.cpp and
// installer_file_win32.cpp implement it.
#pragma once

#include <cstdio>

#include "tools/system/system_files.h"

// Why the temporary file could not be had; errno holds the system's reason.
enum class TempFailure {
    path_too_long,  // the target's path leaves no room for the temporary name
    not_created,    // the system refused to create the file
    not_opened,     // created, but no stream could be opened on it (it is removed)
};

// Creates the temporary file, open for update ("w+b"), and arms its
// removal. nullptr, with `failure` set, when it cannot.
FILE* create_temp_installer(const char* output, TempFailure& failure);
// The temporary file's path (while it exists).
const char* temp_installer_path();
// The temporary file's identity, so that a folder that holds it leaves it out.
bool temp_installer_identity(FILE* file, FileIdentity& identity);
// Writes the stream's buffers and has the system put the file on the disk.
// False, errno set, on failure.
bool flush_to_disk(FILE* file);
// With `keep`, gives the closed temporary file the target's name (and the
// permissions a new file gets), replacing what stood there; otherwise, or
// when that fails, removes it. True when the installer stands under its
// name; false with `keep`, errno set, when it could not be put there.
bool settle_temp_installer(bool keep, const char* output);
