// runner.exe INSTALLER: starts INSTALLER with the command line tail held
// in IUNPACK_RUNNER_ARGUMENTS (byte for byte), gives it this process's
// standard error, waits for it and prints its whole exit code as
// "exit=N": a POSIX exit status would keep only its low 8 bits. Exit
// status 0 when the installer ran, 1 otherwise.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: runner.exe INSTALLER\n");
        return 1;
    }
    static char command[32768];
    const char* tail = getenv("IUNPACK_RUNNER_ARGUMENTS");
    snprintf(command, sizeof command, "\"%s\"%s%s", argv[1], tail ? " " : "", tail ? tail : "");
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(argv[1], command, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        fprintf(stderr, "runner.exe: cannot start %s: error %lu\n", argv[1], GetLastError());
        return 1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    printf("exit=%lu\n", code);
    return 0;
}
