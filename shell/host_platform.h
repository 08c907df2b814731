// The host window's seam: the window, message, thread and drawing calls of
// host_main and host_window_proc, one table of functions named after the
// Win32 calls. Kept apart from the driver's table (common/platform.h): the
// driver never touches the window manager, and the host never touches files.
// The Win32 table passes each call through; the test double is a small
// window manager that runs the registered window procedure itself.
#pragma once

#include <cstdint>

#include "common/platform.h"

// Window procedures and thread routines are called by the system with its
// own calling convention (stdcall on 32-bit Windows).
#ifdef _WIN32
#define HOST_CALLBACK __stdcall
#else
#define HOST_CALLBACK
#endif

using WindowProcedure = intptr_t(HOST_CALLBACK*)(WindowHandle window, uint32_t message, uintptr_t wparam,
                                                  intptr_t lparam);
using ThreadRoutine = uint32_t(HOST_CALLBACK*)(void* parameter);

// Values of the Win32 constants the host passes or compares.
inline constexpr uint32_t CS_HREDRAW = 0x2;
inline constexpr uint32_t CS_VREDRAW = 0x1;
inline constexpr uint32_t WS_DISABLED = 0x08000000;
inline constexpr uintptr_t IDI_APPLICATION = 32512;
inline constexpr uintptr_t IDC_ARROW = 32512;
inline constexpr int LTGRAY_BRUSH = 1;
inline constexpr int SM_CXSCREEN = 0;
inline constexpr int SM_CYSCREEN = 1;
inline constexpr int COLOR_BTNFACE = 15;

// WNDCLASSA, field for field.
struct WindowClass {
    uint32_t style;
    WindowProcedure procedure;
    int class_extra;
    int window_extra;
    Handle instance;
    Handle icon;
    Handle cursor;
    Handle background;
    const char* menu_name;
    const char* class_name;
};

// MSG, field for field.
struct Message {
    WindowHandle window;
    uint32_t message;
    uintptr_t wparam;
    intptr_t lparam;
    uint32_t time;
    int32_t x;
    int32_t y;
};

// PAINTSTRUCT, field for field.
struct PaintRecord {
    Handle device_context;
    int erase;
    int32_t paint_rect[4];
    int restore;
    int inc_update;
    uint8_t reserved[32];
};

struct HostPlatform {
    // A named mutex, not owned, no security attributes; kept open for the
    // process's life. already_exists: the name was taken before this call
    // (ERROR_ALREADY_EXISTS, or ERROR_ACCESS_DENIED for one this process may
    // not open). nullptr when no mutex could be had.
    Handle (*CreateMutexA)(const char* name, int* already_exists);
    WindowHandle (*FindWindowA)(const char* class_name, const char* title);
    int (*MessageBoxA)(WindowHandle owner, const char* text, const char* caption, uint32_t style);
    // WriteFile to the standard error handle: `text` as one line (nothing
    // when the process has none).
    int (*WriteFile)(const char* text);
    // Resources by identifier (MAKEINTRESOURCE); instance nullptr: the system's.
    Handle (*LoadIconA)(Handle instance, uintptr_t icon);
    Handle (*LoadCursorA)(Handle instance, uintptr_t cursor);
    Handle (*GetStockObject)(int object);
    uint16_t (*RegisterClassA)(const WindowClass* window_class);  // 0: failed
    int (*GetSystemMetrics)(int index);
    WindowHandle (*CreateWindowExA)(uint32_t ex_style, const char* class_name, const char* title, uint32_t style,
                                    int x, int y, int width, int height, WindowHandle parent, Handle menu,
                                    Handle instance, void* creation_data);
    int (*ShowWindow)(WindowHandle window, int command);
    // 0 for the quit message, -1 on error, else nonzero.
    int (*GetMessageA)(Message* message, WindowHandle window, uint32_t filter_min, uint32_t filter_max);
    int (*TranslateMessage)(const Message* message);
    intptr_t (*DispatchMessageA)(const Message* message);
    intptr_t (*DefWindowProcA)(WindowHandle window, uint32_t message, uintptr_t wparam, intptr_t lparam);
    // No security attributes and no thread id wanted.
    Handle (*CreateThread)(size_t stack_size, ThreadRoutine routine, void* parameter, uint32_t flags);
    int (*CloseHandle)(Handle handle);
    void (*PostQuitMessage)(int exit_code);
    Handle (*BeginPaint)(WindowHandle window, PaintRecord* paint);
    uint32_t (*GetSysColor)(int index);
    uint32_t (*SetBkColor)(Handle device_context, uint32_t color);
    int (*TextOutA)(Handle device_context, int x, int y, const char* text, int length);
    int (*EndPaint)(WindowHandle window, const PaintRecord* paint);
};

// The table in use; set once by the program's entry before host_main.
extern const HostPlatform* host_platform;
