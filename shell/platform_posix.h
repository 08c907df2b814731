// The native POSIX platform: the driver and the archive operations run on
// Linux through it, with no window.
#pragma once

#include "common/platform.h"

extern const Platform posix_platform;

// Starts argv[0] (a path, not searched) with argv in `directory`,
// inheriting the environment, as a process handle the table's wait, exit
// code and close calls take. Nonzero on success; otherwise GetLastError
// tells the errno value.
int posix_start_process(char* const argv[], const char* directory, ProcessInfo* info);
