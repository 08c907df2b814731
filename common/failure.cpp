#include "common/failure.h"

#include "common/command_line.h"
#include "common/platform.h"
#include "common/unpack_state.h"

// A quiet run shows no box, which could wait where nobody sees it: the
// text goes to standard error, and the exit code tells what happened.
static void show(WindowHandle owner, const char* text) {
    if (launch.quiet) platform->WriteFile(text);
    else platform->MessageBoxA(owner, text, CAPTION, MB_OK);
}

void show_failure(const char* text) { show(unpack.host_window, text); }

void show_failure_unowned(const char* text) { show(nullptr, text); }
