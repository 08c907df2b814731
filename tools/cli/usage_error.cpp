#include "tools/cli/usage_error.h"

#include <cstdio>

int usage_error(const char* what, const char* command) {
    if (command)
        fprintf(stderr, "iunpack %s: %s\nTry 'iunpack %s --help'.\n", command, what, command);
    else
        fprintf(stderr, "iunpack: %s\nTry 'iunpack --help'.\n", what);
    return 2;
}
