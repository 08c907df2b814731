// install_driver runs the installation in a fixed order:
//   work_dir under the temporary path -> open own executable -> prompt field
//   question -> main header -> every entry -> launch "setup.exe -i" -> wait
//   -> clean_temp_dir -> restart on 1234 -> destroy message to the window.
// Failures are shown where detected; the working directory is removed on
// every way out after it was made, except where clean-up itself fails.
#include "shell/install_driver.h"

#include <cstring>

#include "archive/entry_extraction.h"
#include "archive/header_reader.h"
#include "archive/layout.h"
#include "common/command_line.h"
#include "common/crc32.h"
#include "common/failure.h"
#include "common/global_heap.h"
#include "common/platform.h"
#include "common/text.h"
#include "common/unpack_error.h"
#include "common/unpack_state.h"

// Every end goes through here: the destroy message carries the result to
// the host as the process exit code and ends its message loop; after it the
// driver only returns.
static uint32_t end_with(uint32_t result) {
    platform->SendMessageA(unpack.host_window, WM_DESTROY, result, 0);
    return result;
}

// work_dir without its final separator, which would make the system
// follow a link there. False when work_dir is empty.
static bool work_folder_path(char* path) {
    path[0] = 0;
    text_append(path, PATH_SIZE, unpack.work_dir);
    size_t length = strlen(path);
    if (length == 0) return false;
    path[length - 1] = 0;
    return true;
}

// Lets the working folder go and removes it by its path, which removes
// only what is at the path now: an empty directory, or a link that was
// put there (never its target).
static void remove_work_folder() {
    if (unpack.work_folder) platform->CloseHandle(unpack.work_folder);
    unpack.work_folder = nullptr;
    char path[PATH_SIZE];
    if (work_folder_path(path)) platform->RemoveDirectoryA(path);
}

// Every early end after the working directory was made: the message (if
// any), the archive closed (nothing happens when it is not open) and the
// still-empty directory removed at once.
static uint32_t end_early(const char* message, uint32_t result) {
    if (message) show_failure(message);
    archive_close();
    remove_work_folder();
    return end_with(result);
}

// The working folder's name lives in a folder that other processes of the
// user can write, and they may swap what is at that name at any moment.
// So the folder is held open from its check to its removal, and every
// file call inside it goes through the held folder: no swap can lead the
// driver elsewhere. True when a plain directory of this user's is now
// held as unpack.work_folder.
static bool hold_work_folder() {
    char path[PATH_SIZE];
    if (!work_folder_path(path)) return false;
    Handle folder = platform->CreateFileA(path);
    if (!folder) return false;
    uint32_t attributes = 0;
    bool plain = platform->GetFileInformationByHandle(folder, &attributes) &&
                 (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                 !(attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_OTHER_OWNER));
    if (!plain) {
        platform->CloseHandle(folder);
        return false;
    }
    unpack.work_folder = folder;
    return true;
}

// What an earlier run left at work_dir: its folder is held for the
// clean-up (true); a link put there is removed as a link (RemoveDirectoryA
// removes a directory link itself, DeleteFileA any other), never its
// target's files; anything else, or anything of another user, is left.
static bool hold_leftover() {
    if (hold_work_folder()) return true;
    char path[PATH_SIZE];
    if (!work_folder_path(path)) return false;
    uint32_t attributes = platform->GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
        !(attributes & FILE_ATTRIBUTE_OTHER_OWNER)) {
        if (!platform->RemoveDirectoryA(path)) platform->DeleteFileA(nullptr, path);
    }
    return false;
}

void clean_temp_dir() {
    if (!unpack.work_folder && !hold_leftover()) return;
    char pattern[PATH_SIZE] = "";
    if (text_append(pattern, PATH_SIZE, unpack.work_dir) && text_append(pattern, PATH_SIZE, "*.*")) {
        FindData found;
        Handle search = platform->FindFirstFileA(unpack.work_folder, pattern, &found);
        if (search) {
            do {
                char path[PATH_SIZE] = "";
                // "." and "..", subdirectories and names that do not fit
                // are left; the directory then stays too.
                found.file_name[FIND_NAME_SIZE - 1] = 0;
                if (text_append(path, PATH_SIZE, unpack.work_dir) && text_append(path, PATH_SIZE, found.file_name))
                    platform->DeleteFileA(unpack.work_folder, path);
            } while (platform->FindNextFileA(search, &found));
            platform->FindClose(search);
        }
    }
    remove_work_folder();
}

// Makes the working folder afresh and holds it. A process that runs
// elevated makes it writable for SYSTEM and the Administrators alone: the
// user's other processes may not change what setup will run. False when
// it cannot be made, or what is held is not what was made (a swap came
// between): nothing is then deleted, and an empty folder is removed by
// its path.
static bool make_work_folder(bool elevated) {
    if (!platform->CreateDirectoryA(unpack.work_dir, elevated)) return false;
    if (hold_work_folder()) return true;
    remove_work_folder();
    return false;
}

