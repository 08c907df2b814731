// The stub's own entry point: no C runtime start-up code (it costs more
// bytes than the whole launcher and needs nothing the launcher uses). The
// process ends with host_main's result, which also ends the worker
// wherever it is.
#include "shell/host_window.h"
#include "shell/platform_win32.h"
#include "shell/windows_api.h"

// The system enters with a stack aligned to 4 bytes only on 32-bit x86.
extern "C" __attribute__((force_align_arg_pointer)) void WinMainCRTStartup() {
    platform = &win32_platform;
    host_platform = &win32_host_platform;
    ::ExitProcess(host_main(::GetModuleHandleA(nullptr), nullptr, "", SW_SHOWDEFAULT));
}
