#include <cstdio>

#include "tools/run_command.h"

const char RUN_USAGE[] =
    "  run FILE\n"
    "      POSIX only (iunpack on Linux): iunpack.exe does not run\n"
    "      installations. On Windows, start the installer itself.\n";

int run_command(int, char**) {
    fputs("iunpack: run is POSIX only; on Windows, start the installer itself\nTry 'iunpack --help'.\n", stderr);
    return 2;
}
