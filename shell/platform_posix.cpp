// POSIX stand-ins for the Win32 calls, with the results the driver relies
// on: the temporary path from $TMPDIR (else /tmp) with a trailing '/',
// mkdir/rmdir/unlink for the directory calls, a held folder as a directory
// descriptor that every call inside it goes relative to (openat, unlinkat,
// fdopendir, and fchdir for the setup program), posix_spawn and waitpid for
// the setup program, calloc/free for the global heap. There is no window:
// the window calls do nothing, and a message box answers No.
#include "shell/platform_posix.h"

#include "common/command_line.h"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace {

thread_local uint32_t last_error;  // GetLastError's value: an errno

// A handle's kind tells CloseHandle what to release.
enum class Kind { process, search, token, folder };

struct ProcessObject {
    Kind kind;    // Kind::process
    pid_t pid;    // the child
    bool ended;   // waited for
    int status;   // waitpid's status once ended
};

struct SearchObject {
    Kind kind;   // Kind::search
    DIR* dir;    // the directory being listed
};

struct TokenObject {
    Kind kind;  // Kind::token
};

struct FolderObject {
    Kind kind;  // Kind::folder
    int fd;     // the directory, opened without following a link
};

// The descriptor of a held folder, or AT_FDCWD for none: paths are then
// taken as they are.
int folder_fd(Handle folder) { return folder ? static_cast<FolderObject*>(folder)->fd : AT_FDCWD; }

// A path in a held folder is taken by its last component, relative to the
// folder's descriptor: whatever is at the folder's path now plays no part.
const char* in_folder(Handle folder, const char* path) {
    if (!folder) return path;
    const char* slash = strrchr(path, '/');
    return slash ? slash + 1 : path;
}

TokenObject process_token = {Kind::token};

uint32_t GetTempPathA(uint32_t length, char* buffer) {
    const char* dir = getenv("TMPDIR");
    if (!dir || !*dir) dir = "/tmp";
    size_t n = strlen(dir);
    bool add_separator = dir[n - 1] != '/';
    size_t total = n + (add_separator ? 1 : 0);
    if (total + 1 > length) return uint32_t(total + 1);
    memcpy(buffer, dir, n);
    if (add_separator) buffer[n] = '/';
    buffer[total] = 0;
    return uint32_t(total);
}

uint32_t GetModuleFileNameA(char* buffer, uint32_t length) {
    if (length == 0) return 0;
    ssize_t n = readlink("/proc/self/exe", buffer, length);
    if (n < 0) {
        last_error = uint32_t(errno);
        return 0;
    }
    if (uint32_t(n) >= length) {  // truncated, as Win32 reports it
        buffer[length - 1] = 0;
        return length;
    }
    buffer[n] = 0;
    return uint32_t(n);
}

// Made for this user alone, elevated or not.
int CreateDirectoryA(const char* path, int) { return mkdir(path, 0700) == 0; }
int RemoveDirectoryA(const char* path) { return rmdir(path) == 0; }
int DeleteFileA(Handle folder, const char* path) { return unlinkat(folder_fd(folder), in_folder(folder, path), 0) == 0; }

Handle CreateFileA(const char* path) {
    int fd = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        last_error = uint32_t(errno);
        return nullptr;
    }
    FolderObject* folder = static_cast<FolderObject*>(malloc(sizeof(FolderObject)));
    if (!folder) {
        close(fd);
        last_error = ENOMEM;
        return nullptr;
    }
    *folder = {Kind::folder, fd};
    return folder;
}

// An entry's attributes as Win32 reports them: a symbolic link as a
// reparse point, and an entry of another user (in a shared temporary
// directory) marked as such.
uint32_t attributes_of(const struct stat& st) {
    uint32_t attributes = S_ISLNK(st.st_mode)   ? FILE_ATTRIBUTE_REPARSE_POINT
                          : S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY
                                                : FILE_ATTRIBUTE_NORMAL;
    if (st.st_uid != geteuid()) attributes |= FILE_ATTRIBUTE_OTHER_OWNER;
    return attributes;
}

int GetFileInformationByHandle(Handle folder, uint32_t* attributes) {
    struct stat st;
    if (fstat(folder_fd(folder), &st) != 0) {
        last_error = uint32_t(errno);
        return 0;
    }
    *attributes = attributes_of(st);
    return 1;
}

bool next_entry(SearchObject* search, FindData* found) {
    struct dirent* entry = readdir(search->dir);
    if (!entry) return false;
    snprintf(found->file_name, FIND_NAME_SIZE, "%s", entry->d_name);
    return true;
}

