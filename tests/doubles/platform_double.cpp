#include "tests/doubles/platform_double.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <set>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "shell/platform_posix.h"

PlatformDouble platform_double;

namespace {

// Blocks handed out by GlobalAlloc and not yet freed, with their sizes; a
// reset frees what a run lost, so that a sweep's injected failures leak
// nothing of their own.
std::map<void*, size_t> live_blocks;
// Folders held through CreateFileA and not yet let go (the POSIX layer's
// own handles, released by its CloseHandle).
std::set<Handle> held_folders;

}  // namespace

void platform_double_reset() {
    for (auto& held : live_blocks) posix_platform.GlobalFree(held.first);
    live_blocks.clear();
    for (Handle folder : held_folders) posix_platform.CloseHandle(folder);
    held_folders.clear();
    platform_double = PlatformDouble();
}

namespace {

PlatformDouble& d() { return platform_double; }
const Platform& real() { return posix_platform; }

// Records the call; true when this is the one to fail.
bool enter(const char* name) {
    PlatformDouble& s = d();
    s.calls.push_back(name);
    if (s.before_call) s.before_call(s.calls.size());
    if (s.destroy_sent) s.calls_after_destroy++;
    if (!s.fail_only.empty() && s.fail_only != name) return false;
    s.counted++;
    if (s.fail_at != 0 && s.counted == s.fail_at) {
        s.injected = name;
        return true;
    }
    return false;
}

uint32_t GetTempPathA(uint32_t length, char* buffer) {
    if (enter("GetTempPathA")) return 0;
    const std::string& path = d().temp_path;
    if (path.size() + 1 > length) return uint32_t(path.size() + 1);
    memcpy(buffer, path.c_str(), path.size() + 1);
    return uint32_t(path.size());
}

uint32_t GetModuleFileNameA(char* buffer, uint32_t length) {
    if (enter("GetModuleFileNameA")) return 0;
    return store_module_path(d().module_path.c_str(), buffer, length);
}

int CreateDirectoryA(const char* path, int administrators_only) {
    if (enter("CreateDirectoryA") || !real().CreateDirectoryA(path, administrators_only)) return 0;
    if (administrators_only) d().administrators_only_dirs++;
    return 1;
}
// A symbolic link stands for a Win32 directory link (junction), which
// RemoveDirectoryA removes itself.
bool is_directory_link(const char* path) {
    struct stat link, target;
    return lstat(path, &link) == 0 && S_ISLNK(link.st_mode) && stat(path, &target) == 0 && S_ISDIR(target.st_mode);
}
int RemoveDirectoryA(const char* path) {
    if (enter("RemoveDirectoryA")) return 0;
    if (is_directory_link(path)) return unlink(path) == 0;
    return real().RemoveDirectoryA(path);
}
int DeleteFileA(Handle folder, const char* path) {
    return enter("DeleteFileA") ? 0 : real().DeleteFileA(folder, path);
}

Handle CreateFileA(const char* path) {
    if (enter("CreateFileA")) return nullptr;
    Handle folder = real().CreateFileA(path);
    if (folder) {
        held_folders.insert(folder);
        d().folders++;
    }
    return folder;
}
int GetFileInformationByHandle(Handle folder, uint32_t* attributes) {
    return enter("GetFileInformationByHandle") ? 0 : real().GetFileInformationByHandle(folder, attributes);
}

Handle FindFirstFileA(Handle folder, const char* pattern, FindData* found) {
    if (enter("FindFirstFileA")) return nullptr;
    Handle search = real().FindFirstFileA(folder, pattern, found);
    if (search) d().searches++;
    return search;
}
int FindNextFileA(Handle search, FindData* found) {
    return enter("FindNextFileA") ? 0 : real().FindNextFileA(search, found);
}
int FindClose(Handle search) {
    bool fail = enter("FindClose");
    // The handle is released either way: a failed close leaks nothing here.
    d().searches--;
    real().FindClose(search);
    return fail ? 0 : 1;
}

// What Win32 reports: a link as a reparse point (a directory link also as a
// directory), with no owner mark.
uint32_t GetFileAttributesA(const char* path) {
    if (enter("GetFileAttributesA")) return INVALID_FILE_ATTRIBUTES;
    struct stat st;
    if (lstat(path, &st) != 0) return INVALID_FILE_ATTRIBUTES;
    if (S_ISLNK(st.st_mode))
        return FILE_ATTRIBUTE_REPARSE_POINT | (is_directory_link(path) ? FILE_ATTRIBUTE_DIRECTORY : 0);
    return S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}

int MessageBoxA(WindowHandle owner, const char* text, const char* caption, uint32_t style) {
    bool fail = enter("MessageBoxA");
    d().boxes.push_back({owner, text, caption, style});
    if (fail) return 0;
    return (style & MB_YESNO) ? d().answer : 1;
}

int WriteFile(const char* text) {
    bool fail = enter("WriteFile");
    d().error_lines.push_back(text);
    return fail ? 0 : 1;
}

int SetForegroundWindow(WindowHandle) { return enter("SetForegroundWindow") ? 0 : 1; }
int ShowWindow(WindowHandle, int command) {
    bool fail = enter("ShowWindow");
    d().show_commands.push_back(command);
    return fail ? 0 : 1;
}
intptr_t SendMessageA(WindowHandle, uint32_t message, uintptr_t wparam, intptr_t) {
    enter("SendMessageA");
    if (message == WM_DESTROY) {
        d().destroy_sent = true;
        d().destroy_code = wparam;
    }
    return 0;
}

std::vector<std::string> list_files(const std::string& directory) {
    std::vector<std::string> files;
    DIR* dir = opendir(directory.c_str());
    if (!dir) return files;
    while (struct dirent* e = readdir(dir)) {
        std::string path = directory + e->d_name;
        struct stat st;
        if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            files.push_back(std::string(e->d_name) + " " + std::to_string(st.st_size));
    }
    closedir(dir);
    std::sort(files.begin(), files.end());
    return files;
}

// A started setup program is a token object; its "exit code" is scripted.
struct FakeProcess {
    uint32_t exit_code;
};

// A setup that needs elevation the process lacks is refused as Windows
// refuses it (740); through the shell it starts after the scripted consent.
uint32_t last_error = 0;

FakeProcess* start_setup(const char* application, const std::string& directory) {
    PlatformDouble& s = d();
    struct stat st;
    if (!s.setup_starts || stat(application, &st) != 0) {
        last_error = s.launch_error;
        return nullptr;
    }
    if (s.setup_action) s.setup_action(directory);
    s.processes++;
    return new FakeProcess{s.setup_exit_code};
}

int CreateProcessA(const char* application, char* command, Handle folder, const char* directory, ProcessInfo* info) {
    bool fail = enter("CreateProcessA");
    PlatformDouble& s = d();
    s.launches.push_back({application, command, directory, false, folder != nullptr, list_files(directory)});
    last_error = s.launch_error;
    if (fail) return 0;
    if (s.needs_elevation && !s.elevated) {
        last_error = ERROR_ELEVATION_REQUIRED;
        return 0;
    }
    FakeProcess* process = start_setup(application, directory);
    if (!process) return 0;
    info->process = process;
    info->thread = new FakeProcess{0};
    s.processes++;
    return 1;
}

int ShellExecuteExA(const char* file, const char* parameters, const char* directory, Handle* process) {
    bool fail = enter("ShellExecuteExA");
    PlatformDouble& s = d();
    s.launches.push_back({file, parameters, directory, true, false, list_files(directory)});
    last_error = s.launch_error;
    if (fail) return 0;
    if (s.shell_error) {
        last_error = s.shell_error;
        return 0;
    }
    FakeProcess* started = start_setup(file, directory);
    if (!started) return 0;
    if (s.shell_gives_no_handle) {
        delete started;
        s.processes--;
        last_error = 6;  // ERROR_INVALID_HANDLE
        return 0;
    }
    *process = started;
    return 1;
}

uint32_t WaitForSingleObject(Handle, uint32_t) { return enter("WaitForSingleObject") ? 0xFFFFFFFFu : 0; }
int GetExitCodeProcess(Handle process, uint32_t* exit_code) {
    if (enter("GetExitCodeProcess")) return 0;
    *exit_code = static_cast<FakeProcess*>(process)->exit_code;
    return 1;
}

int token_object;  // the process token's identity

int CloseHandle(Handle handle) {
    bool fail = enter("CloseHandle");
    if (handle == &token_object) {
        d().tokens--;
    } else if (held_folders.erase(handle)) {
        real().CloseHandle(handle);
        d().folders--;
    } else if (handle) {
        delete static_cast<FakeProcess*>(handle);
        d().processes--;
    }
    return fail ? 0 : 1;
}

uint32_t GetLastError() {
    enter("GetLastError");
    return last_error;
}

int OpenProcessToken(uint32_t access, Handle* token) {
    if (enter("OpenProcessToken") || (access != TOKEN_ADJUST_PRIVILEGES_QUERY && access != TOKEN_QUERY)) return 0;
    *token = &token_object;
    d().tokens++;
    return 1;
}
int GetTokenInformation(Handle, uint32_t* elevated) {
    if (enter("GetTokenInformation")) return 0;
    *elevated = d().elevated;
    return 1;
}
int LookupPrivilegeValueA(const char*, const char* name, PrivilegeId* id) {
    if (enter("LookupPrivilegeValueA") || strcmp(name, "SeShutdownPrivilege") != 0) return 0;
    *id = {19, 0};
    return 1;
}
int AdjustTokenPrivileges(Handle, PrivilegeId id, uint32_t attributes) {
    if (enter("AdjustTokenPrivileges")) return 0;
    if (id.low == 19 && attributes == SE_PRIVILEGE_ENABLED) d().privilege_enabled = true;
    return 1;
}
int ExitWindowsEx(uint32_t flags, uint32_t) {
    if (enter("ExitWindowsEx")) return 0;
    if (flags == EWX_REBOOT) d().restart_requested = true;
    return 1;
}

Handle GlobalAlloc(uint32_t flags, size_t bytes) {
    PlatformDouble& s = d();
    if (enter("GlobalAlloc") || (s.heap_limit != 0 && bytes > s.heap_limit)) return nullptr;
    Handle memory = real().GlobalAlloc(flags, bytes);
    if (memory) {
        live_blocks[memory] = bytes;
        s.heap_blocks++;
        s.heap_bytes += bytes;
        s.heap_peak = std::max(s.heap_peak, s.heap_bytes);
    }
    return memory;
}
void* GlobalLock(Handle memory) { return enter("GlobalLock") ? nullptr : memory; }
Handle GlobalHandle(const void* pointer) { return enter("GlobalHandle") ? nullptr : const_cast<void*>(pointer); }
int GlobalUnlock(Handle) {
    enter("GlobalUnlock");
    return 0;
}
// A failed free keeps the block: the count shows it as held.
Handle GlobalFree(Handle memory) {
    auto block = live_blocks.find(memory);
    if (enter("GlobalFree") || block == live_blocks.end()) return memory;
    d().heap_bytes -= block->second;
    live_blocks.erase(block);
    d().heap_blocks--;
    return real().GlobalFree(memory);
}

FileHandle fopen_(const char* path, const char* mode) {
    if (enter("fopen")) return nullptr;
    FileHandle file = real().fopen(path, mode);
    if (file) d().open_files++;
    return file;
}
FileHandle openat_(Handle folder, const char* path) {
    if (enter("openat")) return nullptr;
    FileHandle file = real().openat(folder, path);
    if (file) d().open_files++;
    return file;
}
size_t fread_(void* buffer, size_t size, size_t count, FileHandle file) {
    return enter("fread") ? 0 : real().fread(buffer, size, count, file);
}
size_t fwrite_(const void* buffer, size_t size, size_t count, FileHandle file) {
    return enter("fwrite") ? 0 : real().fwrite(buffer, size, count, file);
}
int fseek_(FileHandle file, int64_t offset, int origin) {
    return enter("fseek") ? -1 : real().fseek(file, offset, origin);
}
int fclose_(FileHandle file) {
    bool fail = enter("fclose");
    d().open_files--;
    int result = real().fclose(file);
    return fail ? -1 : result;
}

const Platform table = {
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

}  // namespace

const Platform* platform_double_table() { return &table; }
