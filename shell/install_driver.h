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
inline constexpr const char SETUP_ARGUMENTS[] = " -i";
inline constexpr const char SHUTDOWN_PRIVILEGE[] = "SeShutdownPrivilege";
inline constexpr size_t FAILURE_TEXT_SIZE = 300;
inline constexpr size_t COMMAND_WIDTH = 200;  // "Can't run %200s, code %lu"

// Driver results.
inline constexpr uint32_t DRIVER_DONE = 0;
inline constexpr uint32_t DRIVER_NOT_OPENED = 1;
inline constexpr uint32_t DRIVER_BAD_ARCHIVE = 2;
inline constexpr uint32_t DRIVER_ENTRY_FAILED = 3;

// The thread procedure; its parameter is ignored.
uint32_t install_driver(void* unused);
// Deletes every file directly inside work_dir and removes the directory.
// Failures are silent.
void clean_temp_dir();