// Whether this process runs elevated. Systems without elevation say no.
static bool running_elevated() {
    Handle token = nullptr;
    if (!platform->OpenProcessToken(TOKEN_QUERY, &token)) return false;
    uint32_t elevated = 0;
    bool known = platform->GetTokenInformation(token, &elevated) != 0;
    platform->CloseHandle(token);
    return known && elevated != 0;
}

// Temporary path + working-directory name into work_dir. False when the
// platform gives no path or one too long for the paths built from it.
static bool prepare_work_dir_path() {
    char* work_dir = unpack.work_dir;
    memset(work_dir, 0, PATH_SIZE);
    uint32_t length = platform->GetTempPathA(TEMP_PATH_BUFFER_LENGTH, work_dir);
    if (length == 0 || length >= TEMP_PATH_BUFFER_LENGTH) return false;
    if (strnlen(work_dir, PATH_SIZE) > TEMP_PATH_MAX) return false;
    return text_append(work_dir, PATH_SIZE, WORK_DIR_NAME);
}

// Reads the prompt field and asks its question (a quiet run goes on as
// after Yes). True when the installation goes on. The field is read only when the stream could be
// positioned at it; the text holds only bytes that were read and ends at the
// field's end even when the field has no zero byte.
static bool confirmed() {
    char prompt[PROMPT_FIELD_SIZE + 1] = {0};
    if (archive_seek(PAYLOAD_OFFSET)) archive_read(prompt, PROMPT_FIELD_SIZE);
    if (prompt[0] == 0 || launch.quiet) return true;
    return platform->MessageBoxA(nullptr, prompt, QUESTION_CAPTION, MB_YESNO | MB_SETFOREGROUND) == IDYES;
}

// How the start of setup ended.
enum class SetupRun {
    ran,              // it ran; its exit code was taken
    not_started,      // the "Can't run" message was shown
    declined,         // the user refused the elevation that setup needs
    needs_elevation,  // quiet, so nobody could consent to the elevation setup needs
};

// Waits for a started setup program and takes its exit code.
static void wait_for_setup(Handle process, uint32_t* exit_code) {
    platform->WaitForSingleObject(process, INFINITE_WAIT);
    platform->GetExitCodeProcess(process, exit_code);
    platform->CloseHandle(process);
}

// Appends as much of `text` as fits.
static void append_cut(char* buffer, size_t size, const char* text) {
    size_t used = strnlen(buffer, size);
    while (*text && used + 1 < size) buffer[used++] = *text++;
    buffer[used] = 0;
}

// The launcher's own arguments, passed on to setup.
static const char* launcher_arguments() { return launch.arguments ? launch.arguments : ""; }

// "Can't run %200s, code %lu" with setup's command, which alone may be
// shortened here, so that the text fits its buffer.
static void show_cant_run(const char* application, uint32_t error) {
    const char* arguments = launcher_arguments();
    char command[COMMAND_DISPLAY_MAX + 1] = "";
    append_cut(command, sizeof command, application);
    append_cut(command, sizeof command, " ");
    append_cut(command, sizeof command, SETUP_ARGUMENTS);
    if (*arguments) append_cut(command, sizeof command, " ");
    append_cut(command, sizeof command, arguments);
    char text[FAILURE_TEXT_SIZE] = "Can't run ";
    text_append_padded(text, FAILURE_TEXT_SIZE, command, COMMAND_WIDTH);
    text_append(text, FAILURE_TEXT_SIZE, ", code ");
    text_append_unsigned(text, FAILURE_TEXT_SIZE, error);
    show_failure(text);
}

// Starts setup, which needs elevation that the launcher does not have,
// through the shell: Windows asks the user for consent. A quiet run has
// nobody to ask.
static SetupRun run_elevated(const char* application, const char* parameters, uint32_t* exit_code) {
    if (launch.quiet) {
        show_cant_run(application, ERROR_ELEVATION_REQUIRED);
        return SetupRun::needs_elevation;
    }
    Handle process = nullptr;
    if (platform->ShellExecuteExA(application, parameters, unpack.work_dir, &process)) {
        wait_for_setup(process, exit_code);
        return SetupRun::ran;
    }
    uint32_t error = platform->GetLastError();
    if (error == ERROR_CANCELLED) return SetupRun::declined;
    show_cant_run(application, error);
    return SetupRun::not_started;
}

