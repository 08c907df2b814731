// _isatty also holds for the NUL device and other character devices: only
// a console whose mode can be read is a terminal, and the line-clearing
// sequence needs its virtual terminal processing (Windows 10 and later;
// without it no progress line is drawn). The console belongs to the user's
// shell, which outlives the tool: the processing is switched on only while
// a line is written and the console's mode is then put back, so that
// neither the end of pack nor Ctrl+C leaves it changed.
#include <windows.h>
#include <io.h>

#include <cstdio>

#include "tools/system/error_terminal.h"

namespace {

constexpr DWORD VIRTUAL_TERMINAL_PROCESSING = 0x0004;  // ENABLE_VIRTUAL_TERMINAL_PROCESSING

// The console's mode as found, with virtual terminal processing switched
// on if it was not; false when it cannot be.
bool switch_processing_on(HANDLE console, DWORD& mode) {
    if (!GetConsoleMode(console, &mode)) return false;
    return (mode & VIRTUAL_TERMINAL_PROCESSING) || SetConsoleMode(console, mode | VIRTUAL_TERMINAL_PROCESSING);
}

}  // namespace

bool error_output_is_terminal() {
    if (!_isatty(_fileno(stderr))) return false;
    HANDLE console = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (!switch_processing_on(console, mode)) return false;
    SetConsoleMode(console, mode);
    return true;
}

void write_terminal_text(const char* text) {
    HANDLE console = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    const bool switched = switch_processing_on(console, mode);
    fputs(text, stderr);
    fflush(stderr);
    if (switched) SetConsoleMode(console, mode);
}