// Lists the held folder through a descriptor of its own ("*.*" matches
// every entry).
Handle FindFirstFileA(Handle folder, const char*, FindData* found) {
    int fd = openat(folder_fd(folder), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    DIR* dir = fdopendir(fd);
    if (!dir) {
        close(fd);
        return nullptr;
    }
    SearchObject* search = static_cast<SearchObject*>(malloc(sizeof(SearchObject)));
    if (!search) {
        closedir(dir);
        return nullptr;
    }
    *search = {Kind::search, dir};
    if (!next_entry(search, found)) {
        closedir(dir);
        free(search);
        return nullptr;
    }
    return search;
}

int FindNextFileA(Handle search, FindData* found) { return next_entry(static_cast<SearchObject*>(search), found); }

int FindClose(Handle handle) {
    SearchObject* search = static_cast<SearchObject*>(handle);
    closedir(search->dir);
    free(search);
    return 1;
}

// lstat: a symbolic link is reported as itself, never followed.
uint32_t GetFileAttributesA(const char* path) {
    struct stat st;
    if (lstat(path, &st) != 0) {
        last_error = uint32_t(errno);
        return INVALID_FILE_ATTRIBUTES;
    }
    return attributes_of(st);
}

int MessageBoxA(WindowHandle, const char*, const char*, uint32_t style) {
    return (style & MB_YESNO) ? IDNO : 1;
}
int WriteFile(const char* text) {
    size_t length = strlen(text);
    return ::write(STDERR_FILENO, text, length) == ssize_t(length) && ::write(STDERR_FILENO, "\n", 1) == 1;
}
int SetForegroundWindow(WindowHandle) { return 0; }
int ShowWindow(WindowHandle, int) { return 0; }
intptr_t SendMessageA(WindowHandle, uint32_t, uintptr_t, intptr_t) { return 0; }

// The application, a file of the held folder, is started from inside it.
int CreateProcessA(const char* application_name, char* command_line, Handle folder, const char*,
                   ProcessInfo* info) {
    const char* first[] = {application_name};
    char** argv = split_windows_command(application_name, command_line, first, 1);
    if (!argv) {
        last_error = ENOMEM;
        return 0;
    }
    char program[FIND_NAME_SIZE + 2] = "./";
    snprintf(program + 2, sizeof program - 2, "%s", in_folder(folder, application_name));
    int started = posix_start_process(folder ? program : application_name, argv, folder, info);
    free(argv);
    return started;
}

// No elevation here: CreateProcessA never asks for it.
int ShellExecuteExA(const char*, const char*, const char*, Handle*) {
    last_error = ENOSYS;
    return 0;
}

uint32_t WaitForSingleObject(Handle handle, uint32_t) {
    ProcessObject* process = static_cast<ProcessObject*>(handle);
    if (process->ended) return 0;
    while (waitpid(process->pid, &process->status, 0) < 0)
        if (errno != EINTR) return 0xFFFFFFFFu;  // WAIT_FAILED
    process->ended = true;
    return 0;  // WAIT_OBJECT_0
}

int GetExitCodeProcess(Handle handle, uint32_t* exit_code) {
    ProcessObject* process = static_cast<ProcessObject*>(handle);
    if (!process->ended) {
        *exit_code = 259;  // STILL_ACTIVE
        return 1;
    }
    int status = process->status;
    *exit_code = WIFEXITED(status) ? uint32_t(WEXITSTATUS(status)) : uint32_t(128 + WTERMSIG(status));
    return 1;
}

int CloseHandle(Handle handle) {
    if (!handle) return 0;
    Kind kind = *static_cast<Kind*>(handle);
    if (kind == Kind::process) {
        ProcessObject* process = static_cast<ProcessObject*>(handle);
        if (!process->ended) waitpid(process->pid, &process->status, WNOHANG);
        free(process);
    } else if (kind == Kind::folder) {
        close(static_cast<FolderObject*>(handle)->fd);
        free(handle);
    }
    return 1;
}

uint32_t GetLastError() { return last_error; }

int OpenProcessToken(uint32_t, Handle* token) {
    *token = &process_token;
    return 1;
}

// The superuser stands for an elevated process.
int GetTokenInformation(Handle, uint32_t* elevated) {
    *elevated = geteuid() == 0;
    return 1;
}

int LookupPrivilegeValueA(const char*, const char*, PrivilegeId* id) {
    *id = {19, 0};  // the shutdown privilege's identifier on Windows
    return 1;
}

int AdjustTokenPrivileges(Handle, PrivilegeId, uint32_t) { return 1; }

// The restart is never carried out on POSIX.
int ExitWindowsEx(uint32_t, uint32_t) {
    last_error = ENOSYS;
    return 0;
}

Handle GlobalAlloc(uint32_t flags, size_t bytes) {
    return (flags & GMEM_ZEROINIT) ? calloc(1, bytes ? bytes : 1) : malloc(bytes ? bytes : 1);
}
void* GlobalLock(Handle memory) { return memory; }
Handle GlobalHandle(const void* pointer) { return const_cast<void*>(pointer); }
int GlobalUnlock(Handle) { return 0; }
Handle GlobalFree(Handle memory) {
    free(memory);
    return nullptr;
}

FileHandle fopen_(const char* path, const char* mode) { return ::fopen(path, mode); }
// Created here or not at all; a link in the way is never followed.
FileHandle openat_(Handle folder, const char* path) {
    int fd = openat(folder_fd(folder), in_folder(folder, path), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                    0666);
    if (fd < 0) return nullptr;
    FILE* file = fdopen(fd, "wb");
    if (!file) close(fd);
    return file;
}
size_t fread_(void* buffer, size_t size, size_t count, FileHandle file) {
    return ::fread(buffer, size, count, static_cast<FILE*>(file));
}
size_t fwrite_(const void* buffer, size_t size, size_t count, FileHandle file) {
    return ::fwrite(buffer, size, count, static_cast<FILE*>(file));
}
int fseek_(FileHandle file, int64_t offset, int origin) {
    return ::fseeko(static_cast<FILE*>(file), off_t(offset), origin == SEEK_FROM_START ? SEEK_SET : SEEK_CUR);
}
int fclose_(FileHandle file) { return ::fclose(static_cast<FILE*>(file)); }

}  // namespace

