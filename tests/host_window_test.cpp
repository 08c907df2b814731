// host_main and host_window_proc driven by the host double: the guard, the
// class and window settings, the worker's start and end, painting and the
// message loop.
#include <gtest/gtest.h>

#include "common/failure.h"
#include "common/unpack_state.h"
#include "shell/host_window.h"
#include "tests/doubles/host_platform_double.h"
#include "tests/doubles/platform_double.h"

namespace {

char instance_object;
Handle const INSTANCE = &instance_object;

class HostWindow : public testing::Test {
protected:
    void SetUp() override {
        host_double_reset();
        host_platform = host_double_table();
        host = HostState();
        unpack.host_window = nullptr;
    }
    // What the driver does at its end: the destroy message, synchronously.
    static void worker_ends() { host_window_proc(unpack.host_window, WM_DESTROY, 0, 0); }

    int run(const char* command_line = "installer.exe") { return host_main(INSTANCE, nullptr, command_line, 1); }
    HostDouble& d = host_double;
};

void expect_box(const HostBox& box, const char* text) {
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.caption, "Installation Unpacker");
    EXPECT_EQ(box.style, MB_OK);
}

TEST_F(HostWindow, AnotherWindowWithTheTitleStopsTheStart) {
    d.window_titled = true;
    EXPECT_EQ(run(), 1618);
    EXPECT_EQ(d.find_class, "");  // any class
    EXPECT_EQ(d.find_title, "Installation Unpacker");
    ASSERT_EQ(d.boxes.size(), 1u);
    expect_box(d.boxes[0], "Already running !");
    EXPECT_EQ(d.calls, (std::vector<std::string>{"CreateMutexA", "FindWindowA", "MessageBoxA"}));
}

// Two copies started at the same instant both find no window; the mutex,
// created before the window check, lets only its first creator go on.
TEST_F(HostWindow, MutexCreatedBeforeStopsTheStart) {
    d.mutex_taken = true;
    EXPECT_EQ(run(), 1618);
    EXPECT_EQ(d.mutex_name, "InstallationUnpacker");
    ASSERT_EQ(d.boxes.size(), 1u);
    expect_box(d.boxes[0], "Already running !");
    EXPECT_FALSE(d.class_registered);
}

TEST_F(HostWindow, FullRunRegistersCreatesHidesAndEndsOnTheWorkersDestroy) {
    d.worker = worker_ends;
    EXPECT_EQ(run(), 0);
    EXPECT_TRUE(d.boxes.empty());
    EXPECT_FALSE(d.starved);

    const WindowClass& c = d.registered;
    EXPECT_EQ(c.style, 3u);
    EXPECT_EQ(c.procedure, host_window_proc);
    EXPECT_EQ(c.class_extra, 0);
    EXPECT_EQ(c.window_extra, 4);
    EXPECT_EQ(c.instance, INSTANCE);
    EXPECT_NE(c.icon, nullptr);
    EXPECT_EQ(d.icons_loaded, (std::vector<uintptr_t>{32512}));    // IDI_APPLICATION, no instance
    EXPECT_EQ(d.cursors_loaded, (std::vector<uintptr_t>{32512}));  // IDC_ARROW, no instance
    EXPECT_EQ(d.stock_objects, (std::vector<int>{1}));             // LTGRAY_BRUSH
    EXPECT_NE(c.background, nullptr);
    EXPECT_EQ(c.menu_name, nullptr);
    EXPECT_EQ(d.registered_name, "InstallationUnpacker");

    const HostCreation& w = d.creation;
    EXPECT_EQ(w.ex_style, 0u);
    EXPECT_EQ(w.class_name, "InstallationUnpacker");
    EXPECT_EQ(w.title, "Installation Unpacker");
    EXPECT_EQ(w.style, 0x08000000u);  // WS_DISABLED alone
    EXPECT_EQ(w.x, (1024 - 300) / 2);
    EXPECT_EQ(w.y, (768 - 100) / 2);
    EXPECT_EQ(w.width, 300);
    EXPECT_EQ(w.height, 100);
    EXPECT_EQ(w.parent, nullptr);
    EXPECT_EQ(w.menu, nullptr);
    EXPECT_EQ(w.instance, INSTANCE);
    EXPECT_EQ(w.creation_data, nullptr);

    // The handle is known before the worker starts.
    EXPECT_EQ(d.host_window_at_thread_start, d.window);
    EXPECT_EQ(unpack.host_window, d.window);
    EXPECT_EQ(d.thread_stack, 0u);
    EXPECT_EQ(d.thread_parameter, nullptr);
    EXPECT_EQ(d.thread_flags, 0u);
    EXPECT_NE(d.thread_routine, nullptr);

    EXPECT_EQ(d.show_commands, (std::vector<int>{SW_HIDE}));
    EXPECT_EQ(d.closed, (std::vector<Handle>{d.thread}));
    EXPECT_TRUE(d.quit_posted);
    EXPECT_EQ(d.quit_code, 0);
}

