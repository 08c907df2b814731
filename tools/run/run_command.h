// iunpack run: the launcher's installation on POSIX, through the traced
// POSIX platform (run_command_posix.cpp). iunpack.exe has no such command
// (run_command_win32.cpp says so): on Windows the installer runs itself.
#pragma once

// The command's paragraph of the help text.
extern const char RUN_USAGE[];
// argv holds the arguments after "run". Returns the exit status.
int run_command(int argc, char** argv);
