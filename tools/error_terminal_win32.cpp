// _isatty also holds for the NUL device and other character devices: only
// a console whose mode can be read is a terminal, and the line-clearing
// sequence needs its virtual terminal processing (Windows 10 and later;
// without it no progress line is drawn).
#include <windows.h>
#include <io.h>

#include <cstdio>

#include "tools/error_terminal.h"

namespace {
constexpr DWORD VIRTUAL_TERMINAL_PROCESSING = 0x0004;  // ENABLE_VIRTUAL_TERMINAL_PROCESSING
}

bool error_output_is_terminal() {
    if (!_isatty(_fileno(stderr))) return false;
    HANDLE console = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (!GetConsoleMode(console, &mode)) return false;
    return (mode & VIRTUAL_TERMINAL_PROCESSING) || SetConsoleMode(console, mode | VIRTUAL_TERMINAL_PROCESSING);
}