TEST_F(HostWindow, WindowIsCentredWithDivisionTowardZero) {
    d.worker = worker_ends;
    d.screen_width = 201;   // (201 - 300) / 2 = -49, not -50
    d.screen_height = 51;   // (51 - 100) / 2 = -24
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(d.creation.x, -49);
    EXPECT_EQ(d.creation.y, -24);
}

TEST_F(HostWindow, ClassThatCannotBeRegisteredEndsWith3) {
    d.register_fails = true;
    EXPECT_EQ(run(), 3);
    ASSERT_EQ(d.boxes.size(), 1u);
    expect_box(d.boxes[0], "RegisterClass error !");
    EXPECT_EQ(d.creation.title, "");  // no window attempted
}

TEST_F(HostWindow, WindowThatCannotBeCreatedEndsWith4) {
    d.create_fails = true;
    EXPECT_EQ(run(), 4);
    ASSERT_EQ(d.boxes.size(), 1u);
    expect_box(d.boxes[0], "CreateWindow() failed");
    EXPECT_EQ(d.thread_routine, nullptr);
    EXPECT_TRUE(d.show_commands.empty());
}

// With no worker nothing would ever end the loop: creation fails instead,
// and the destroy message the system then sends posts no quit message
// (which would close the failure box at once).
TEST_F(HostWindow, WorkerThatCannotStartFailsTheCreation) {
    d.thread_fails = true;
    EXPECT_EQ(run(), 4);
    ASSERT_EQ(d.boxes.size(), 1u);
    expect_box(d.boxes[0], "CreateWindow() failed");
    EXPECT_FALSE(d.quit_posted);
    EXPECT_TRUE(d.closed.empty());
    EXPECT_EQ(d.window, nullptr);
    for (const std::string& call : d.calls) EXPECT_NE(call, "GetMessageA");
}

