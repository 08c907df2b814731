// Win32 error codes as errno values, so that the tool's Win32 file calls
// report failures as its C runtime calls do (strerror on errno).
#pragma once

// Sets errno for GetLastError()'s code.
void set_errno_from_last_error();
