#include <sys/wait.h>
#include <unistd.h>

#include "platform/Windows.h"
#include "tests/support/TempDrive.h"

namespace support {

HeldFile::HeldFile(const std::string& windowsPath, unsigned access, unsigned shareMode) {
    int ready[2], release[2];
    if (pipe(ready) != 0) return;
    if (pipe(release) != 0) {
        close(ready[0]);
        close(ready[1]);
        return;
    }
    pid_t pid = fork();
    if (pid == 0) {
        close(ready[0]);
        close(release[1]);
        HANDLE file = CreateFileA(windowsPath.c_str(), access, shareMode, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        char status = file != INVALID_HANDLE_VALUE ? 1 : 0;
        ssize_t written = write(ready[1], &status, 1);
        char byte;
        ssize_t got = read(release[0], &byte, 1);  // returns when the parent lets go
        (void)written;
        (void)got;
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        _exit(0);
    }
    close(ready[1]);
    close(release[0]);
    if (pid < 0) {
        close(ready[0]);
        close(release[1]);
        return;
    }
    m_pid = pid;
    m_release = release[1];
    char status = 0;
    m_holding = read(ready[0], &status, 1) == 1 && status == 1;
    close(ready[0]);
}

HeldFile::~HeldFile() {
    if (m_release >= 0) close(m_release);
    if (m_pid > 0) waitpid(m_pid, nullptr, 0);
}

}  // namespace support
