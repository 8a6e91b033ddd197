// Captures what reaches the debugger output channel while it lives, and can
// lower the trace threshold so that level-1 traces come through as well.
#pragma once

#include <string>
#include <vector>

#include "debuglog/LogState.h"
#include "platform/posix/Sinks.h"

class DebugCapture {
  public:
    explicit DebugCapture(int threshold = debuglog::kTraceThreshold)
        : m_savedThreshold(debuglog::Shared().traceThreshold) {
        debuglog::Shared().traceThreshold = threshold;
        posix::SetDebugSink(&DebugCapture::Sink, this);
    }
    ~DebugCapture() {
        posix::SetDebugSink(nullptr, nullptr);
        debuglog::Shared().traceThreshold = m_savedThreshold;
    }
    DebugCapture(const DebugCapture&) = delete;
    DebugCapture& operator=(const DebugCapture&) = delete;

    const std::vector<std::string>& Texts() const { return m_texts; }
    // The texts that contain `part`.
    std::vector<std::string> With(const std::string& part) const {
        std::vector<std::string> found;
        for (const std::string& text : m_texts)
            if (text.find(part) != std::string::npos) found.push_back(text);
        return found;
    }
    void Clear() { m_texts.clear(); }

  private:
    static void Sink(const char* text, void* context) {
        static_cast<DebugCapture*>(context)->m_texts.emplace_back(text);
    }

    int m_savedThreshold;
    std::vector<std::string> m_texts;
};
