#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/command_line.h"
#include "common/failure.h"
#include "common/platform.h"
#include "common/unpack_error.h"
#include "common/unpack_state.h"
#include "shell/host_window.h"
#include "shell/install_driver.h"
#include "tools/cli/command_line.h"
#include "tools/cli/usage_error.h"
#include "tools/run/run_command.h"
#include "tools/run/run_lock.h"
#include "tools/run/trace_platform.h"
#include "tools/run/windows_command_line.h"
#include "tools/shared/platform_scope.h"
#include "tools/shared/terminal_text.h"

const char RUN_USAGE[] =
    "  run FILE [--answer yes|no] [--setup COMMAND] [-- ARG...]\n"
    "      Runs the installation of the self-extracting FILE as the Windows\n"
    "      launcher would, through the native platform: unpacks into\n"
    "      $TMPDIR/iunpack_.$$$/, runs setup, cleans up. Every visible effect\n"
    "      is printed to standard error as one trace line. Without --answer,\n"
    "      the question is asked on a terminal and answered No otherwise.\n"
    "      --setup runs COMMAND with /bin/sh -c in the working directory as\n"
    "      the setup program, with setup's arguments (-i, then the ARGs) as\n"
    "      its positional parameters; without it the unpacked setup.exe is\n"
    "      started. The ARGs after -- are the launcher's own command line\n"
    "      (/S, /quiet, ... make the run quiet). Exit status: the launcher's\n"
    "      exit code modulo 256 (setup's own exit code when setup ran; see\n"
    "      the README). A second run with the same $TMPDIR gets \"Already\n"
    "      running !\" and exit status 82 (1618).\n";

namespace {

// The launcher's exit code as a POSIX exit status keeps its low 8 bits.
int exit_status(uint32_t code) { return int(code & 0xFF); }

}  // namespace

int run_command(int argc, char** argv) {
    static constexpr CommandOption OPTIONS[] = {{"--answer", "yes or no"}, {"--setup", "COMMAND"}};
    CommandLine line;
    int status;
    if (!parse_command_line("run", RUN_USAGE, argc, argv, OPTIONS, line, status, true)) return status;
    if (line.operands.size() != 1) return usage_error("run takes one FILE", "run");
    TraceOptions options = {line.operands[0], Answer::ask, line.value("--setup")};
    if (const char* answer = line.value("--answer")) {
        if (strcmp(answer, "yes") == 0) options.answer = Answer::yes;
        else if (strcmp(answer, "no") == 0) options.answer = Answer::no;
        else return usage_error(("--answer takes yes or no, not " + visible_text(answer)).c_str(), "run");
    }
    // The launcher's command line: FILE as its program name, then the
    // words after "--", quoted as Windows programs read them back.
    std::vector<std::string> words = {options.module_path};
    words.insert(words.end(), line.passed_on.begin(), line.passed_on.end());
    static std::string command_line;
    command_line = windows_command_line(words);
    read_launch_options(command_line.c_str());
    PlatformScope scope(trace_platform(options));
    // The launcher's single-instance guard, as a lock in the temporary
    // directory: another run there gets "Already running !" (1618).
    static RunLock lock;
    LockResult locked = take_run_lock(&lock);
    if (locked == LockResult::held_elsewhere) {
        show_failure_unowned(MSG_ALREADY_RUNNING);
        return exit_status(EXIT_ALREADY_RUNNING);
    }
    if (locked == LockResult::failed) {
        fprintf(stderr, "iunpack run: error: cannot lock %s: %s\n", visible_path(lock.path).c_str(), strerror(errno));
        return exit_status(ERR_TEMP_DIR);
    }
    // No window on POSIX: a stand-in handle, so that message boxes show
    // that the window owns them.
    static int host_window_stand_in;
    unpack.host_window = &host_window_stand_in;
    uint32_t result = install_driver(nullptr);
    release_run_lock(&lock);
    fprintf(stderr, "driver-result %u\n", unsigned(result));
    return exit_status(result);
}
