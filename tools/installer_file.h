// The installer is written to a temporary file beside its target and
// renamed at the end, so that no partial installer ever stands under the
// target's name; SIGINT and SIGTERM remove the temporary file.
#pragma once

#include <string>

// Creates the temporary file and arms its removal. A descriptor, or -1
// after the error is printed.
int create_temp_installer(const char* output);
// The temporary file's path (while it exists).
const char* temp_installer_path();
// With `keep`, gives the temporary file the target's name (and the
// permissions a new file gets); otherwise, or when that fails, removes it.
// True when the installer stands under its name.
bool settle_temp_installer(bool keep, const char* output);
