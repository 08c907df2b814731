#include "shell/host_window.h"

#include "common/command_line.h"
#include "common/failure.h"
#include "common/unpack_state.h"
#include "shell/install_driver.h"

HostState host;
const HostPlatform* host_platform = nullptr;

// The worker's entry in the system's thread calling convention.
static uint32_t HOST_CALLBACK worker_start(void* parameter) { return install_driver(parameter); }

// The handle is recorded before the worker starts: the worker must never
// see it unset. Without a worker nothing would ever end the loop, so the
// creation fails instead.
static intptr_t on_create(WindowHandle window) {
    unpack.host_window = window;
    host.worker = host_platform->CreateThread(0, worker_start, nullptr, 0);
    return host.worker ? 0 : -1;
}

// Sent by the worker at its end, with its result (the process exit code)
// as the first parameter. The system also sends it when a failed WM_CREATE
// makes it destroy the window: no worker ran then, and a quit message
// would only close the "CreateWindow() failed" box at once.
static intptr_t on_destroy(uintptr_t result) {
    if (!host.worker) return 0;
    host_platform->CloseHandle(host.worker);
    host.worker = nullptr;
    // The 32 bits of the exit code, as the quit message carries an int.
    host_platform->PostQuitMessage(int(uint32_t(result)));
    return 0;
}

static intptr_t on_paint(WindowHandle window) {
    Handle dc = host_platform->BeginPaint(window, &host.paint);
    host_platform->SetBkColor(dc, host_platform->GetSysColor(COLOR_BTNFACE));
    host_platform->TextOutA(dc, STATUS_X, STATUS_Y, STATUS_TEXT, sizeof STATUS_TEXT - 1);
    host_platform->EndPaint(window, &host.paint);
    return 0;
}

intptr_t HOST_CALLBACK host_window_proc(WindowHandle window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    switch (message) {
    case WM_CREATE:
        return on_create(window);
    case WM_DESTROY:
        return on_destroy(wparam);
    case WM_PAINT:
        return on_paint(window);
    default:
        return host_platform->DefWindowProcA(window, message, wparam, lparam);
    }
}

static bool register_host_class(Handle instance) {
    WindowClass c = {};
    c.style = CS_HREDRAW | CS_VREDRAW;
    c.procedure = host_window_proc;
    c.class_extra = 0;
    c.window_extra = HOST_WINDOW_EXTRA;
    c.instance = instance;
    c.icon = host_platform->LoadIconA(nullptr, IDI_APPLICATION);
    c.cursor = host_platform->LoadCursorA(nullptr, IDC_ARROW);
    c.background = host_platform->GetStockObject(LTGRAY_BRUSH);
    c.menu_name = nullptr;
    c.class_name = HOST_CLASS_NAME;
    return host_platform->RegisterClassA(&c) != 0;
}

// Disabled and without a system menu: the user cannot close it, only the
// worker's destroy message ends the loop.
static WindowHandle create_host_window(Handle instance) {
    int x = (host_platform->GetSystemMetrics(SM_CXSCREEN) - HOST_WIDTH) / 2;
    int y = (host_platform->GetSystemMetrics(SM_CYSCREEN) - HOST_HEIGHT) / 2;
    return host_platform->CreateWindowExA(0, HOST_CLASS_NAME, HOST_TITLE, WS_DISABLED, x, y, HOST_WIDTH,
                                          HOST_HEIGHT, nullptr, nullptr, instance, nullptr);
}

// host_main's own failures, before the worker runs: in a box with no owner,
// or in a quiet run on standard error.
static void show_host_failure(const char* text) {
    if (launch.quiet) host_platform->WriteFile(text);
    else host_platform->MessageBoxA(nullptr, text, CAPTION, MB_OK);
}

int32_t host_main(Handle instance, Handle, const char* command_line, int) {
    read_launch_options(command_line);
    // Two copies started at the same instant both find no window: the
    // mutex is created atomically, and only the first creator goes on.
    // Then any top-level window with the title counts, hidden ones and
    // another instance's message boxes included.
    int taken = 0;
    host.instance_mutex = host_platform->CreateMutexA(HOST_MUTEX_NAME, &taken);
    if (taken || host_platform->FindWindowA(nullptr, HOST_TITLE)) {
        show_host_failure(MSG_ALREADY_RUNNING);
        return EXIT_ALREADY_RUNNING;
    }
    if (!register_host_class(instance)) {
        show_host_failure(MSG_REGISTER_CLASS);
        return EXIT_NO_CLASS;
    }
    WindowHandle window = create_host_window(instance);
    if (!window) {
        show_host_failure(MSG_CREATE_WINDOW);
        return EXIT_NO_WINDOW;
    }
    host_platform->ShowWindow(window, SW_HIDE);

    // -1 is an error of the call, not the end; its message holds nothing
    // to dispatch.
    Message message = {};
    int got;
    while ((got = host_platform->GetMessageA(&message, nullptr, 0, 0)) != 0) {
        if (got == -1) continue;
        host_platform->TranslateMessage(&message);
        host_platform->DispatchMessageA(&message);
    }
    return int32_t(message.wparam);
}
