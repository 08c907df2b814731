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
#include "common/crc32.h"
#include "common/failure.h"
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

// Every early end after the working directory was made: the message (if
// any), the archive closed (nothing happens when it is not open) and the
// still-empty directory removed at once.
static uint32_t end_early(const char* message, uint32_t result) {
    if (message) show_failure(message);
    archive_close();
    platform->RemoveDirectoryA(unpack.work_dir);
    return end_with(result);
}

// The working directory's name lives in a folder that other processes of
// the user can write: a link planted there must never lead the clean-up
// into its target. Checked right before each clean-up; a link is removed
// as a link (RemoveDirectoryA removes a directory link itself, DeleteFileA
// any other), so that the directory can be made afresh. True when work_dir
// is a plain directory of this user.
static bool work_dir_may_be_entered() {
    char dir[PATH_SIZE] = "";
    text_append(dir, PATH_SIZE, unpack.work_dir);
    size_t length = strlen(dir);
    if (length == 0) return false;
    dir[length - 1] = 0;  // a trailing separator would follow a link
    uint32_t attributes = platform->GetFileAttributesA(dir);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_OTHER_OWNER)) return false;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        if (!platform->RemoveDirectoryA(dir)) platform->DeleteFileA(dir);
        return false;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void clean_temp_dir() {
    if (!work_dir_may_be_entered()) return;
    char pattern[PATH_SIZE] = "";
    if (!text_append(pattern, PATH_SIZE, unpack.work_dir) || !text_append(pattern, PATH_SIZE, "*.*")) return;
    FindData found;
    Handle search = platform->FindFirstFileA(pattern, &found);
    if (!search) return;
    do {
        char path[PATH_SIZE] = "";
        // "." and "..", subdirectories and names that do not fit are left;
        // the directory then stays too.
        found.file_name[FIND_NAME_SIZE - 1] = 0;
        if (text_append(path, PATH_SIZE, unpack.work_dir) && text_append(path, PATH_SIZE, found.file_name))
            platform->DeleteFileA(path);
    } while (platform->FindNextFileA(search, &found));
    platform->FindClose(search);
    platform->RemoveDirectoryA(unpack.work_dir);
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

// Reads the prompt field and asks its question. True when the
// installation goes on. The field is read only when the stream could be
// positioned at it; the text holds only bytes that were read and ends at the
// field's end even when the field has no zero byte.
static bool confirmed() {
    char prompt[PROMPT_FIELD_SIZE + 1] = {0};
    if (archive_seek(PAYLOAD_OFFSET)) archive_read(prompt, PROMPT_FIELD_SIZE);
    if (prompt[0] == 0) return true;
    return platform->MessageBoxA(nullptr, prompt, QUESTION_CAPTION, MB_YESNO | MB_SETFOREGROUND) == IDYES;
}

// Launches setup.exe in work_dir and waits for it. True when it ran, with
// its exit code; false after the "Can't run" message.
static bool run_setup(uint32_t* exit_code) {
    char command[PATH_SIZE] = "";
    char application[PATH_SIZE] = "";
    // Both fit: work_dir is at most TEMP_PATH_MAX + 13 characters.
    text_append(command, PATH_SIZE, unpack.work_dir);
    text_append(command, PATH_SIZE, SETUP_NAME);
    memcpy(application, command, PATH_SIZE);
    text_append(command, PATH_SIZE, SETUP_ARGUMENTS);

    *exit_code = 0;
    ProcessInfo info = {nullptr, nullptr};
    if (platform->CreateProcessA(application, command, unpack.work_dir, &info)) {
        platform->WaitForSingleObject(info.process, INFINITE_WAIT);
        platform->GetExitCodeProcess(info.process, exit_code);
        platform->CloseHandle(info.thread);
        platform->CloseHandle(info.process);
        return true;
    }
    uint32_t error = platform->GetLastError();
    char text[FAILURE_TEXT_SIZE] = "Can't run ";
    text_append_padded(text, FAILURE_TEXT_SIZE, command, COMMAND_WIDTH);
    text_append(text, FAILURE_TEXT_SIZE, ", code ");
    text_append_unsigned(text, FAILURE_TEXT_SIZE, error);
    show_failure(text);
    return false;
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
    if (!platform->CreateDirectoryA(unpack.work_dir)) {
        show_failure(MSG_TEMP_DIR);
        return end_with(ERR_TEMP_DIR);
    }
    char module_path[PATH_SIZE] = {0};
    uint32_t length = platform->GetModuleFileNameA(module_path, MODULE_PATH_LENGTH);
    if (length == 0 || length >= MODULE_PATH_LENGTH) return end_early(MSG_MODULE_PATH, ERR_TEMP_DIR);
    if (!archive_open(module_path)) return end_early(MSG_OPEN_ARCHIVE, DRIVER_NOT_OPENED);
    if (!confirmed()) return end_early(nullptr, DRIVER_DONE);
    platform->SetForegroundWindow(unpack.host_window);
    platform->ShowWindow(unpack.host_window, SW_SHOW);

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
    platform->ShowWindow(unpack.host_window, SW_HIDE);

    uint32_t exit_code = 0;
    bool ran = run_setup(&exit_code);
    clean_temp_dir();
    if (!ran) return end_with(DRIVER_SETUP_NOT_STARTED);
    if (exit_code == RESTART_EXIT_CODE) request_restart();
    return end_with(exit_code);
}
