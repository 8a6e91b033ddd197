#include "tests/support/TempDrive.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

#include "platform/posix/PosixPaths.h"
#include "platform/posix/Sinks.h"
#include "tests/debuglog/LogStateProbe.h"

namespace support {
namespace {

std::mutex g_captureLock;
std::vector<std::string> g_debugTexts;
std::vector<ShownMessage> g_messages;

void CollectDebug(const char* text, void*) {
    std::lock_guard<std::mutex> guard(g_captureLock);
    g_debugTexts.emplace_back(text);
}

void CollectMessage(const char* text, const char* caption, unsigned style, void*) {
    std::lock_guard<std::mutex> guard(g_captureLock);
    g_messages.push_back(ShownMessage{text, caption, style});
}

}  // namespace

TempDrive::TempDrive() {
    char pattern[] = "/tmp/purgelib-drive-XXXXXX";
    char* made = mkdtemp(pattern);
    m_root = made ? made : "/tmp";
    posix::SetDriveRoot(m_root.c_str());
}

TempDrive::~TempDrive() {
    posix::SetDriveRoot(nullptr);
    std::error_code ignored;
    // Give back write rights first, so read-only fixtures go too.
    for (auto& entry : std::filesystem::recursive_directory_iterator(m_root, ignored))
        chmod(entry.path().c_str(), 0755);
    std::filesystem::remove_all(m_root, ignored);
}

std::string TempDrive::Host(const std::string& relative) const {
    return m_root + "/" + relative;
}

void TempDrive::MakeDirs(const std::string& relative) const {
    std::filesystem::create_directories(Host(relative));
}

void TempDrive::WriteFile(const std::string& relative, const std::string& bytes) const {
    std::filesystem::path path(Host(relative));
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void TempDrive::WriteFile(const std::string& relative,
                          const std::vector<unsigned char>& bytes) const {
    WriteFile(relative, std::string(bytes.begin(), bytes.end()));
}

bool TempDrive::Exists(const std::string& relative) const {
    struct stat st;
    return lstat(Host(relative).c_str(), &st) == 0;
}

std::string TempDrive::ReadFile(const std::string& relative) const {
    std::ifstream in(Host(relative), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

DebugCapture::DebugCapture(int threshold) : m_savedThreshold(0) {
    Clear();
    m_savedThreshold = logtest::ExchangeTraceThreshold(threshold);
    posix::SetDebugSink(CollectDebug, nullptr);
}

DebugCapture::~DebugCapture() {
    posix::SetDebugSink(nullptr, nullptr);
    logtest::ExchangeTraceThreshold(m_savedThreshold);
}

std::vector<std::string> DebugCapture::With(const std::string& part) const {
    std::vector<std::string> found;
    for (const std::string& text : Texts())
        if (text.find(part) != std::string::npos) found.push_back(text);
    return found;
}

std::vector<std::string> DebugCapture::Texts() const {
    std::lock_guard<std::mutex> guard(g_captureLock);
    return g_debugTexts;
}

std::vector<std::string> DebugCapture::Lines() const {
    std::vector<std::string> lines;
    for (std::string text : Texts()) {
        size_t end = text.find("] ");
        if (text.rfind("[QZMPurgeLib,0x", 0) == 0 && end != std::string::npos)
            text = text.substr(end + 2);
        if (!text.empty() && text.back() == '\n') text.pop_back();
        lines.push_back(text);
    }
    return lines;
}

void DebugCapture::Clear() {
    std::lock_guard<std::mutex> guard(g_captureLock);
    g_debugTexts.clear();
}

MessageCapture::MessageCapture() {
    {
        std::lock_guard<std::mutex> guard(g_captureLock);
        g_messages.clear();
    }
    posix::SetMessageSink(CollectMessage, nullptr);
}

MessageCapture::~MessageCapture() {
    posix::SetMessageSink(nullptr, nullptr);
}

std::vector<ShownMessage> MessageCapture::Messages() const {
    std::lock_guard<std::mutex> guard(g_captureLock);
    return g_messages;
}

int RunInChild(int (*fn)(void*), void* context) {
    pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) _exit(fn(context));
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

}  // namespace support