// A quiet run's own failures show no box: each text is a line on standard
// error, and the exit code tells what happened.
TEST_F(HostWindow, QuietRunsFailWithoutABox) {
    struct Case {
        bool HostDouble::*fault;
        int exit_code;
        const char* line;
    };
    const Case cases[] = {
        {&HostDouble::mutex_taken, 1618, "Already running !"},
        {&HostDouble::register_fails, 3, "RegisterClass error !"},
        {&HostDouble::create_fails, 4, "CreateWindow() failed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        host_double_reset();
        d.*c.fault = true;
        EXPECT_EQ(run("\"C:\\Downloads\\installer.exe\" /x -Quiet"), c.exit_code);
        EXPECT_TRUE(d.boxes.empty());
        EXPECT_EQ(d.error_lines, std::vector<std::string>{c.line});
    }
}

TEST_F(HostWindow, LoopGoesOnAfterErrorsAndDispatchesUntilQuit) {
    d.worker = [] {
        host_double_post(WM_PAINT);
        host_double_post(0x0113, 7, 9);  // WM_TIMER, passed to DefWindowProcA
        host_double_post(WM_DESTROY);
    };
    d.get_results = {-1, -1, 1, -1};
    EXPECT_EQ(run(), 0);
    EXPECT_FALSE(d.starved);
    EXPECT_EQ(d.dispatched, (std::vector<uint32_t>{WM_PAINT, 0x0113, WM_DESTROY}));
    EXPECT_EQ(d.translated, 3);
    EXPECT_EQ(d.defaulted, (std::vector<uint32_t>{0x0113}));
    EXPECT_TRUE(d.quit_posted);
}

// The driver's result, the destroy message's first parameter, is the
// process exit code: all 32 bits of it.
TEST_F(HostWindow, ExitCodeIsTheDriversResult) {
    for (uintptr_t code : {uintptr_t(1234), uintptr_t(0xC0000005u)}) {
        host_double_reset();
        host = HostState();
        static uintptr_t result;
        result = code;
        d.worker = [] { host_window_proc(unpack.host_window, WM_DESTROY, result, 0); };
        EXPECT_EQ(uint32_t(run()), uint32_t(code));
    }
}

TEST_F(HostWindow, ResultIsTheQuitMessagesParameter) {
    d.worker = [] { host_double.queue.push_back({nullptr, WM_QUIT, 0, 0, 0, 0, 0}); };
    EXPECT_EQ(run(), 0);
    d.worker_ran = false;
    d.worker = [] { host_double.queue.push_back({nullptr, WM_QUIT, 5, 0, 0, 0, 0}); };
    EXPECT_EQ(run(), 5);
}

TEST_F(HostWindow, PaintDrawsTheStatusOnButtonFace) {
    d.worker = worker_ends;
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(host_window_proc(d.window, WM_PAINT, 0, 0), 0);
    EXPECT_EQ(d.background_colours, (std::vector<uint32_t>{d.button_face}));
    ASSERT_EQ(d.text_outs.size(), 1u);
    EXPECT_EQ(d.text_outs[0].device_context, d.device_context);
    EXPECT_EQ(d.text_outs[0].x, 50);
    EXPECT_EQ(d.text_outs[0].y, 10);
    EXPECT_EQ(d.text_outs[0].text, "Unpacking archive ...");
    EXPECT_EQ(d.open_paints, 0);
    EXPECT_TRUE(d.end_paint_same_record);
}

TEST_F(HostWindow, OtherMessagesGoToTheDefaultProcedureWithAllArguments) {
    d.worker = worker_ends;
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(host_window_proc(d.window, 0x0010, 3, 4), 0x0010 + 3 + 4);  // WM_CLOSE
    EXPECT_EQ(d.defaulted, (std::vector<uint32_t>{0x0010}));
}

// The real driver behind the host: its failure box is owned by the window,
// and its destroy message ends the loop.
TEST_F(HostWindow, DriverEndsTheLoopThroughTheWindowProcedure) {
    platform_double_reset();
    platform_double.fail_only = "GetTempPathA";
    platform_double.fail_at = 1;
    static Platform table;
    table = *platform_double_table();
    table.SendMessageA = [](WindowHandle window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
        platform_double_table()->SendMessageA(window, message, wparam, lparam);
        return host_window_proc(window, message, wparam, lparam);
    };
    platform = &table;
    d.worker = [] { host_double.thread_routine(nullptr); };
    EXPECT_EQ(run(), 269);  // the driver's result is the exit code
    ASSERT_EQ(platform_double.boxes.size(), 1u);
    EXPECT_EQ(platform_double.boxes[0].text, "GetTempPath error !");
    EXPECT_EQ(platform_double.boxes[0].owner, d.window);
    EXPECT_TRUE(d.quit_posted);
    EXPECT_FALSE(d.starved);
    EXPECT_EQ(d.closed, (std::vector<Handle>{d.thread}));
}

}  // namespace
