// Trace lines (an interface: tests and users parse them):
//   message-box caption="..." owner=window|none style=0xXXXXXXXX text="..."
//   show-window SW_SHOW | show-window SW_HIDE
//   create-process command="..." directory="..."   then   setup-exit N
//   restart-requested
//   quiet-message text="..."   (a quiet run's text on standard error)
#include "tools/run/trace_platform.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "shell/platform_posix.h"
#include "tools/shared/platform_scope.h"
#include "tools/shared/terminal_text.h"

namespace {

TraceOptions options;  // the options of this run

bool ask_on_terminal(const char* question) {
    write_visible(stderr, question);
    fputs(" [y/n] ", stderr);
    char line[64];
    if (!fgets(line, sizeof line, stdin)) return false;
    return line[0] == 'y' || line[0] == 'Y';
}

int MessageBoxA(WindowHandle owner, const char* text, const char* caption, uint32_t style) {
    fprintf(stderr, "message-box caption=");
    print_quoted(caption);
    fprintf(stderr, " owner=%s style=0x%08X text=", owner ? "window" : "none", unsigned(style));
    print_quoted(text);
    fputc('\n', stderr);
    if (!(style & MB_YESNO)) return 1;  // IDOK
    bool yes = options.answer == Answer::yes ||
               (options.answer == Answer::ask && isatty(STDIN_FILENO) && ask_on_terminal(text));
    return yes ? IDYES : IDNO;
}

int WriteFile(const char* text) {
    fprintf(stderr, "quiet-message text=");
    print_quoted(text);
    fputc('\n', stderr);
    return 1;
}

int ShowWindow(WindowHandle, int command) {
    fprintf(stderr, "show-window %s\n", command == SW_SHOW ? "SW_SHOW" : command == SW_HIDE ? "SW_HIDE" : "?");
    return 1;
}

uint32_t GetModuleFileNameA(char* buffer, uint32_t length) {
    return store_module_path(options.module_path, buffer, length);
}

int CreateProcessA(const char* application, char* command_line, Handle folder, const char* directory,
                   ProcessInfo* info) {
    fprintf(stderr, "create-process command=");
    print_quoted(command_line);
    fprintf(stderr, " directory=");
    print_quoted(directory);
    fputc('\n', stderr);
    fflush(stderr);
    if (!options.setup_command)
        return posix_platform.CreateProcessA(application, command_line, folder, directory, info);
    // setup's arguments ("-i" and the launcher's) become the command's
    // positional parameters.
    const char* first[] = {"/bin/sh", "-c", options.setup_command, "setup"};
    char** argv = split_windows_command(application, command_line, first, 4);
    if (!argv) return 0;
    int started = posix_start_process(argv[0], argv, folder, info);
    free(argv);
    return started;
}

int GetExitCodeProcess(Handle process, uint32_t* exit_code) {
    int result = posix_platform.GetExitCodeProcess(process, exit_code);
    fprintf(stderr, "setup-exit %u\n", unsigned(*exit_code));
    return result;
}

int ExitWindowsEx(uint32_t, uint32_t) {
    fprintf(stderr, "restart-requested\n");
    return 1;
}

}  // namespace

void print_quoted(const char* text) {
    fputc('"', stderr);
    write_visible(stderr, text, "\"");
    fputc('"', stderr);
}

Platform trace_platform(const TraceOptions& run_options) {
    options = run_options;
    return swapped_calls(posix_platform, Swap{&Platform::MessageBoxA, MessageBoxA}, Swap{&Platform::WriteFile, WriteFile},
                         Swap{&Platform::ShowWindow, ShowWindow},
                         Swap{&Platform::GetModuleFileNameA, GetModuleFileNameA},
                         Swap{&Platform::CreateProcessA, CreateProcessA},
                         Swap{&Platform::GetExitCodeProcess, GetExitCodeProcess},
                         Swap{&Platform::ExitWindowsEx, ExitWindowsEx});
}
