// The demo's setup.exe: says where it runs and what it was given, and
// exits 0, as a real installation program would after its work.
#include <windows.h>

#include <cstdio>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_line, int) {
    char directory[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, directory);
    char text[1024];
    snprintf(text, sizeof text, "The demo installation ran.\n\nArguments: %s\nDirectory: %s", command_line,
             directory);
    MessageBoxA(nullptr, text, "Demo setup", MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
    return 0;
}
