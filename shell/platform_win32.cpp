// The driver's platform table on Win32. Each call supplies the fixed
// arguments the installation relies on; file streams are the system C
// runtime's.
#include "shell/windows_api.h"

#include <sddl.h>
#include <shellapi.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "shell/platform_win32.h"

namespace {

// CREATE_DEFAULT_ERROR_MODE | NORMAL_PRIORITY_CLASS: setup gets the
// system's error mode, not the one this process may have set.
constexpr DWORD SETUP_CREATION_FLAGS = 0x04000020;

uint32_t GetTempPathA_(uint32_t length, char* buffer) { return ::GetTempPathA(length, buffer); }
uint32_t GetModuleFileNameA_(char* buffer, uint32_t length) { return ::GetModuleFileNameA(nullptr, buffer, length); }
// Full control for SYSTEM and the Administrators, inherited by everything
// made inside, and nothing inherited from the temporary folder: the user's
// unelevated processes can neither add nor change a file in it.
constexpr char ADMINISTRATORS_ONLY[] = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

int CreateDirectoryA_(const char* path, int administrators_only) {
    if (!administrators_only) return ::CreateDirectoryA(path, nullptr);
    SECURITY_ATTRIBUTES security = {sizeof security, nullptr, FALSE};
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(ADMINISTRATORS_ONLY, SDDL_REVISION_1,
                                                              &security.lpSecurityDescriptor, nullptr))
        return 0;
    int made = ::CreateDirectoryA(path, &security);
    ::LocalFree(security.lpSecurityDescriptor);
    return made;
}
int RemoveDirectoryA_(const char* path) { return ::RemoveDirectoryA(path); }
// The held folder cannot be renamed or replaced: the path stays in it.
int DeleteFileA_(Handle, const char* path) { return ::DeleteFileA(path); }

// Shared for reading alone: nobody may rename, delete or write the folder
// (making it a junction writes it) while it is held. The reparse point
// flag opens a link itself, so that it shows as one.
Handle CreateFileA_(const char* path) {
    HANDLE folder = ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    return folder == INVALID_HANDLE_VALUE ? nullptr : folder;
}

// Win32 leaves FILE_ATTRIBUTE_OTHER_OWNER clear: a folder made by this
// process is held right after it is made.
int GetFileInformationByHandle_(Handle folder, uint32_t* attributes) {
    BY_HANDLE_FILE_INFORMATION information;
    if (!::GetFileInformationByHandle(folder, &information)) return 0;
    *attributes = information.dwFileAttributes;
    return 1;
}

void copy_found_name(const WIN32_FIND_DATAA& data, FindData* found) {
    static_assert(sizeof data.cFileName == sizeof found->file_name);
    memcpy(found->file_name, data.cFileName, sizeof found->file_name);
}

Handle FindFirstFileA_(Handle, const char* pattern, FindData* found) {
    WIN32_FIND_DATAA data;
    HANDLE search = ::FindFirstFileA(pattern, &data);
    if (search == INVALID_HANDLE_VALUE) return nullptr;
    copy_found_name(data, found);
    return search;
}
int FindNextFileA_(Handle search, FindData* found) {
    WIN32_FIND_DATAA data;
    if (!::FindNextFileA(search, &data)) return 0;
    copy_found_name(data, found);
    return 1;
}
int FindClose_(Handle search) { return ::FindClose(search); }
// The attributes of a link itself: the call does not follow it.
uint32_t GetFileAttributesA_(const char* path) { return ::GetFileAttributesA(path); }

int MessageBoxA_(WindowHandle owner, const char* text, const char* caption, uint32_t style) {
    return ::MessageBoxA(static_cast<HWND>(owner), text, caption, style);
}
int SetForegroundWindow_(WindowHandle window) { return ::SetForegroundWindow(static_cast<HWND>(window)); }
int ShowWindow_(WindowHandle window, int command) { return ::ShowWindow(static_cast<HWND>(window), command); }
intptr_t SendMessageA_(WindowHandle window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    return ::SendMessageA(static_cast<HWND>(window), message, wparam, lparam);
}

