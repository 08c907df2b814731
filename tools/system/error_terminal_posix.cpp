#include <unistd.h>

#include <cstdio>

#include "tools/system/error_terminal.h"

bool error_output_is_terminal() { return isatty(STDERR_FILENO) == 1; }

void write_terminal_text(const char* text) {
    fputs(text, stderr);
    fflush(stderr);
}
