// The launcher's command line, read as Windows programs read theirs
// (CommandLineToArgvW's rules), and what it asks of the launcher.
#pragma once

#include <cstddef>

// What the command line asks of the launcher.
struct LaunchOptions {
    const char* arguments;  // what follows the program name, passed on to setup as it is; nullptr before it is read
    bool quiet;             // a quiet switch is among them: no question, window, box or restart
};

extern LaunchOptions launch;

// Sets `launch` from `command_line` (GetCommandLineA's text, which must
// outlive the run).
void read_launch_options(const char* command_line);

// What follows the program name on `command_line`: its first token, quoted
// or not, and the blanks after it skipped; the rest as it stands.
const char* command_line_tail(const char* command_line);

// Reads the argument that starts at *cursor (blanks before it skipped) by
// CommandLineToArgvW's rules, stores at most size - 1 bytes of it in `out`,
// zero-terminated, and sets *length to its whole length; *cursor then
// stands behind it. False when no argument is left.
bool next_argument(const char** cursor, char* out, size_t size, size_t* length);
