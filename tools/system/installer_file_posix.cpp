// The temporary installer on POSIX: mkstemp beside the target, fsync,
// rename; the signals that end a process by default (from the terminal,
// the session or a closed pipe) remove it.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <string>

#include "tools/system/installer_file.h"

namespace {

// Each of them would end pack and leave the temporary file.
constexpr int INTERRUPTIONS[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGQUIT};

// The temporary installer, removed when pack is interrupted.
struct PackCleanup {
    char temp_path[PATH_MAX];     // its path, valid while armed
    volatile sig_atomic_t armed;  // 1 while the file exists under temp_path
};
PackCleanup cleanup;

void remove_temp_and_reraise(int signal_number) {
    if (cleanup.armed) unlink(cleanup.temp_path);
    signal(signal_number, SIG_DFL);
    raise(signal_number);
}

// The interruptions, held back while the temporary file comes and goes.
void block_interruptions(bool block) {
    sigset_t set;
    sigemptyset(&set);
    for (int s : INTERRUPTIONS) sigaddset(&set, s);
    sigprocmask(block ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}

}  // namespace

FILE* create_temp_installer(const char* output, TempFailure& failure) {
    std::string pattern = std::string(output) + ".XXXXXX";
    if (pattern.size() >= sizeof cleanup.temp_path) {
        failure = TempFailure::path_too_long;
        return nullptr;
    }
    memcpy(cleanup.temp_path, pattern.c_str(), pattern.size() + 1);
    for (int s : INTERRUPTIONS) signal(s, remove_temp_and_reraise);
    block_interruptions(true);
    int fd = mkstemp(cleanup.temp_path);
    cleanup.armed = fd >= 0;
    block_interruptions(false);
    if (fd < 0) {
        failure = TempFailure::not_created;
        return nullptr;
    }
    FILE* file = fdopen(fd, "w+b");
    if (!file) {
        int error = errno;
        close(fd);
        settle_temp_installer(false, output);
        errno = error;
        failure = TempFailure::not_opened;
    }
    return file;
}

const char* temp_installer_path() { return cleanup.temp_path; }

bool temp_installer_identity(FILE* file, FileIdentity& identity) {
    struct stat st;
    if (fstat(fileno(file), &st) != 0) return false;
    identity = {uint64_t(st.st_dev), uint64_t(st.st_ino)};
    return true;
}

bool flush_to_disk(FILE* file) { return fflush(file) == 0 && fsync(fileno(file)) == 0; }

bool settle_temp_installer(bool keep, const char* output) {
    block_interruptions(true);
    bool ok = keep;
    int saved = 0;
    if (keep) {
        mode_t mask = umask(0);
        umask(mask);
        ok = chmod(cleanup.temp_path, 0777 & ~mask) == 0 && rename(cleanup.temp_path, output) == 0;
        saved = errno;
    }
    if (!ok) unlink(cleanup.temp_path);
    cleanup.armed = 0;
    block_interruptions(false);
    errno = saved;
    return ok;
}
