// iunpack: the native command-line tool. Runs the installation driver on a
// self-extracting file through the POSIX platform; lists, tests and
// extracts its archive; makes installers and checks their stubs.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/failure.h"
#include "common/platform.h"
#include "common/unpack_error.h"
#include "common/unpack_state.h"
#include "shell/host_window.h"
#include "shell/install_driver.h"
#include "tools/archive_walk.h"
#include "tools/pack.h"
#include "tools/run_lock.h"
#include "tools/trace_platform.h"
#include "tools/verify.h"

namespace {

const char USAGE[] =
    "usage: iunpack COMMAND ...\n"
    "\n"
    "commands:\n"
    "  run FILE [--answer yes|no] [--setup COMMAND]\n"
    "      Runs the installation of the self-extracting FILE as the Windows\n"
    "      launcher would, through the native platform: unpacks into\n"
    "      $TMPDIR/iunpack_.$$$/, runs setup, cleans up. Every visible effect\n"
    "      is printed to standard error as one trace line. Without --answer,\n"
    "      the question is asked on a terminal and answered No otherwise.\n"
    "      --setup runs COMMAND with /bin/sh -c in the working directory as\n"
    "      the setup program; without it the unpacked setup.exe is started.\n"
    "      Exit status: the launcher's exit code modulo 256 (setup's own exit\n"
    "      code when setup ran; see the README). A second run with the same\n"
    "      $TMPDIR gets \"Already running !\" and exit status 0.\n"
    "  list FILE\n"
    "      Lists the entries of a self-extracting file or a bare archive.\n"
    "  test FILE\n"
    "      Unpacks every entry to nowhere and checks its CRC-32.\n"
    "  extract FILE DIR\n"
    "      Unpacks every entry into DIR, flat, with the launcher's checks.\n"
    "  pack [--stub win32|win64|STUB.exe] [--prompt TEXT | --prompt-file FILE]\n"
    "       [--method 0|1|4] [--force] INPUT... -o INSTALLER.exe\n"
    "      Makes an installer: the stub padded to 49152 bytes, the 200-byte\n"
    "      prompt field (at most 199 bytes of text) and an archive of the\n"
    "      INPUTs. An INPUT is a file, a folder (its own files) or an archive\n"
    "      (its entries passed through unchanged; a lone archive is written\n"
    "      as it is). Files are stored under their plain names, setup.exe\n"
    "      first, then by name, compressed with --method (default 1; an\n"
    "      entry that does not shrink is stored), dated by their modification\n"
    "      time in UTC (no later than $SOURCE_DATE_EPOCH when set): the same\n"
    "      inputs give the same bytes. --stub defaults to win32, the i686\n"
    "      product stub carried by this iunpack; win64 is the x86_64 one.\n"
    "      Refuses what the launcher would refuse (entries, names that are no\n"
    "      plain Windows file name or do not fit, two names equal without\n"
    "      regard to case), files of 4 GiB or more and a stub that does not\n"
    "      fit; unless --force, also files in subfolders of a folder (then\n"
    "      stored flat), names or a prompt with bytes above 127, no setup.exe\n"
    "      and a stub that is no PE file. Nothing is left on failure.\n"
    "  verify INSTALLER.exe [--stub win32|win64|STUB.exe]\n"
    "      Says whether the installer's first 49152 bytes are a stub this\n"
    "      iunpack carries (or the one given) padded with zero bytes, prints\n"
    "      the stub's SHA-256 and lists the entries. Exit status 1 when the\n"
    "      stub differs.\n"
    "\n"
    "Entries may be stored (method 0) or compressed with methods 1 to 4.\n"
    "\n"
    "Exit status (other than run): 0 on success, 1 on any failure, 2 on bad\n"
    "arguments.\n";

// The launcher's exit code as a POSIX exit status keeps its low 8 bits.
int exit_status(uint32_t code) { return int(code & 0xFF); }

int usage_error(const char* what) {
    fprintf(stderr, "iunpack: %s\nTry 'iunpack --help'.\n", what);
    return 2;
}

int run_command(int argc, char** argv) {
    if (argc < 1) return usage_error("run: missing FILE");
    TraceOptions options = {nullptr, Answer::ask, nullptr};
    for (int i = 0; i < argc; i++) {
        if (strcmp(argv[i], "--answer") == 0) {
            if (++i == argc) return usage_error("--answer needs yes or no");
            if (strcmp(argv[i], "yes") == 0) options.answer = Answer::yes;
            else if (strcmp(argv[i], "no") == 0) options.answer = Answer::no;
            else return usage_error("--answer needs yes or no");
        } else if (strcmp(argv[i], "--setup") == 0) {
            if (++i == argc) return usage_error("--setup needs a COMMAND");
            options.setup_command = argv[i];
        } else if (argv[i][0] == '-' && argv[i][1] != 0) {
            return usage_error("run: unknown option");
        } else if (options.module_path) {
            return usage_error("run: more than one FILE");
        } else {
            options.module_path = argv[i];
        }
    }
    if (!options.module_path) return usage_error("run: missing FILE");
    platform = trace_platform(options);
    // The launcher's single-instance guard, as a lock in the temporary
    // directory: another run there gets "Already running !" and exit 0.
    static RunLock lock;
    LockResult locked = take_run_lock(&lock);
    if (locked == LockResult::held_elsewhere) {
        platform->MessageBoxA(nullptr, MSG_ALREADY_RUNNING, CAPTION, MB_OK);
        return EXIT_ALREADY_RUNNING;
    }
    if (locked == LockResult::failed) {
        fprintf(stderr, "iunpack: cannot lock %s: %s\n", lock.path, strerror(errno));
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

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage_error("missing COMMAND");
    const char* command = argv[1];
    if (strcmp(command, "--help") == 0 || strcmp(command, "-h") == 0 || strcmp(command, "help") == 0) {
        fputs(USAGE, stdout);
        return 0;
    }
    if (strcmp(command, "run") == 0) return run_command(argc - 2, argv + 2);
    if (strcmp(command, "pack") == 0) return pack_command(argc - 2, argv + 2);
    if (strcmp(command, "verify") == 0) return verify_command(argc - 2, argv + 2);
    if (strcmp(command, "list") == 0 || strcmp(command, "test") == 0) {
        if (argc != 3) return usage_error("list and test take one FILE");
        return command[0] == 'l' ? list_archive(argv[2]) : test_archive(argv[2]);
    }
    if (strcmp(command, "extract") == 0) {
        if (argc != 4) return usage_error("extract takes FILE and DIR");
        return extract_archive(argv[2], argv[3]);
    }
    return usage_error("unknown COMMAND");
}
