// The temporary installer on Windows: created with CREATE_NEW beside the
// target, put on the disk with FlushFileBuffers, and moved over the target
// with MoveFileExA(MOVEFILE_REPLACE_EXISTING). Ctrl+C, Ctrl+Break and
// closing the console remove it: the console handler runs on a thread of
// its own, so it and the final move take turns under one lock.
#include "shell/windows_api.h"

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdio>

#include "tools/system/installer_file.h"
#include "tools/system/win32_errno.h"

namespace {

constexpr int NAME_ATTEMPTS = 100;

// The temporary installer, removed when pack is interrupted.
struct PackCleanup {
    char temp_path[MAX_PATH];  // its path, valid while armed
    bool armed;                // the file exists under temp_path and is ours to remove
    CRITICAL_SECTION lock;     // held by the console handler and while the file comes and goes
    bool handler_set;          // the lock is initialised and the console handler installed
};
PackCleanup cleanup;

// The file was opened with FILE_SHARE_DELETE: removing it while it is
// still open leaves it to vanish when the process ends. The process ends
// here, with the status of an interruption: the system's own handler may
// exit with 0 (Wine's does), and ExitProcess could wait forever for a C
// runtime lock that the main thread holds.
BOOL WINAPI remove_temp_on_console_event(DWORD) {
    EnterCriticalSection(&cleanup.lock);
    if (cleanup.armed) DeleteFileA(cleanup.temp_path);
    cleanup.armed = false;
    TerminateProcess(GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
    LeaveCriticalSection(&cleanup.lock);
    return FALSE;  // not reached unless the process could not end itself
}

// "OUTPUT.XXXXXX" with six hex digits that differ between attempts,
// processes and moments.
bool temp_name(const char* output, int attempt) {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    unsigned mix = unsigned(now.QuadPart) ^ unsigned(GetCurrentProcessId()) * 2654435761u ^ unsigned(attempt) * 40503u;
    int n = snprintf(cleanup.temp_path, sizeof cleanup.temp_path, "%s.%06x", output, mix & 0xFFFFFF);
    return n > 0 && size_t(n) < sizeof cleanup.temp_path;
}

HANDLE handle_of(FILE* file) { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))); }

}  // namespace

FILE* create_temp_installer(const char* output, TempFailure& failure) {
    if (!cleanup.handler_set) {
        InitializeCriticalSection(&cleanup.lock);
        SetConsoleCtrlHandler(remove_temp_on_console_event, TRUE);
        cleanup.handler_set = true;
    }
    HANDLE handle = INVALID_HANDLE_VALUE;
    EnterCriticalSection(&cleanup.lock);
    for (int attempt = 0; attempt < NAME_ATTEMPTS && handle == INVALID_HANDLE_VALUE; attempt++) {
        if (!temp_name(output, attempt)) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            break;
        }
        handle = CreateFileA(cleanup.temp_path, GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    cleanup.armed = handle != INVALID_HANDLE_VALUE;
    if (!cleanup.armed) set_errno_from_last_error();
    LeaveCriticalSection(&cleanup.lock);
    if (handle == INVALID_HANDLE_VALUE) {
        failure = TempFailure::not_created;
        return nullptr;
    }
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);
    FILE* file = fd < 0 ? nullptr : _fdopen(fd, "w+b");
    if (!file) {
        int error = errno;
        if (fd >= 0) _close(fd);
        else CloseHandle(handle);
        settle_temp_installer(false, output);
        failure = TempFailure::not_opened;
        errno = error;
    }
    return file;
}

const char* temp_installer_path() { return cleanup.temp_path; }

bool temp_installer_identity(FILE* file, FileIdentity& identity) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle_of(file), &info)) return false;
    identity = {info.dwVolumeSerialNumber, uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
    return true;
}

bool flush_to_disk(FILE* file) {
    if (fflush(file) != 0) return false;
    if (FlushFileBuffers(handle_of(file))) return true;
    set_errno_from_last_error();
    return false;
}

bool settle_temp_installer(bool keep, const char* output) {
    EnterCriticalSection(&cleanup.lock);
    // Not armed: an interruption has removed the file already.
    bool ok = keep && cleanup.armed;
    int saved = EINTR;
    if (ok && !MoveFileExA(cleanup.temp_path, output, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        set_errno_from_last_error();
        saved = errno;
        ok = false;
    }
    if (!ok && cleanup.armed) DeleteFileA(cleanup.temp_path);
    cleanup.armed = false;
    LeaveCriticalSection(&cleanup.lock);
    errno = saved;
    return ok;
}
