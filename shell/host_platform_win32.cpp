// The host's platform table on Win32: the calls pass straight through.
// WindowClass, Message and PaintRecord are laid out as the Win32 records.
#include <cstddef>

#include "shell/platform_win32.h"
#include "shell/windows_api.h"

static_assert(sizeof(WindowClass) == sizeof(WNDCLASSA));
static_assert(offsetof(WindowClass, procedure) == offsetof(WNDCLASSA, lpfnWndProc));
static_assert(offsetof(WindowClass, window_extra) == offsetof(WNDCLASSA, cbWndExtra));
static_assert(offsetof(WindowClass, background) == offsetof(WNDCLASSA, hbrBackground));
static_assert(offsetof(WindowClass, class_name) == offsetof(WNDCLASSA, lpszClassName));
static_assert(sizeof(Message) == sizeof(MSG));
static_assert(offsetof(Message, wparam) == offsetof(MSG, wParam));
static_assert(offsetof(Message, time) == offsetof(MSG, time));
static_assert(offsetof(Message, x) == offsetof(MSG, pt));
static_assert(sizeof(PaintRecord) == sizeof(PAINTSTRUCT));
static_assert(offsetof(PaintRecord, paint_rect) == offsetof(PAINTSTRUCT, rcPaint));
static_assert(offsetof(PaintRecord, reserved) == offsetof(PAINTSTRUCT, rgbReserved));

namespace {

HWND window_of(WindowHandle window) { return static_cast<HWND>(window); }

Handle CreateMutexA_(const char* name, int* already_exists) {
    HANDLE mutex = ::CreateMutexA(nullptr, FALSE, name);
    DWORD error = ::GetLastError();
    *already_exists = error == ERROR_ALREADY_EXISTS || (!mutex && error == ERROR_ACCESS_DENIED);
    return mutex;
}
WindowHandle FindWindowA_(const char* class_name, const char* title) { return ::FindWindowA(class_name, title); }
int MessageBoxA_(WindowHandle owner, const char* text, const char* caption, uint32_t style) {
    return ::MessageBoxA(window_of(owner), text, caption, style);
}
Handle LoadIconA_(Handle instance, uintptr_t icon) {
    return ::LoadIconA(static_cast<HINSTANCE>(instance), MAKEINTRESOURCEA(icon));
}
Handle LoadCursorA_(Handle instance, uintptr_t cursor) {
    return ::LoadCursorA(static_cast<HINSTANCE>(instance), MAKEINTRESOURCEA(cursor));
}
Handle GetStockObject_(int object) { return ::GetStockObject(object); }
uint16_t RegisterClassA_(const WindowClass* window_class) {
    return ::RegisterClassA(reinterpret_cast<const WNDCLASSA*>(window_class));
}
int GetSystemMetrics_(int index) { return ::GetSystemMetrics(index); }
WindowHandle CreateWindowExA_(uint32_t ex_style, const char* class_name, const char* title, uint32_t style, int x,
                              int y, int width, int height, WindowHandle parent, Handle menu, Handle instance,
                              void* creation_data) {
    return ::CreateWindowExA(ex_style, class_name, title, style, x, y, width, height, window_of(parent),
                             static_cast<HMENU>(menu), static_cast<HINSTANCE>(instance), creation_data);
}
int ShowWindow_(WindowHandle window, int command) { return ::ShowWindow(window_of(window), command); }
int GetMessageA_(Message* message, WindowHandle window, uint32_t filter_min, uint32_t filter_max) {
    return ::GetMessageA(reinterpret_cast<MSG*>(message), window_of(window), filter_min, filter_max);
}
int TranslateMessage_(const Message* message) { return ::TranslateMessage(reinterpret_cast<const MSG*>(message)); }
intptr_t DispatchMessageA_(const Message* message) {
    return ::DispatchMessageA(reinterpret_cast<const MSG*>(message));
}
intptr_t DefWindowProcA_(WindowHandle window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    return ::DefWindowProcA(window_of(window), message, wparam, lparam);
}
Handle CreateThread_(size_t stack_size, ThreadRoutine routine, void* parameter, uint32_t flags) {
    // The same routine: DWORD is unsigned long here, 32 bits as uint32_t.
    static_assert(sizeof(DWORD) == sizeof(uint32_t));
    auto start = reinterpret_cast<LPTHREAD_START_ROUTINE>(routine);
    return ::CreateThread(nullptr, stack_size, start, parameter, flags, nullptr);
}
int CloseHandle_(Handle handle) { return ::CloseHandle(handle); }
void PostQuitMessage_(int exit_code) { ::PostQuitMessage(exit_code); }
Handle BeginPaint_(WindowHandle window, PaintRecord* paint) {
    return ::BeginPaint(window_of(window), reinterpret_cast<PAINTSTRUCT*>(paint));
}
uint32_t GetSysColor_(int index) { return ::GetSysColor(index); }
uint32_t SetBkColor_(Handle device_context, uint32_t color) {
    return ::SetBkColor(static_cast<HDC>(device_context), color);
}
int TextOutA_(Handle device_context, int x, int y, const char* text, int length) {
    return ::TextOutA(static_cast<HDC>(device_context), x, y, text, length);
}
int EndPaint_(WindowHandle window, const PaintRecord* paint) {
    return ::EndPaint(window_of(window), reinterpret_cast<const PAINTSTRUCT*>(paint));
}

}  // namespace

const HostPlatform win32_host_platform = {
    .CreateMutexA = CreateMutexA_,
    .FindWindowA = FindWindowA_,
    .MessageBoxA = MessageBoxA_,
    .WriteFile = write_standard_error,
    .LoadIconA = LoadIconA_,
    .LoadCursorA = LoadCursorA_,
    .GetStockObject = GetStockObject_,
    .RegisterClassA = RegisterClassA_,
    .GetSystemMetrics = GetSystemMetrics_,
    .CreateWindowExA = CreateWindowExA_,
    .ShowWindow = ShowWindow_,
    .GetMessageA = GetMessageA_,
    .TranslateMessage = TranslateMessage_,
    .DispatchMessageA = DispatchMessageA_,
    .DefWindowProcA = DefWindowProcA_,
    .CreateThread = CreateThread_,
    .CloseHandle = CloseHandle_,
    .PostQuitMessage = PostQuitMessage_,
    .BeginPaint = BeginPaint_,
    .GetSysColor = GetSysColor_,
    .SetBkColor = SetBkColor_,
    .TextOutA = TextOutA_,
    .EndPaint = EndPaint_,
};
