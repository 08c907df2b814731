#include "tests/doubles/host_platform_double.h"

#include "common/unpack_state.h"

HostDouble host_double;

void host_double_reset() { host_double = HostDouble(); }

namespace {

// Objects whose addresses serve as the handles given out.
char mutex_object, window_object, thread_object, dc_object, icon_object, cursor_object, brush_object;

HostDouble& d() { return host_double; }
void enter(const char* name) { d().calls.push_back(name); }

Handle CreateMutexA(const char* name, int* already_exists) {
    enter("CreateMutexA");
    d().mutex_name = name;
    *already_exists = d().mutex_taken;
    return &mutex_object;
}

WindowHandle FindWindowA(const char* class_name, const char* title) {
    enter("FindWindowA");
    d().find_class = class_name ? class_name : "";
    d().find_title = title ? title : "";
    return d().window_titled ? &window_object : nullptr;
}

int MessageBoxA(WindowHandle owner, const char* text, const char* caption, uint32_t style) {
    enter("MessageBoxA");
    d().boxes.push_back({owner, text, caption, style});
    return 1;
}

int WriteFile(const char* text) {
    enter("WriteFile");
    d().error_lines.push_back(text);
    return 1;
}

Handle LoadIconA(Handle instance, uintptr_t icon) {
    enter("LoadIconA");
    if (instance) return nullptr;
    d().icons_loaded.push_back(icon);
    return &icon_object;
}

Handle LoadCursorA(Handle instance, uintptr_t cursor) {
    enter("LoadCursorA");
    if (instance) return nullptr;
    d().cursors_loaded.push_back(cursor);
    return &cursor_object;
}

Handle GetStockObject(int object) {
    enter("GetStockObject");
    d().stock_objects.push_back(object);
    return &brush_object;
}

uint16_t RegisterClassA(const WindowClass* window_class) {
    enter("RegisterClassA");
    if (d().register_fails) return 0;
    d().class_registered = true;
    d().registered = *window_class;
    d().registered_name = window_class->class_name;
    d().registered.class_name = nullptr;  // the caller's text may not outlive the call
    return 0xC001;
}

int GetSystemMetrics(int index) {
    enter("GetSystemMetrics");
    if (index == SM_CXSCREEN) return d().screen_width;
    if (index == SM_CYSCREEN) return d().screen_height;
    return 0;
}

WindowHandle CreateWindowExA(uint32_t ex_style, const char* class_name, const char* title, uint32_t style, int x,
                             int y, int width, int height, WindowHandle parent, Handle menu, Handle instance,
                             void* creation_data) {
    enter("CreateWindowExA");
    d().creation = {ex_style, class_name, title, style, x, y, width, height, parent, menu, instance, creation_data};
    if (d().create_fails || !d().class_registered || d().registered_name != class_name) return nullptr;
    WindowProcedure procedure = d().registered.procedure;
    if (procedure(&window_object, WM_CREATE, 0, 0) == -1) {
        procedure(&window_object, WM_DESTROY, 0, 0);
        return nullptr;
    }
    d().window = &window_object;
    return &window_object;
}

int ShowWindow(WindowHandle window, int command) {
    enter("ShowWindow");
    if (window != d().window) return 0;
    d().show_commands.push_back(command);
    return 1;
}

int GetMessageA(Message* message, WindowHandle window, uint32_t filter_min, uint32_t filter_max) {
    enter("GetMessageA");
    if (window || filter_min || filter_max) return -1;
    if (!d().get_results.empty()) {
        int result = d().get_results.front();
        d().get_results.pop_front();
        if (result != 1) return result;
    }
    if (d().queue.empty() && d().worker && !d().worker_ran) {
        d().worker_ran = true;
        d().worker();
    }
    if (d().queue.empty()) {
        d().starved = true;
        *message = {nullptr, WM_QUIT, 0xDEAD, 0, 0, 0, 0};
        return 0;
    }
    *message = d().queue.front();
    d().queue.pop_front();
    return message->message == WM_QUIT ? 0 : 1;
}

int TranslateMessage(const Message*) {
    enter("TranslateMessage");
    d().translated++;
    return 0;
}

intptr_t DispatchMessageA(const Message* message) {
    enter("DispatchMessageA");
    d().dispatched.push_back(message->message);
    if (message->window != d().window || !d().window) return 0;
    return d().registered.procedure(message->window, message->message, message->wparam, message->lparam);
}

intptr_t DefWindowProcA(WindowHandle, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    enter("DefWindowProcA");
    d().defaulted.push_back(message);
    return intptr_t(message) + intptr_t(wparam) + lparam;  // recognisable by the test
}

Handle CreateThread(size_t stack_size, ThreadRoutine routine, void* parameter, uint32_t flags) {
    enter("CreateThread");
    d().host_window_at_thread_start = unpack.host_window;
    d().thread_stack = stack_size;
    d().thread_routine = routine;
    d().thread_parameter = parameter;
    d().thread_flags = flags;
    if (d().thread_fails) return nullptr;
    d().thread = &thread_object;
    return &thread_object;
}

int CloseHandle(Handle handle) {
    enter("CloseHandle");
    d().closed.push_back(handle);
    return handle == &thread_object;
}

void PostQuitMessage(int exit_code) {
    enter("PostQuitMessage");
    d().quit_posted = true;
    d().quit_code = exit_code;
    d().queue.push_back({nullptr, WM_QUIT, uintptr_t(exit_code), 0, 0, 0, 0});
}

Handle BeginPaint(WindowHandle window, PaintRecord* paint) {
    enter("BeginPaint");
    if (window != d().window) return nullptr;
    d().open_paints++;
    *paint = {};
    paint->device_context = &dc_object;
    d().paint_begun = paint;
    d().device_context = &dc_object;
    return &dc_object;
}

uint32_t GetSysColor(int index) {
    enter("GetSysColor");
    return index == COLOR_BTNFACE ? d().button_face : 0;
}

uint32_t SetBkColor(Handle device_context, uint32_t colour) {
    enter("SetBkColor");
    if (device_context != &dc_object) return 0xFFFFFFFF;
    d().background_colours.push_back(colour);
    return 0x00FFFFFF;
}

int TextOutA(Handle device_context, int x, int y, const char* text, int length) {
    enter("TextOutA");
    d().text_outs.push_back({device_context, x, y, std::string(text, size_t(length))});
    return 1;
}

int EndPaint(WindowHandle window, const PaintRecord* paint) {
    enter("EndPaint");
    if (window != d().window) return 0;
    d().open_paints--;
    d().end_paint_same_record = paint == d().paint_begun && paint->device_context == &dc_object;
    return 1;
}

const HostPlatform table = {
    .CreateMutexA = CreateMutexA,
    .FindWindowA = FindWindowA,
    .MessageBoxA = MessageBoxA,
    .WriteFile = WriteFile,
    .LoadIconA = LoadIconA,
    .LoadCursorA = LoadCursorA,
    .GetStockObject = GetStockObject,
    .RegisterClassA = RegisterClassA,
    .GetSystemMetrics = GetSystemMetrics,
    .CreateWindowExA = CreateWindowExA,
    .ShowWindow = ShowWindow,
    .GetMessageA = GetMessageA,
    .TranslateMessage = TranslateMessage,
    .DispatchMessageA = DispatchMessageA,
    .DefWindowProcA = DefWindowProcA,
    .CreateThread = CreateThread,
    .CloseHandle = CloseHandle,
    .PostQuitMessage = PostQuitMessage,
    .BeginPaint = BeginPaint,
    .GetSysColor = GetSysColor,
    .SetBkColor = SetBkColor,
    .TextOutA = TextOutA,
    .EndPaint = EndPaint,
};

}  // namespace

const HostPlatform* host_double_table() { return &table; }

void host_double_post(uint32_t message, uintptr_t wparam, intptr_t lparam) {
    host_double.queue.push_back({host_double.window, message, wparam, lparam, 0, 0, 0});
}
