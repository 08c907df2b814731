// The host window: the process entry with its single-instance guard, the
// hidden progress window whose creation starts the installation worker,
// and the message loop that lasts until the worker sends WM_DESTROY.
#pragma once

#include <cstdint>

#include "shell/host_platform.h"

inline constexpr const char HOST_CLASS_NAME[] = "InstallationUnpacker";
inline constexpr const char HOST_TITLE[] = "Installation Unpacker";
// The single-instance guard's mutex, in the session's namespace (as the
// window title is found on the session's desktop).
inline constexpr const char HOST_MUTEX_NAME[] = "InstallationUnpacker";
inline constexpr const char STATUS_TEXT[] = "Unpacking archive ...";
inline constexpr int STATUS_X = 50;
inline constexpr int STATUS_Y = 10;
inline constexpr int HOST_WIDTH = 300;
inline constexpr int HOST_HEIGHT = 100;
inline constexpr int HOST_WINDOW_EXTRA = 4;

inline constexpr const char MSG_ALREADY_RUNNING[] = "Already running !";
inline constexpr const char MSG_REGISTER_CLASS[] = "RegisterClass error !";
inline constexpr const char MSG_CREATE_WINDOW[] = "CreateWindow() failed";

// Process exit codes of host_main's own ends; a run that reaches the
// message loop ends with the driver's result (shell/install_driver.h).
// Another installation is in progress (ERROR_INSTALL_ALREADY_RUNNING):
// deployment tools try again later.
inline constexpr int EXIT_ALREADY_RUNNING = 1618;
inline constexpr int EXIT_NO_CLASS = 3;
inline constexpr int EXIT_NO_WINDOW = 4;

// The host's process-wide state (the window handle itself is
// unpack.host_window, shared with the driver).
struct HostState {
    Handle instance_mutex;  // the guard's mutex, held until the process ends
    Handle worker;          // the installation thread, from WM_CREATE to WM_DESTROY
    PaintRecord paint;      // filled by BeginPaint for WM_PAINT
};

extern HostState host;

// The entry of the windowed program: `instance` and `command_line`, the
// whole command line (GetCommandLineA), are used. Returns the process exit
// code.
int32_t host_main(Handle instance, Handle previous, const char* command_line, int show);

intptr_t HOST_CALLBACK host_window_proc(WindowHandle window, uint32_t message, uintptr_t wparam, intptr_t lparam);