// The setup program gets this process's own start-up record, inherits no
// handles and the environment as it is.
int CreateProcessA_(const char* application_name, char* command_line, Handle, const char* current_directory,
                    ProcessInfo* info) {
    STARTUPINFOA startup;
    ::GetStartupInfoA(&startup);
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessA(application_name, command_line, nullptr, nullptr, FALSE, SETUP_CREATION_FLAGS, nullptr,
                          current_directory, &startup, &process))
        return 0;
    info->process = process.hProcess;
    info->thread = process.hThread;
    return 1;
}
// The shell is loaded from the system folder, by its full path, only when
// a setup needs it: the stub imports nothing beyond the core system DLLs.
int ShellExecuteExA_(const char* file, const char* parameters, const char* directory, Handle* process) {
    HMODULE shell = static_cast<HMODULE>(load_system_dll("\\shell32.dll"));
    auto execute = shell ? reinterpret_cast<BOOL(WINAPI*)(SHELLEXECUTEINFOA*)>(
                               reinterpret_cast<void*>(::GetProcAddress(shell, "ShellExecuteExA")))
                         : nullptr;
    if (!execute) return 0;
    SHELLEXECUTEINFOA start = {};
    start.cbSize = sizeof start;
    start.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    start.lpFile = file;
    start.lpParameters = parameters;
    start.lpDirectory = directory;
    start.nShow = SW_SHOWNORMAL;
    if (!execute(&start)) return 0;
    if (!start.hProcess) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    *process = start.hProcess;
    return 1;
}
uint32_t WaitForSingleObject_(Handle handle, uint32_t milliseconds) {
    return ::WaitForSingleObject(handle, milliseconds);
}
int GetExitCodeProcess_(Handle process, uint32_t* exit_code) {
    DWORD code = 0;
    int result = ::GetExitCodeProcess(process, &code);
    *exit_code = code;
    return result;
}
int CloseHandle_(Handle handle) { return ::CloseHandle(handle); }
uint32_t GetLastError_() { return ::GetLastError(); }

int OpenProcessToken_(uint32_t access, Handle* token) {
    HANDLE opened = nullptr;
    int result = ::OpenProcessToken(::GetCurrentProcess(), access, &opened);
    *token = opened;
    return result;
}
int GetTokenInformation_(Handle token, uint32_t* elevated) {
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    if (!::GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size)) return 0;
    *elevated = elevation.TokenIsElevated;
    return 1;
}
int LookupPrivilegeValueA_(const char* system_name, const char* name, PrivilegeId* id) {
    LUID luid = {};
    int result = ::LookupPrivilegeValueA(system_name, name, &luid);
    id->low = luid.LowPart;
    id->high = luid.HighPart;
    return result;
}
int AdjustTokenPrivileges_(Handle token, PrivilegeId id, uint32_t attributes) {
    TOKEN_PRIVILEGES privileges;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Luid.LowPart = id.low;
    privileges.Privileges[0].Luid.HighPart = id.high;
    privileges.Privileges[0].Attributes = attributes;
    return ::AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
}
int ExitWindowsEx_(uint32_t flags, uint32_t reason) { return ::ExitWindowsEx(flags, reason); }

Handle GlobalAlloc_(uint32_t flags, size_t bytes) { return ::GlobalAlloc(flags, bytes); }
void* GlobalLock_(Handle memory) { return ::GlobalLock(memory); }
Handle GlobalHandle_(const void* pointer) { return ::GlobalHandle(pointer); }
int GlobalUnlock_(Handle memory) { return ::GlobalUnlock(memory); }
Handle GlobalFree_(Handle memory) { return ::GlobalFree(memory); }