char** split_windows_command(const char* application_name, const char* command_line, const char* const* first,
                             size_t first_count) {
    size_t skip = strlen(application_name);
    const char* tail = strncmp(command_line, application_name, skip) == 0 ? command_line + skip : command_line;
    // No argument is longer than the tail, nor are there more arguments
    // than its bytes: one block holds the pointers and then the words.
    size_t tail_length = strlen(tail);
    size_t slots = first_count + tail_length + 1;
    char** argv = static_cast<char**>(calloc(1, slots * sizeof(char*) + 2 * tail_length + 1));
    if (!argv) return nullptr;
    size_t argc = 0;
    for (; argc < first_count; argc++) argv[argc] = const_cast<char*>(first[argc]);
    char* out = reinterpret_cast<char*>(argv + slots);
    size_t length = 0;
    while (next_argument(&tail, out, tail_length + 1, &length)) {
        argv[argc++] = out;
        out += length + 1;
    }
    argv[argc] = nullptr;
    return argv;
}

uint32_t store_module_path(const char* path, char* buffer, uint32_t length) {
    if (length == 0) return 0;
    size_t n = strlen(path);
    if (n >= length) {
        memcpy(buffer, path, length - 1);
        buffer[length - 1] = 0;
        return length;
    }
    memcpy(buffer, path, n + 1);
    return uint32_t(n);
}

int posix_start_process(const char* program, char* const argv[], Handle folder, ProcessInfo* info) {
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) {
        last_error = ENOMEM;
        return 0;
    }
    pid_t pid = 0;
    int error = folder ? posix_spawn_file_actions_addfchdir_np(&actions, folder_fd(folder)) : 0;
    if (error == 0) error = posix_spawn(&pid, program, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        last_error = uint32_t(error);
        return 0;
    }
    ProcessObject* process = static_cast<ProcessObject*>(malloc(sizeof(ProcessObject)));
    if (!process) {
        waitpid(pid, nullptr, 0);
        last_error = ENOMEM;
        return 0;
    }
    *process = {Kind::process, pid, false, 0};
    info->process = process;
    info->thread = nullptr;
    return 1;
}

const Platform posix_platform = {
    .GetTempPathA = GetTempPathA,
    .GetModuleFileNameA = GetModuleFileNameA,
    .CreateDirectoryA = CreateDirectoryA,
    .RemoveDirectoryA = RemoveDirectoryA,
    .DeleteFileA = DeleteFileA,
    .GetFileAttributesA = GetFileAttributesA,
    .CreateFileA = CreateFileA,
    .GetFileInformationByHandle = GetFileInformationByHandle,
    .FindFirstFileA = FindFirstFileA,
    .FindNextFileA = FindNextFileA,
    .FindClose = FindClose,
    .MessageBoxA = MessageBoxA,
    .WriteFile = WriteFile,
    .SetForegroundWindow = SetForegroundWindow,
    .ShowWindow = ShowWindow,
    .SendMessageA = SendMessageA,
    .CreateProcessA = CreateProcessA,
    .ShellExecuteExA = ShellExecuteExA,
    .WaitForSingleObject = WaitForSingleObject,
    .GetExitCodeProcess = GetExitCodeProcess,
    .CloseHandle = CloseHandle,
    .GetLastError = GetLastError,
    .OpenProcessToken = OpenProcessToken,
    .GetTokenInformation = GetTokenInformation,
    .LookupPrivilegeValueA = LookupPrivilegeValueA,
    .AdjustTokenPrivileges = AdjustTokenPrivileges,
    .ExitWindowsEx = ExitWindowsEx,
    .GlobalAlloc = GlobalAlloc,
    .GlobalLock = GlobalLock,
    .GlobalHandle = GlobalHandle,
    .GlobalUnlock = GlobalUnlock,
    .GlobalFree = GlobalFree,
    .fopen = fopen_,
    .openat = openat_,
    .fread = fread_,
    .fwrite = fwrite_,
    .fseek = fseek_,
    .fclose = fclose_,
};
