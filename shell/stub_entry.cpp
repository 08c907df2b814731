// The stub's own entry point: no C runtime start-up code (it costs more
// bytes than the whole launcher and needs nothing the launcher uses). The
// process ends with host_main's result, which also ends the worker
// wherever it is.
#include "shell/host_window.h"
#include "shell/platform_win32.h"
#include "shell/windows_api.h"

namespace {

// DLLs that the system loads into a windowed program after its start (for
// themes, the window manager, version checks, profiles, security), each
// taken from the system folder first where the search cannot be
// restricted.
constexpr const char* LATE_DLLS[] = {
    "\\uxtheme.dll", "\\dwmapi.dll",  "\\version.dll", "\\userenv.dll", "\\profapi.dll",
    "\\cryptbase.dll", "\\sspicli.dll", "\\apphelp.dll", "\\propsys.dll", "\\ntmarta.dll",
};
constexpr DWORD SEARCH_SYSTEM32 = 0x800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

template <typename Function>
Function kernel_function(const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), name)));
}

// The launcher starts in a folder full of downloads: a DLL there named
// like one the system loads late must never be loaded. Every DLL is then
// searched in the system folder alone. Systems without that call (not
// updated since before 2011) can only drop the current folder from the
// search; the folder of the program stays in it, so there the late DLLs
// are loaded now, by their full system path, and later loads find them
// loaded. The static imports are known system DLLs, which Windows always
// takes from the system folder.
void restrict_dll_search() {
    auto set_default_directories = kernel_function<BOOL(WINAPI*)(DWORD)>("SetDefaultDllDirectories");
    if (set_default_directories && set_default_directories(SEARCH_SYSTEM32)) return;
    auto set_dll_directory = kernel_function<BOOL(WINAPI*)(LPCSTR)>("SetDllDirectoryA");
    if (set_dll_directory) set_dll_directory("");
    for (const char* name : LATE_DLLS) load_system_dll(name);
}

}  // namespace

// The system enters with a stack aligned to 4 bytes only on 32-bit x86.
extern "C" __attribute__((force_align_arg_pointer)) void WinMainCRTStartup() {
    restrict_dll_search();
    platform = &win32_platform;
    host_platform = &win32_host_platform;
    ::ExitProcess(host_main(::GetModuleHandleA(nullptr), nullptr, ::GetCommandLineA(), SW_SHOWDEFAULT));
}
