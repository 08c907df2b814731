// The setup.exe of the end-to-end tests. It appends to the file named by
// IUNPACK_PROBE_LOG (outside the working directory, which is gone when the
// test looks) its command line, its current directory and the name and
// size of every file beside it, then exits with the number held in
// exitcode.txt beside it (0 without one). While the file named by
// IUNPACK_PROBE_HOLD exists it waits (at most a minute), so that a test
// can start a second installer while this one runs. A GUI program: a
// console one would get a console host process that lives on a moment in
// the working directory and keeps it from being removed.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static void own_directory(char* directory, DWORD size) {
    DWORD n = GetModuleFileNameA(nullptr, directory, size);
    while (n > 0 && directory[n - 1] != '\\') n--;
    directory[n] = 0;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const char* log_path = getenv("IUNPACK_PROBE_LOG");
    if (!log_path) return 99;
    char directory[MAX_PATH], current[MAX_PATH], pattern[MAX_PATH + 4];
    own_directory(directory, MAX_PATH);
    GetCurrentDirectoryA(MAX_PATH, current);

    FILE* log = fopen(log_path, "ab");  // lines end with \n alone
    if (!log) return 98;
    fprintf(log, "command=%s\ndirectory=%s\n", GetCommandLineA(), current);
    snprintf(pattern, sizeof pattern, "%s*", directory);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                fprintf(log, "file=%s %lu\n", found.cFileName, found.nFileSizeLow);
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    fprintf(log, "started\n");
    fflush(log);

    const char* hold = getenv("IUNPACK_PROBE_HOLD");
    for (int i = 0; hold && i < 600 && GetFileAttributesA(hold) != INVALID_FILE_ATTRIBUTES; i++) Sleep(100);

    unsigned exit_code = 0;
    char code_path[MAX_PATH + 16];
    snprintf(code_path, sizeof code_path, "%sexitcode.txt", directory);
    if (FILE* code = fopen(code_path, "r")) {
        if (fscanf(code, "%u", &exit_code) != 1) exit_code = 97;
        fclose(code);
    }
    fprintf(log, "exit=%u\n", exit_code);
    fclose(log);
    return int(exit_code);
}
