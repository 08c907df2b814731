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
    std::string application;             // application name given
    std::string command;                 // command line given
    std::string directory;               // current directory given
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
    std::function<void(const std::string& directory)> setup_action;  // run as the setup program, if set
    uint64_t fail_at = 0;          // the call to fail, counting from 1 (0: none)
    std::string fail_only;         // when set, only calls of this name are counted for fail_at
    size_t heap_limit = 0;         // GlobalAlloc refuses larger blocks, as a full address space does (0: none)

    // --- record -----------------------------------------------------------
    std::vector<std::string> calls;        // every call's name, in order
    std::vector<MessageBoxRecord> boxes;   // every message box, in order
    std::vector<LaunchRecord> launches;    // every launch attempt
    std::vector<int> show_commands;        // every ShowWindow command
    bool destroy_sent = false;             // WM_DESTROY was sent to the host window
    uintptr_t destroy_code = 0;            // its first parameter: the process exit code
    uint32_t calls_after_destroy = 0;      // platform calls made after it
    bool privilege_enabled = false;        // AdjustTokenPrivileges enabled the shutdown privilege
    bool restart_requested = false;        // ExitWindowsEx with EWX_REBOOT
    std::string injected;                  // name of the call that was failed, empty if none
    uint64_t counted = 0;                  // calls counted towards fail_at

    // --- resources outstanding --------------------------------------------
    int open_files = 0;
    int heap_blocks = 0;
    size_t heap_bytes = 0;       // bytes of the blocks held
    size_t heap_peak = 0;        // the most heap_bytes has been
    int searches = 0;
    int processes = 0;
    int tokens = 0;
};

extern PlatformDouble platform_double;

// Clears the script and the record.
void platform_double_reset();
// The table that works on platform_double.
const Platform* platform_double_table();
