// The log file of a tool run.
#include "app/RunLog.h"

#include <new>

#include "debuglog/DebugFile.h"

namespace {
// The log's state code while nothing has failed.
constexpr int kLogHealthy = 2001;
}  // namespace

RunLog::~RunLog() {
    Close();
}

bool RunLog::Open(const std::string& path) {
    Close();
    m_failed = true;
    m_log = new (std::nothrow) CDebugFile;
    if (!m_log) return false;
    m_log->Enable(1);
    if (!CDebugFile::SetLogName(path.c_str())) return false;
    m_failed = m_log->Open(path.c_str(), 1, 0) != 1 || !m_log->IsOpen();
    return !m_failed;
}

void RunLog::WriteLines(const std::vector<std::string>& lines) {
    if (!m_log) return;
    for (const std::string& line : lines) m_log->WriteLine("%s", line.c_str());
}

bool RunLog::Failed() const {
    return m_failed || (m_log && m_log->GetErrorCode() != kLogHealthy);
}

bool RunLog::Close() {
    if (m_log) {
        m_log->Close(nullptr);
        m_failed = Failed();
        delete m_log;
        m_log = nullptr;
    }
    return !m_failed;
}
