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
inline constexpr uint32_t TOKEN_QUERY = 0x8;
inline constexpr uint32_t ERROR_ELEVATION_REQUIRED = 740;
inline constexpr uint32_t ERROR_CANCELLED = 1223;
inline constexpr uint32_t ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr uint32_t ERROR_FILENAME_EXCED_RANGE = 206;
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
    // Nonzero: created. administrators_only: with an access control list
    // that lets only SYSTEM and the Administrators create or change
    // anything in it (for a process that runs elevated).
    int (*CreateDirectoryA)(const char* path, int administrators_only);
    int (*RemoveDirectoryA)(const char* path);
    // `path` lies in the held folder `folder` (below), or anywhere when
    // folder is nullptr.
    int (*DeleteFileA)(Handle folder, const char* path);
    // What `path` itself is, a final link or reparse point never followed:
    // FILE_ATTRIBUTE_* bits, INVALID_FILE_ATTRIBUTES when nothing is there
    // (or the call fails).
    uint32_t (*GetFileAttributesA)(const char* path);

    // --- kernel: a held folder -------------------------------------------
    // Opens the folder at `path` itself (a link there is never followed)
    // and holds it until CloseHandle. The calls that take a held folder
    // and a path in it then reach what was held, whatever another process
    // does to the path meanwhile. Win32: the folder is opened sharing
    // neither write nor delete, so that it cannot be renamed, replaced or
    // made a junction while held, and the path stays its path. POSIX: a
    // directory descriptor, and those calls go relative to it with the
    // path's last component. nullptr on failure.
    Handle (*CreateFileA)(const char* path);
    // What the held folder is: FILE_ATTRIBUTE_* bits, with
    // FILE_ATTRIBUTE_OTHER_OWNER when its owner is not the one this process
    // creates files as. Nonzero on success.
    int (*GetFileInformationByHandle)(Handle folder, uint32_t* attributes);
    // Lists the held folder, whose path followed by "*.*" is `pattern`: a
    // search handle with the first entry, or nullptr for
    // INVALID_HANDLE_VALUE.
    Handle (*FindFirstFileA)(Handle folder, const char* pattern, FindData* found);
    int (*FindNextFileA)(Handle search, FindData* found);
    int (*FindClose)(Handle search);

    // --- user: message boxes and the host window -------------------------
    int (*MessageBoxA)(WindowHandle owner, const char* text, const char* caption, uint32_t style);
    // WriteFile to the standard error handle (GetStdHandle): `text` as one
    // line, where a quiet run's boxes go. Nothing when the process has none.
    int (*WriteFile)(const char* text);
    int (*SetForegroundWindow)(WindowHandle window);
    int (*ShowWindow)(WindowHandle window, int command);
    intptr_t (*SendMessageA)(WindowHandle window, uint32_t message, uintptr_t wparam, intptr_t lparam);

    // --- kernel: the setup program ---------------------------------------
    // CreateProcessA with this process's own start-up record
    // (GetStartupInfoA), handles not inherited, creation flags
    // CREATE_DEFAULT_ERROR_MODE | NORMAL_PRIORITY_CLASS, no environment
    // block; its current directory is the held folder `folder` at
    // `directory`, and application_name a path in it. Nonzero: started,
    // and info holds the handles.
    int (*CreateProcessA)(const char* application_name, char* command_line, Handle folder, const char* directory,
                          ProcessInfo* info);
    // ShellExecuteExA of `file` with `parameters` in `directory`, with
    // SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI: the shell asks for
    // the consent that a program needing elevation requires. Nonzero:
    // started, with its process handle (a start without one counts as
    // failed, with GetLastError telling why).
    int (*ShellExecuteExA)(const char* file, const char* parameters, const char* directory, Handle* process);
    uint32_t (*WaitForSingleObject)(Handle handle, uint32_t milliseconds);
    int (*GetExitCodeProcess)(Handle process, uint32_t* exit_code);
    int (*CloseHandle)(Handle handle);
    uint32_t (*GetLastError)();

    // --- advapi/user: the process token and the restart ------------------
    // OpenProcessToken on GetCurrentProcess() with the given access.
    int (*OpenProcessToken)(uint32_t access, Handle* token);
    // GetTokenInformation's TokenElevation: nonzero in `elevated` when the
    // token is elevated. Nonzero on success (0 where the system has no
    // elevation).
    int (*GetTokenInformation)(Handle token, uint32_t* elevated);
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
    // Modes "rb" and "wb".
    FileHandle (*fopen)(const char* path, const char* mode);
    // Creates `path`, in the held folder `folder`, for writing and
    // exclusively: it fails when anything is there already (also a link,
    // which is never followed). A stream that fwrite and fclose take.
    FileHandle (*openat)(Handle folder, const char* path);
    size_t (*fread)(void* buffer, size_t size, size_t count, FileHandle file);
    size_t (*fwrite)(const void* buffer, size_t size, size_t count, FileHandle file);
    int (*fseek)(FileHandle file, int64_t offset, int origin);  // 0: moved
    int (*fclose)(FileHandle file);
};

// The table in use; set once by the program's entry before anything runs.
extern const Platform* platform;
