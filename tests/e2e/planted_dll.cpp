// A DLL planted beside an installer under the name of one that the system
// loads into windowed programs after their start (tests/e2e/run.sh names it
// uxtheme.dll). Loaded, it writes the file named by IUNPACK_PLANTED_MARKER:
// the launcher must never load it.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    char marker[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("IUNPACK_PLANTED_MARKER", marker, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return TRUE;
    HANDLE file = CreateFileA(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return TRUE;
}