// Launches setup.exe in work_dir with "-i" and the launcher's own
// arguments, and waits for it. The command is never cut: its buffer grows
// with it, up to what the system takes. A setup that needs elevation the
// launcher does not have (Windows refuses CreateProcessA with 740) is
// started through the shell.
static SetupRun run_setup(uint32_t* exit_code) {
    *exit_code = 0;
    char application[PATH_SIZE] = "";
    // It fits: work_dir is at most TEMP_PATH_MAX + 13 characters.
    text_append(application, PATH_SIZE, unpack.work_dir);
    text_append(application, PATH_SIZE, SETUP_NAME);
    size_t application_length = strlen(application);
    const char* arguments = launcher_arguments();
    size_t arguments_length = strlen(arguments);
    size_t length = application_length + 1 + sizeof SETUP_ARGUMENTS - 1 + (arguments_length ? 1 + arguments_length : 0);
    if (length >= SETUP_COMMAND_MAX) {
        show_cant_run(application, ERROR_FILENAME_EXCED_RANGE);
        return SetupRun::not_started;
    }
    char* command = static_cast<char*>(heap_obtain(length + 1));
    if (!command) {
        show_cant_run(application, ERROR_NOT_ENOUGH_MEMORY);
        return SetupRun::not_started;
    }
    char* end = command;
    auto put = [&end](const char* text, size_t n) {
        memcpy(end, text, n);
        end += n;
    };
    put(application, application_length);
    put(" ", 1);
    const char* parameters = end;
    put(SETUP_ARGUMENTS, sizeof SETUP_ARGUMENTS - 1);
    if (arguments_length) {
        put(" ", 1);
        put(arguments, arguments_length);
    }
    *end = 0;

    SetupRun run = SetupRun::ran;
    ProcessInfo info = {nullptr, nullptr};
    if (platform->CreateProcessA(application, command, unpack.work_folder, unpack.work_dir, &info)) {
        platform->CloseHandle(info.thread);
        wait_for_setup(info.process, exit_code);
    } else {
        uint32_t error = platform->GetLastError();
        if (error == ERROR_ELEVATION_REQUIRED) {
            run = run_elevated(application, parameters, exit_code);
        } else {
            show_cant_run(application, error);
            run = SetupRun::not_started;
        }
    }
    heap_release(command);
    return run;
}

// Enables the shutdown privilege where the token can be opened, then asks
// for the restart in any case. No result is tested.
static void request_restart() {
    Handle token = nullptr;
    if (platform->OpenProcessToken(TOKEN_ADJUST_PRIVILEGES_QUERY, &token)) {
        PrivilegeId id = {0, 0};
        platform->LookupPrivilegeValueA(nullptr, SHUTDOWN_PRIVILEGE, &id);
        platform->AdjustTokenPrivileges(token, id, SE_PRIVILEGE_ENABLED);
        platform->CloseHandle(token);
    }
    platform->ExitWindowsEx(EWX_REBOOT, 0);
}

uint32_t install_driver(void*) {
    crc32_build_table();
    if (!prepare_work_dir_path()) {
        show_failure(MSG_TEMP_PATH);
        return end_with(ERR_TEMP_PATH);
    }
    clean_temp_dir();
    if (!make_work_folder(running_elevated())) {
        show_failure(MSG_TEMP_DIR);
        return end_with(ERR_TEMP_DIR);
    }
    char module_path[PATH_SIZE] = {0};
    uint32_t length = platform->GetModuleFileNameA(module_path, MODULE_PATH_LENGTH);
    if (length == 0 || length >= MODULE_PATH_LENGTH) return end_early(MSG_MODULE_PATH, ERR_TEMP_DIR);
    if (!archive_open(module_path)) return end_early(MSG_OPEN_ARCHIVE, DRIVER_NOT_OPENED);
    if (!confirmed()) return end_early(nullptr, DRIVER_DECLINED);
    if (!launch.quiet) {
        platform->SetForegroundWindow(unpack.host_window);
        platform->ShowWindow(unpack.host_window, SW_SHOW);
    }

    if (read_header() != HEADER_READ) return end_early(MSG_INVALID_ARCHIVE, DRIVER_BAD_ARCHIVE);
    // An entry that fails, or a header that cannot be read inside the loop,
    // ends the installation: setup never runs with part of its files.
    int header;
    while ((header = read_header()) == HEADER_READ)
        if (extract_entry() != 0) break;
    archive_close();
    if (header != HEADER_END) {
        clean_temp_dir();
        return end_with(DRIVER_ENTRY_FAILED);
    }
    if (!launch.quiet) platform->ShowWindow(unpack.host_window, SW_HIDE);

    uint32_t exit_code = 0;
    SetupRun run = run_setup(&exit_code);
    clean_temp_dir();
    if (run == SetupRun::declined) return end_with(DRIVER_DECLINED);
    if (run == SetupRun::not_started) return end_with(DRIVER_SETUP_NOT_STARTED);
    if (run == SetupRun::needs_elevation) return end_with(ERROR_ELEVATION_REQUIRED);
    // Nobody at the screen of a quiet run: the restart is left to whoever
    // started it, at a time of their choosing.
    if (exit_code == RESTART_EXIT_CODE && launch.quiet) return end_with(DRIVER_RESTART_REQUIRED);
    if (exit_code == RESTART_EXIT_CODE) request_restart();
    return end_with(exit_code);
}
