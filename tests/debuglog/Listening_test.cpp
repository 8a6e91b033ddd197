// Who hears a trace: the debugger channel's listener on stderr, a sink, the
// log file; and what a trace costs when nobody does.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "debuglog/DebugFile.h"
#include "platform/posix/Sinks.h"
#include "tests/debuglog/LogTestSupport.h"

namespace {

// Exposes the formatting buffer, in which a trace that is made leaves its text.
class OpenBuffer : public CDebugFile {
public:
    std::string Text() const { return m_output.text ? m_output.text : ""; }
};

// What OutputDebugStringA writes to stderr in a child process, with the
// listener on or off.
std::string StderrOf(bool listener, const char* text) {
    char name[] = "/tmp/purgelib-stderr-XXXXXX";
    int fd = mkstemp(name);
    if (fd < 0) return "?";
    struct Job {
        int fd;
        bool listener;
        const char* text;
    } job{fd, listener, text};
    support::RunInChild(
        [](void* context) {
            Job* job = static_cast<Job*>(context);
            dup2(job->fd, STDERR_FILENO);
            posix::SetDebugListener(job->listener);
            OutputDebugStringA(job->text);
            OutputDebugStringA(job->text);
            return 0;
        },
        &job);
    std::string out;
    char buffer[256];
    ssize_t n;
    lseek(fd, 0, SEEK_SET);
    while ((n = read(fd, buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<size_t>(n));
    close(fd);
    unlink(name);
    return out;
}

TEST(DebugChannel, PrintsOnlyWhileTheListenerIsOn) {
    EXPECT_EQ(StderrOf(false, "gr\xFC\xDF\n"), "");
    // UTF-8, each text as it came.
    EXPECT_EQ(StderrOf(true, "gr\xFC\xDF\n"), "gr\xC3\xBC\xC3\x9F\ngr\xC3\xBC\xC3\x9F\n");
}

TEST(DebugChannel, AnyoneListensNamesEveryWayATraceIsHeard) {
    logtest::RunInChild([] {
        logtest::TempWindows windows;
        OpenBuffer log;
        log.Open("Debug.log", 1, 0);
        EXPECT_EQ(CDebugFile::AnyoneListens(), 0);
        // Unheard: nothing is even formatted.
        log.TraceLine("%s", "unheard");
        EXPECT_EQ(log.Text(), "");

        posix::SetDebugListener(true);
        EXPECT_EQ(CDebugFile::AnyoneListens(), 1);
        posix::SetDebugListener(false);
        {
            support::DebugCapture capture;
            EXPECT_EQ(CDebugFile::AnyoneListens(), 1);
            log.TraceLine("%s", "heard");
            EXPECT_NE(log.Text().find("heard"), std::string::npos);
            EXPECT_EQ(capture.Lines(), std::vector<std::string>{"heard"});
        }
        EXPECT_EQ(CDebugFile::AnyoneListens(), 0);

        // The log file hears, while file logging is on and as long as the
        // file stays open after it was switched off.
        CDebugFile* file = logtest::OpenLog();
        EXPECT_EQ(CDebugFile::AnyoneListens(), 1);
        file->Enable(0);
        EXPECT_EQ(CDebugFile::AnyoneListens(), 1);
        log.TraceLine("%s", "to the file");
        delete file;
        log.Close(nullptr);
        EXPECT_EQ(CDebugFile::AnyoneListens(), 0);
        EXPECT_NE(windows.Read("Debug.log").find("to the file"), std::string::npos);
    });
}

std::atomic<int> g_heard{0};
void CountHeard(const char*, void*) {
    g_heard.fetch_add(1);
}

// Several threads trace while the sink comes and goes: every trace is either
// dropped or heard whole, and nothing races.
TEST(DebugChannel, ThreadsTraceWhileListenersComeAndGo) {
    constexpr int kThreads = 4, kTraces = 2000;
    std::atomic<bool> stop{false};
    g_heard = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([] {
            CDebugFile log;
            log.Open("Debug.log", 1, 0);
            for (int i = 0; i < kTraces; ++i) {
                if (CDebugFile::AnyoneListens()) log.TraceLine("%d", i);
                log.TraceLine("%s", "x");
            }
        });
    }
    std::thread toggler([&] {
        while (!stop.load()) {
            posix::SetDebugSink(CountHeard, nullptr);
            std::this_thread::yield();
            posix::SetDebugSink(nullptr, nullptr);
        }
    });
    for (std::thread& thread : threads) thread.join();
    stop = true;
    toggler.join();
    EXPECT_LE(g_heard.load(), 2 * kThreads * kTraces);
    EXPECT_EQ(CDebugFile::AnyoneListens(), 0);
}

}  // namespace
