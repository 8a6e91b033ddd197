// A throwaway Windows drive for tests: a temporary host folder that drive C:
// maps to while the object lives, plus captures of the debugger channel and
// the message box.
#pragma once

#include <string>
#include <vector>

namespace support {

class TempDrive {
public:
    TempDrive();
    ~TempDrive();
    TempDrive(const TempDrive&) = delete;
    TempDrive& operator=(const TempDrive&) = delete;

    const std::string& Root() const { return m_root; }
    // Host path of a path relative to the drive root ("windows/system32/x.dll").
    std::string Host(const std::string& relative) const;
    void MakeDirs(const std::string& relative) const;
    void WriteFile(const std::string& relative, const std::string& bytes) const;
    void WriteFile(const std::string& relative, const std::vector<unsigned char>& bytes) const;
    bool Exists(const std::string& relative) const;
    std::string ReadFile(const std::string& relative) const;

private:
    std::string m_root;
};

// Collects every text sent to the debugger channel while it lives. A lower
// threshold lets the library's level-1 traces through as well.
class DebugCapture {
public:
    explicit DebugCapture(int threshold = 20);
    ~DebugCapture();
    DebugCapture(const DebugCapture&) = delete;
    DebugCapture& operator=(const DebugCapture&) = delete;

    std::vector<std::string> Texts() const;
    // The texts without the "[QZMPurgeLib,0x<tid>] " prefix and one final "\n".
    std::vector<std::string> Lines() const;
    // The texts that contain `part`.
    std::vector<std::string> With(const std::string& part) const;
    void Clear();

private:
    int m_savedThreshold;
};

struct ShownMessage {
    std::string text;
    std::string caption;
    unsigned style = 0;
};

// Collects every message box shown while it lives.
class MessageCapture {
public:
    MessageCapture();
    ~MessageCapture();
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;

    std::vector<ShownMessage> Messages() const;
};

// Runs fn in a child process and returns its exit status (or -1 when it did
// not exit normally): for tests that must hold a file from another process or
// that change process-wide state for good.
int RunInChild(int (*fn)(void*), void* context);

}  // namespace support

namespace support {

// Another process that holds a file open through CreateFileA with the given
// access and share mode until this object goes.
class HeldFile {
public:
    HeldFile(const std::string& windowsPath, unsigned access, unsigned shareMode);
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    // True when the other process opened the file.
    bool Holding() const { return m_holding; }

private:
    int m_release = -1;
    int m_pid = -1;
    bool m_holding = false;
};

}  // namespace support
