#include <cstdio>
#include <cstring>

#include "tools/run/run_command.h"

const char RUN_USAGE[] =
    "  run FILE\n"
    "      POSIX only (iunpack on Linux): iunpack.exe does not run\n"
    "      installations. On Windows, start the installer itself.\n";

int run_command(int argc, char** argv) {
    for (int i = 0; i < argc && strcmp(argv[i], "--") != 0; i++) {
        if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) {
            fputs(RUN_USAGE, stdout);
            return 0;
        }
    }
    fputs("iunpack run: run is POSIX only; on Windows, start the installer itself\nTry 'iunpack run --help'.\n", stderr);
    return 2;
}
