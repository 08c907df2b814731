// The host's test double: a small window manager on one thread. It keeps
// the registered class, creates one window by calling its procedure with
// WM_CREATE (and WM_DESTROY when that fails, as the system does), queues
// posted messages, dispatches them to the procedure, and records every
// call. The worker thread is not started: a test can give a routine to run
// in its place when the message loop first waits.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "shell/host_platform.h"

inline constexpr uint32_t WM_QUIT = 0x12;

struct HostBox {
    WindowHandle owner;
    std::string text;
    std::string caption;
    uint32_t style;
};

struct HostCreation {
    uint32_t ex_style;
    std::string class_name;
    std::string title;
    uint32_t style;
    int x, y, width, height;
    WindowHandle parent;
    Handle menu;
    Handle instance;
    void* creation_data;
};

struct HostTextOut {
    Handle device_context;
    int x, y;
    std::string text;  // exactly the `length` bytes given
};

struct HostDouble {
    // --- script -----------------------------------------------------------
    bool mutex_taken = false;     // another process created the named mutex first
    bool window_titled = false;   // some top-level window has the title FindWindowA asks for
    bool register_fails = false;
    bool create_fails = false;    // CreateWindowExA fails before WM_CREATE
    bool thread_fails = false;
    int screen_width = 1024;
    int screen_height = 768;
    uint32_t button_face = 0x00C8D0D4;         // GetSysColor(COLOR_BTNFACE)
    std::deque<int> get_results;               // GetMessageA results to give before the queue (-1: error)
    std::function<void()> worker;              // runs when the loop first waits, in place of the thread

    // --- record -----------------------------------------------------------
    std::vector<std::string> calls;            // every call's name, in order
    std::vector<HostBox> boxes;
    std::vector<std::string> error_lines;      // lines written to standard error
    std::string mutex_name;                    // CreateMutexA's name
    std::string find_class = "?";              // FindWindowA's class argument ("" for none)
    std::string find_title;
    bool class_registered = false;
    WindowClass registered = {};               // copy of the class given
    std::string registered_name;
    std::vector<uintptr_t> icons_loaded;       // LoadIconA identifiers (instance must be none)
    std::vector<uintptr_t> cursors_loaded;
    std::vector<int> stock_objects;
    HostCreation creation = {};
    WindowHandle window = nullptr;             // the window created, if any
    WindowHandle host_window_at_thread_start = nullptr;  // unpack.host_window when CreateThread ran
    size_t thread_stack = 1;
    ThreadRoutine thread_routine = nullptr;
    void* thread_parameter = reinterpret_cast<void*>(1);
    uint32_t thread_flags = 1;
    Handle thread = nullptr;                   // the thread handle given out
    std::vector<Handle> closed;                // handles given to CloseHandle
    std::vector<int> show_commands;
    std::deque<Message> queue;                 // posted messages, waiting
    std::vector<uint32_t> dispatched;          // messages dispatched, in order
    int translated = 0;
    std::vector<uint32_t> defaulted;           // messages passed to DefWindowProcA
    bool quit_posted = false;
    int quit_code = -1;
    bool starved = false;                      // the loop waited on an empty queue (would block forever)
    int open_paints = 0;                       // BeginPaint without EndPaint
    Handle device_context = nullptr;           // what BeginPaint gave
    std::vector<uint32_t> background_colours;  // SetBkColor colours
    std::vector<HostTextOut> text_outs;
    bool end_paint_same_record = false;        // EndPaint got the record BeginPaint filled
    const PaintRecord* paint_begun = nullptr;  // the record BeginPaint filled last
    bool worker_ran = false;                   // the worker routine has been run
};

extern HostDouble host_double;

// Clears the script and the record.
void host_double_reset();
// The table that works on host_double.
const HostPlatform* host_double_table();
// Queues a message for the window, as PostMessageA would.
void host_double_post(uint32_t message, uintptr_t wparam = 0, intptr_t lparam = 0);
