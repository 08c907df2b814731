// iunpack: the authors' command-line tool (iunpack.exe on Windows). Lists,
// tests and extracts an installer's archive with the launcher's own code;
// makes installers and checks their stubs; on POSIX also runs the
// installation driver on a self-extracting file.
#include <cstdio>
#include <cstring>

#include "tools/archive_walk.h"
#include "tools/pack.h"
#include "tools/run_command.h"
#include "tools/usage_error.h"
#include "tools/verify.h"

namespace {

const char USAGE[] =
    "usage: iunpack COMMAND ...\n"
    "\n"
    "commands:\n";

// Between RUN_USAGE and the rest.
const char COMMANDS_USAGE[] =
    "  list FILE\n"
    "      Lists the entries of a self-extracting file or a bare archive.\n"
    "  test FILE\n"
    "      Unpacks every entry to nowhere and checks its CRC-32.\n"
    "  extract FILE DIR\n"
    "      Unpacks every entry into DIR, flat, with the launcher's checks.\n"
    "  pack [--stub win32|win64|STUB.exe] [--prompt TEXT | --prompt-file FILE]\n"
    "       [--method 0|1|4] [--admin] [--force] INPUT... -o INSTALLER.exe\n"
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
    "      --admin takes the stub's variant that makes Windows ask for\n"
    "      administrator rights before anything is unpacked.\n"
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

}  // namespace

int usage_error(const char* what, const char* command) {
    if (command)
        fprintf(stderr, "iunpack %s: %s\nTry 'iunpack --help'.\n", command, what);
    else
        fprintf(stderr, "iunpack: %s\nTry 'iunpack --help'.\n", what);
    return 2;
}

int main(int argc, char** argv) {
    if (argc < 2) return usage_error("missing COMMAND");
    const char* command = argv[1];
    if (strcmp(command, "--help") == 0 || strcmp(command, "-h") == 0 || strcmp(command, "help") == 0) {
        fputs(USAGE, stdout);
        fputs(RUN_USAGE, stdout);
        fputs(COMMANDS_USAGE, stdout);
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
