// The Win32 platform: the driver's table and the host's table over the
// real system calls and the system C runtime (msvcrt.dll).
#pragma once

#include "common/platform.h"
#include "shell/host_platform.h"

extern const Platform win32_platform;
extern const HostPlatform win32_host_platform;

// Both tables' WriteFile: `text` as one line on the standard error handle.
int write_standard_error(const char* text);

// Loads `name` (a leading backslash, "\\shell32.dll") from the system
// folder by its full path, so that no search can find another copy.
// nullptr when the path does not fit or the DLL cannot be loaded.
Handle load_system_dll(const char* name);