FileHandle fopen_(const char* path, const char* mode) { return ::fopen(path, mode); }
// msvcrt's fopen knows no "x": the exclusive create is _open's
// CREATE_NEW, which fails on anything at the path, links included.
FileHandle openat_(Handle, const char* path) {
    int fd = ::_open(path, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) return nullptr;
    FILE* file = ::_fdopen(fd, "wb");
    if (!file) ::_close(fd);
    return file;
}
size_t fread_(void* buffer, size_t size, size_t count, FileHandle file) {
    return ::fread(buffer, size, count, static_cast<FILE*>(file));
}
size_t fwrite_(const void* buffer, size_t size, size_t count, FileHandle file) {
    return ::fwrite(buffer, size, count, static_cast<FILE*>(file));
}
// fgetpos/fsetpos carry 64-bit positions in every msvcrt.dll, where
// fseek's offset is a 32-bit long and _fseeki64 is missing on older
// systems.
int fseek_(FileHandle file, int64_t offset, int origin) {
    FILE* stream = static_cast<FILE*>(file);
    fpos_t position = 0;
    if (origin != SEEK_FROM_START && origin != SEEK_FROM_CURRENT) return -1;
    if (origin == SEEK_FROM_CURRENT && ::fgetpos(stream, &position) != 0) return -1;
    position += offset;
    if (position < 0) return -1;
    return ::fsetpos(stream, &position);
}
int fclose_(FileHandle file) { return ::fclose(static_cast<FILE*>(file)); }

}  // namespace

Handle load_system_dll(const char* name) {
    char path[MAX_PATH + 16];
    UINT length = ::GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || ::lstrlenA(name) >= 16) return nullptr;
    ::lstrcpyA(path + length, name);
    return ::LoadLibraryA(path);
}

// Each text as one line; a program started with no standard error (the
// usual case for a windowed one) writes nothing.
int write_standard_error(const char* text) {
    HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
    if (!error || error == INVALID_HANDLE_VALUE) return 0;
    DWORD written = 0;
    return ::WriteFile(error, text, DWORD(::lstrlenA(text)), &written, nullptr) &&
           ::WriteFile(error, "\r\n", 2, &written, nullptr);
}

const Platform win32_platform = {
    .GetTempPathA = GetTempPathA_,
    .GetModuleFileNameA = GetModuleFileNameA_,
    .CreateDirectoryA = CreateDirectoryA_,
    .RemoveDirectoryA = RemoveDirectoryA_,
    .DeleteFileA = DeleteFileA_,
    .GetFileAttributesA = GetFileAttributesA_,
    .CreateFileA = CreateFileA_,
    .GetFileInformationByHandle = GetFileInformationByHandle_,
    .FindFirstFileA = FindFirstFileA_,
    .FindNextFileA = FindNextFileA_,
    .FindClose = FindClose_,
    .MessageBoxA = MessageBoxA_,
    .WriteFile = write_standard_error,
    .SetForegroundWindow = SetForegroundWindow_,
    .ShowWindow = ShowWindow_,
    .SendMessageA = SendMessageA_,
    .CreateProcessA = CreateProcessA_,
    .ShellExecuteExA = ShellExecuteExA_,
    .WaitForSingleObject = WaitForSingleObject_,
    .GetExitCodeProcess = GetExitCodeProcess_,
    .CloseHandle = CloseHandle_,
    .GetLastError = GetLastError_,
    .OpenProcessToken = OpenProcessToken_,
    .GetTokenInformation = GetTokenInformation_,
    .LookupPrivilegeValueA = LookupPrivilegeValueA_,
    .AdjustTokenPrivileges = AdjustTokenPrivileges_,
    .ExitWindowsEx = ExitWindowsEx_,
    .GlobalAlloc = GlobalAlloc_,
    .GlobalLock = GlobalLock_,
    .GlobalHandle = GlobalHandle_,
    .GlobalUnlock = GlobalUnlock_,
    .GlobalFree = GlobalFree_,
    .fopen = fopen_,
    .openat = openat_,
    .fread = fread_,
    .fwrite = fwrite_,
    .fseek = fseek_,
    .fclose = fclose_,
};
