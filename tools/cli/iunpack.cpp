// iunpack: the authors' command-line tool (iunpack.exe on Windows). Lists,
// tests and extracts an installer's archive with the launcher's own code;
// makes installers and verifies them; on POSIX also runs the installation
// driver on a self-extracting file.
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "tools/cli/usage_error.h"
#include "tools/examine/archive_walk.h"
#include "tools/examine/verify.h"
#include "tools/pack/pack.h"
#include "tools/run/run_command.h"
#include "tools/shared/terminal_text.h"

namespace {

// The version, kept once: in the project's CMake file.
constexpr const char VERSION[] = IUNPACK_VERSION;

struct Command {
    const char* name;
    const char* usage;                // its paragraph of the help
    int (*run)(int argc, char** argv);  // takes the words after its name
};

const Command COMMANDS[] = {
    {"run", RUN_USAGE, run_command},
    {"list", LIST_USAGE, list_command},
    {"test", TEST_USAGE, test_command},
    {"extract", EXTRACT_USAGE, extract_command},
    {"pack", PACK_USAGE, pack_command},
    {"verify", VERIFY_USAGE, verify_command},
};

void print_help() {
    puts("usage: iunpack COMMAND ...\n"
         "       iunpack COMMAND --help\n"
         "       iunpack --version\n"
         "\n"
         "commands:");
    for (const Command& c : COMMANDS) fputs(c.usage, stdout);
    puts("\n"
         "Options may stand before or after the other words; each is given at most\n"
         "once, and \"--\" ends them: the words after it are FILEs or INPUTs (which\n"
         "may then start with \"-\"), or for run the launcher's own arguments.\n"
         "Entries may be stored (method 0) or compressed with methods 1 to 4.\n"
         "\n"
         "Exit status (other than run): 0 on success, 1 on any failure, 2 on bad\n"
         "arguments.");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage_error("missing COMMAND");
    const char* name = argv[1];
    if (strcmp(name, "--help") == 0 || strcmp(name, "-h") == 0 || strcmp(name, "help") == 0) {
        print_help();
        return 0;
    }
    if (strcmp(name, "--version") == 0) {
        printf("iunpack %s\n", VERSION);
        return 0;
    }
    for (const Command& c : COMMANDS) {
        if (strcmp(name, c.name) != 0) continue;
        // Memory that cannot be had ends a command with a message, never
        // with an abort (pack removes its temporary installer first).
        try {
            return c.run(argc - 2, argv + 2);
        } catch (const std::bad_alloc&) {
            fprintf(stderr, "iunpack %s: error: out of memory\n", c.name);
        } catch (const std::exception& e) {
            fprintf(stderr, "iunpack %s: error: %s\n", c.name, e.what());
        }
        return 1;
    }
    return usage_error(("unknown command " + visible_text(name)).c_str());
}
