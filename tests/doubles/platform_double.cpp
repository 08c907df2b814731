#include "tests/doubles/platform_double.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
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

}  // namespace

void platform_double_reset() {
    for (auto& held : live_blocks) posix_platform.GlobalFree(held.first);
    live_blocks.clear();
    platform_double = PlatformDouble();
}

namespace {

PlatformDouble& d() { return platform_double; }
const Platform& real() { return posix_platform; }

// Records the call; true when this is the one to fail.
bool enter(const char* name) {
    PlatformDouble& s = d();
    s.calls.push_back(name);
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

int CreateDirectoryA(const char* path) { return enter("CreateDirectoryA") ? 0 : real().CreateDirectoryA(path); }
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
int DeleteFileA(const char* path) { return enter("DeleteFileA") ? 0 : real().DeleteFileA(path); }

Handle FindFirstFileA(const char* pattern, FindData* found) {
    if (enter("FindFirstFileA")) return nullptr;
    Handle search = real().FindFirstFileA(pattern, found);
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

int CreateProcessA(const char* application, char* command, const char* directory, ProcessInfo* info) {
    bool fail = enter("CreateProcessA");
    PlatformDouble& s = d();
    s.launches.push_back({application, command, directory, list_files(directory)});
    struct stat st;
    if (fail || !s.setup_starts || stat(application, &st) != 0) return 0;
    if (s.setup_action) s.setup_action(directory);
    info->process = new FakeProcess{s.setup_exit_code};
    info->thread = new FakeProcess{0};
    s.processes += 2;
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
    } else if (handle) {
        delete static_cast<FakeProcess*>(handle);
        d().processes--;
    }
    return fail ? 0 : 1;
}

uint32_t GetLastError() {
    enter("GetLastError");
    return d().launch_error;
}

int OpenProcessToken(uint32_t access, Handle* token) {
    if (enter("OpenProcessToken") || access != TOKEN_ADJUST_PRIVILEGES_QUERY) return 0;
    *token = &token_object;
    d().tokens++;
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

// An exclusive create fails on anything already at the path, as on
// Windows, whether or not the real call would.
FileHandle fopen_(const char* path, const char* mode) {
    if (enter("fopen")) return nullptr;
    struct stat st;
    if (strcmp(mode, "wbx") == 0 && lstat(path, &st) == 0) return nullptr;
    FileHandle file = real().fopen(path, mode);
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
    .FindFirstFileA = FindFirstFileA,
    .FindNextFileA = FindNextFileA,
    .FindClose = FindClose,
    .GetFileAttributesA = GetFileAttributesA,
    .MessageBoxA = MessageBoxA,
    .SetForegroundWindow = SetForegroundWindow,
    .ShowWindow = ShowWindow,
    .SendMessageA = SendMessageA,
    .CreateProcessA = CreateProcessA,
    .WaitForSingleObject = WaitForSingleObject,
    .GetExitCodeProcess = GetExitCodeProcess,
    .CloseHandle = CloseHandle,
    .GetLastError = GetLastError,
    .OpenProcessToken = OpenProcessToken,
    .LookupPrivilegeValueA = LookupPrivilegeValueA,
    .AdjustTokenPrivileges = AdjustTokenPrivileges,
    .ExitWindowsEx = ExitWindowsEx,
    .GlobalAlloc = GlobalAlloc,
    .GlobalLock = GlobalLock,
    .GlobalHandle = GlobalHandle,
    .GlobalUnlock = GlobalUnlock,
    .GlobalFree = GlobalFree,
    .fopen = fopen_,
    .fread = fread_,
    .fwrite = fwrite_,
    .fseek = fseek_,
    .fclose = fclose_,
};

}  // namespace

const Platform* platform_double_table() { return &table; }
