#include <unistd.h>

#include "tools/error_terminal.h"

bool error_output_is_terminal() { return isatty(STDERR_FILENO) == 1; }
