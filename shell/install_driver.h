// The installation driver: the worker thread's procedure, from the working
// directory to the restart. Every path ends by sending the host window its
// destroy message.
#pragma once

#include <cstdint>

#include "common/sizes.h"

inline constexpr uint32_t RESTART_EXIT_CODE = 1234;
// The working directory's name under the temporary path, ending with the
// platform's separator (13 characters).
#ifdef _WIN32
inline constexpr const char WORK_DIR_NAME[] = "iunpack_.$$$\\";
#else
inline constexpr const char WORK_DIR_NAME[] = "iunpack_.$$$/";
#endif
static_assert(sizeof WORK_DIR_NAME - 1 == 13);
// The longest temporary path whose command line, "%ssetup.exe -i", still
// fits a PATH_SIZE buffer: T + 25 <= 255.
inline constexpr uint32_t TEMP_PATH_MAX = 230;
inline constexpr uint32_t TEMP_PATH_BUFFER_LENGTH = 255;
inline constexpr uint32_t MODULE_PATH_LENGTH = 255;
inline constexpr const char SETUP_NAME[] = "setup.exe";
inline constexpr const char SETUP_ARGUMENTS[] = "-i";
inline constexpr const char SHUTDOWN_PRIVILEGE[] = "SeShutdownPrivilege";
inline constexpr size_t FAILURE_TEXT_SIZE = 300;
inline constexpr size_t COMMAND_WIDTH = 200;  // "Can't run %200s, code %lu"
// The most of setup's command that "Can't run" shows: the text then fits
// its buffer with ", code " and ten digits.
inline constexpr size_t COMMAND_DISPLAY_MAX = FAILURE_TEXT_SIZE - 1 - 10 - 7 - 10;
// What CreateProcessA takes of a command line, its terminating zero
// included.
inline constexpr size_t SETUP_COMMAND_MAX = 32767;

// Driver results. The result is the process exit code: setup's own exit
// code when setup ran, and for every other end one of these codes or
// ERR_TEMP_PATH (269) and ERR_TEMP_DIR (270). The codes of the ends that
// deployment tools act on are the ones they know from installers.
// The question answered other than Yes, or the consent to the elevation
// that setup needs refused: nothing was installed, by the user's choice
// (ERROR_INSTALL_USEREXIT).
inline constexpr uint32_t DRIVER_DECLINED = 1602;
// A quiet run whose setup asked for the restart: not carried out, left to
// whoever started the run (ERROR_SUCCESS_REBOOT_REQUIRED).
inline constexpr uint32_t DRIVER_RESTART_REQUIRED = 3010;
inline constexpr uint32_t DRIVER_NOT_OPENED = 1;
inline constexpr uint32_t DRIVER_BAD_ARCHIVE = 2;
inline constexpr uint32_t DRIVER_ENTRY_FAILED = 3;
inline constexpr uint32_t DRIVER_SETUP_NOT_STARTED = 5;  // "Can't run" (4 is the host's)

// The thread procedure; its parameter is ignored. Its result also goes to
// the host window as the destroy message's first parameter.
uint32_t install_driver(void* unused);
// Deletes every file directly inside work_dir and removes the directory:
// the held working folder, or else what an earlier run left there, which
// is entered only when it is a plain directory of this user's (a link at
// work_dir is removed itself, never followed; anything else is left).
// Failures are silent.
void clean_temp_dir();
