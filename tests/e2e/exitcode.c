// Runs a program, waits for it and prints its exit code as Windows keeps it
// ("exit 3010"); Wine hands only the low 8 bits of it to the Unix side.
//
//   exitcode <program> [arguments...]
//
// The program's command line is the rest of this one, unchanged.
#include <stdio.h>
#include <windows.h>

int main(void) {
    const char* line = GetCommandLineA();
    // Skip this program's own name (quoted or not) and the blanks after it.
    int quoted = 0;
    for (; *line && (quoted || (*line != ' ' && *line != '\t')); ++line)
        if (*line == '"') quoted = !quoted;
    while (*line == ' ' || *line == '\t') ++line;
    if (!*line) {
        fprintf(stderr, "usage: exitcode <program> [arguments...]\n");
        return 2;
    }
    static char command[32768];
    lstrcpynA(command, line, sizeof command);
    STARTUPINFOA startup = {0};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(NULL, command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        printf("failed %lu\n", (unsigned long)GetLastError());
        return 1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    printf("exit %lu\n", (unsigned long)code);
    fflush(stdout);
    return (int)code;
}
