// The platform seam. Every call the system makes to the operating system
// goes through one table of functions named after the real call, so that the
// same driver runs on Win32, on POSIX, and against a test double that can
// fail any call. Signatures are the Win32 ones reduced to the arguments the
// system varies; each implementation supplies the fixed ones (flags, security
// attributes, start-up record) exactly as the Win32 calls take them.
#pragma once

#include <cstddef>
#include <cstdint>

using WindowHandle = void*;  // HWND
using FileHandle = void*;    // FILE* of the C runtime
using Handle = void*;        // a kernel object: process, thread, token

// Values of the Win32 constants the system passes or compares.
inline constexpr uint32_t MB_OK = 0x0;
inline constexpr uint32_t MB_YESNO = 0x4;
inline constexpr uint32_t MB_SETFOREGROUND = 0x10000;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOW = 5;
inline constexpr uint32_t WM_CREATE = 1;
inline constexpr uint32_t WM_DESTROY = 2;
inline constexpr uint32_t WM_PAINT = 15;
inline constexpr uint32_t INFINITE_WAIT = 0xFFFFFFFFu;
inline constexpr uint32_t TOKEN_ADJUST_PRIVILEGES_QUERY = 0x28;
inline constexpr uint32_t SE_PRIVILEGE_ENABLED = 2;
inline constexpr uint32_t EWX_REBOOT = 2;
inline constexpr uint32_t GMEM_MOVEABLE = 0x2;
inline constexpr uint32_t GMEM_ZEROINIT = 0x40;
inline constexpr int SEEK_FROM_START = 0;
inline constexpr int SEEK_FROM_CURRENT = 1;

inline constexpr size_t FIND_NAME_SIZE = 260;  // MAX_PATH

// GetFileAttributesA's results.
inline constexpr uint32_t INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;
inline constexpr uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr uint32_t FILE_ATTRIBUTE_NORMAL = 0x80;
inline constexpr uint32_t FILE_ATTRIBUTE_REPARSE_POINT = 0x400;  // a junction or symbolic link
// Not a Win32 attribute (Win32 leaves the bit clear): the POSIX layer's mark
// of an entry owned by another user.
inline constexpr uint32_t FILE_ATTRIBUTE_OTHER_OWNER = 0x80000000u;

// What a file search yields: the found entry's name (WIN32_FIND_DATAA's
// cFileName).
struct FindData {
    char file_name[FIND_NAME_SIZE];
};

// PROCESS_INFORMATION, reduced to the two handles.
struct ProcessInfo {
    Handle process;
    Handle thread;
};

// LUID of a privilege.
struct PrivilegeId {
    uint32_t low;
    int32_t high;
};

struct Platform {
    // --- kernel: paths, directories, files -------------------------------
    // Stores the temporary path (ending with a separator) and returns its
    // length; 0 on failure; a result >= length is the length it would need.
    uint32_t (*GetTempPathA)(uint32_t length, char* buffer);
    // The running executable's path; 0 on failure; length when truncated.
    uint32_t (*GetModuleFileNameA)(char* buffer, uint32_t length);
    int (*CreateDirectoryA)(const char* path);  // nonzero: created
    int (*RemoveDirectoryA)(const char* path);
    int (*DeleteFileA)(const char* path);
    // A search handle, or nullptr for INVALID_HANDLE_VALUE.
    Handle (*FindFirstFileA)(const char* pattern, FindData* found);
    int (*FindNextFileA)(Handle search, FindData* found);
    int (*FindClose)(Handle search);
    // What `path` itself is, a final link or reparse point never followed:
    // FILE_ATTRIBUTE_* bits, INVALID_FILE_ATTRIBUTES when nothing is there
    // (or the call fails).
    uint32_t (*GetFileAttributesA)(const char* path);

    // --- user: message boxes and the host window -------------------------
    int (*MessageBoxA)(WindowHandle owner, const char* text, const char* caption, uint32_t style);
    int (*SetForegroundWindow)(WindowHandle window);
    int (*ShowWindow)(WindowHandle window, int command);
    intptr_t (*SendMessageA)(WindowHandle window, uint32_t message, uintptr_t wparam, intptr_t lparam);

    // --- kernel: the setup program ---------------------------------------
    // CreateProcessA with this process's own start-up record
    // (GetStartupInfoA), handles not inherited, creation flags
    // CREATE_DEFAULT_ERROR_MODE | NORMAL_PRIORITY_CLASS and no environment
    // block. Nonzero: started, and info holds the handles.
    int (*CreateProcessA)(const char* application_name, char* command_line, const char* current_directory,
                          ProcessInfo* info);
    uint32_t (*WaitForSingleObject)(Handle handle, uint32_t milliseconds);
    int (*GetExitCodeProcess)(Handle process, uint32_t* exit_code);
    int (*CloseHandle)(Handle handle);
    uint32_t (*GetLastError)();

    // --- advapi/user: the restart ----------------------------------------
    // OpenProcessToken on GetCurrentProcess() with the given access.
    int (*OpenProcessToken)(uint32_t access, Handle* token);
    int (*LookupPrivilegeValueA)(const char* system_name, const char* name, PrivilegeId* id);
    // One privilege, not disabling all, no previous-state buffer.
    int (*AdjustTokenPrivileges)(Handle token, PrivilegeId id, uint32_t attributes);
    int (*ExitWindowsEx)(uint32_t flags, uint32_t reason);

    // --- kernel: global heap ---------------------------------------------
    Handle (*GlobalAlloc)(uint32_t flags, size_t bytes);
    void* (*GlobalLock)(Handle memory);
    Handle (*GlobalHandle)(const void* pointer);
    int (*GlobalUnlock)(Handle memory);
    Handle (*GlobalFree)(Handle memory);  // nullptr: freed

    // --- C runtime: buffered file streams --------------------------------
    // Modes "rb", "wb" and "wbx": C11's exclusive create, which fails when
    // anything exists at `path` (also a link, which is never followed).
    FileHandle (*fopen)(const char* path, const char* mode);
    size_t (*fread)(void* buffer, size_t size, size_t count, FileHandle file);
    size_t (*fwrite)(const void* buffer, size_t size, size_t count, FileHandle file);
    int (*fseek)(FileHandle file, int64_t offset, int origin);  // 0: moved
    int (*fclose)(FileHandle file);
};

// The table in use; set once by the program's entry before anything runs.
extern const Platform* platform;
