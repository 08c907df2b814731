// The test double of the platform: real files under a test's own temporary
// path, a scripted user and setup program, a record of every call, and one
// injected failure: the Nth call (counting every call, or only the calls of
// one name) returns what the real call returns when it fails.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/platform.h"

struct MessageBoxRecord {
    WindowHandle owner;   // nullptr: no owner
    std::string text;     // exactly as shown
    std::string caption;
    uint32_t style;
};

struct LaunchRecord {
    std::string application;             // application name given (the file, through the shell)
    std::string command;                 // command line given (the parameters, through the shell)
    std::string directory;               // current directory given
    bool through_shell;                  // ShellExecuteExA, not CreateProcessA
    bool folder_held;                    // CreateProcessA was given the held working folder
    std::vector<std::string> files_seen; // "name size" of each file in directory at launch, sorted
};

struct PlatformDouble {
    // --- script -----------------------------------------------------------
    std::string temp_path;         // what GetTempPathA gives, ending with '/'
    std::string module_path;       // what GetModuleFileNameA gives
    int answer = IDYES;            // the user's answer to a Yes/No box
    bool setup_starts = true;      // a launch of an existing setup.exe succeeds
    uint32_t setup_exit_code = 0;  // its exit code
    uint32_t launch_error = 2;     // GetLastError after a failed launch (ERROR_FILE_NOT_FOUND)
    bool elevated = false;         // the process token is elevated
    bool needs_elevation = false;  // setup needs elevation: CreateProcessA fails with 740 unless elevated
    uint32_t shell_error = 0;      // ShellExecuteExA fails with this code (0: it starts setup)
    bool shell_gives_no_handle = false;  // ShellExecuteExA succeeds without a process handle
    std::function<void(const std::string& directory)> setup_action;  // run as the setup program, if set
    uint64_t fail_at = 0;          // the call to fail, counting from 1 (0: none)
    std::string fail_only;         // when set, only calls of this name are counted for fail_at
    size_t heap_limit = 0;         // GlobalAlloc refuses larger blocks, as a full address space does (0: none)
    std::function<void(size_t call)> before_call;  // run before each call, with its number from 1, if set

    // --- record -----------------------------------------------------------
    std::vector<std::string> calls;        // every call's name, in order
    std::vector<MessageBoxRecord> boxes;   // every message box, in order
    std::vector<std::string> error_lines;  // every line written to standard error
    std::vector<LaunchRecord> launches;    // every launch attempt
    std::vector<int> show_commands;        // every ShowWindow command
    bool destroy_sent = false;             // WM_DESTROY was sent to the host window
    uintptr_t destroy_code = 0;            // its first parameter: the process exit code
    uint32_t calls_after_destroy = 0;      // platform calls made after it
    bool privilege_enabled = false;        // AdjustTokenPrivileges enabled the shutdown privilege
    bool restart_requested = false;        // ExitWindowsEx with EWX_REBOOT
    int administrators_only_dirs = 0;      // directories made for the Administrators alone
    std::string injected;                  // name of the call that was failed, empty if none
    uint64_t counted = 0;                  // calls counted towards fail_at

    // --- resources outstanding --------------------------------------------
    int open_files = 0;
    int heap_blocks = 0;
    size_t heap_bytes = 0;       // bytes of the blocks held
    size_t heap_peak = 0;        // the most heap_bytes has been
    int searches = 0;
    int folders = 0;             // folders held (CreateFileA)
    int processes = 0;
    int tokens = 0;
};

extern PlatformDouble platform_double;

// Clears the script and the record.
void platform_double_reset();
// The table that works on platform_double.
const Platform* platform_double_table();
