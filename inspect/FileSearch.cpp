// CFileSearch: construction, the block-wise search, the scan of a block and
// the report of a hit.
#include "inspect/FileSearch.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "inspect/BytePattern.h"
#include "inspect/HitContext.h"
#include "platform/Windows.h"

namespace {

constexpr unsigned kNameSize = 255;
constexpr int kFromCurrent = 1;

}  // namespace

CFileSearch::CFileSearch(const char* fileName)
    : m_log(nullptr),
      m_fileName(nullptr, kNameSize),
      m_searchString(nullptr, kNameSize),
      m_found(0),
      m_hitCount(0),
      m_versionBlock(nullptr),
      m_scanBuffer(nullptr),
      m_scanBufferSize(0),
      m_blockOffset(0),
      m_firstHit(-1),
      m_readError(0) {
    m_fileName.Set(fileName, 0);
    // The searcher keeps no error of its own when its log is not available.
    int opened = 0;
    m_log = CDebugFile::OpenForOwner(&opened);
}

CFileSearch::~CFileSearch() {
    delete m_log;
    m_log = nullptr;
    std::free(m_versionBlock);
    m_versionBlock = nullptr;
}

int CFileSearch::Search(const char* text, int report) {
    if (m_fileName.IsEmpty()) {
        m_readError = ERROR_INVALID_PARAMETER;
        if (m_log) m_log->TraceLine("%s", "No Filename");
        return 0;
    }
    m_searchString.Set(text, 0);
    // A string of a block or more would never let the blocks move on; one the
    // object could not take (no memory) is not searched for either.
    const unsigned length = static_cast<unsigned>(m_searchString.GetLength());
    if (m_searchString.IsEmpty() || length >= kBlockSize ||
        std::strcmp(m_searchString.GetBuffer(), text) != 0) {
        m_readError = ERROR_INVALID_PARAMETER;
        if (m_log) m_log->TraceLine("%s", "No search string");
        return 0;
    }

    OFSTRUCT info;
    HFILE file = OpenFile(m_fileName.GetBuffer(), &info, OF_READ);
    if (file == HFILE_ERROR) {
        // Taken before the first trace, which may change it.
        const DWORD error = GetLastError();
        m_readError = error != NO_ERROR ? error : ERROR_OPEN_FAILED;
        if (m_log) {
            m_log->TraceLine("%s", "error");
            m_log->TraceLine("OpenFile '%s' %d", m_fileName.GetBuffer(), static_cast<int>(error));
        }
        return 0;
    }
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, kBufferSize);
    char* buffer = memory ? static_cast<char*>(GlobalLock(memory)) : nullptr;
    if (!buffer) {
        const DWORD error = GetLastError();
        m_readError = error != NO_ERROR ? error : ERROR_NOT_ENOUGH_MEMORY;
        if (m_log) {
            m_log->TraceLine("%s", "error");
            m_log->TraceLine("GlobalAlloc %d", static_cast<int>(error));
        }
        if (memory) GlobalFree(memory);
        _lclose(file);
        return 0;
    }

    m_hitCount = 0;
    m_found = 0;
    m_firstHit = -1;
    m_readError = NO_ERROR;
    m_scanBuffer = buffer;
    m_scanBufferSize = kBufferSize;
    m_blockOffset = 0;
    // Consecutive blocks overlap by one byte less than the search string, so
    // every hit lies wholly in exactly one block.
    const LONG back = -static_cast<LONG>(length - 1);
    for (;;) {
        const UINT n = _lread(file, buffer, kBlockSize);
        // A failed read ends the search; its result is no length.
        if (n == static_cast<UINT>(HFILE_ERROR) || n > kBlockSize) {
            const DWORD error = GetLastError();
            m_readError = error != NO_ERROR ? error : ERROR_READ_FAULT;
            break;
        }
        ScanBlock(buffer, n, report);
        // The new position is answered in 32 bits: in a file of 4 GiB or more
        // a good one can look like HFILE_ERROR, and only the error tells.
        SetLastError(NO_ERROR);
        const LONG moved = _llseek(file, back, kFromCurrent);
        const DWORD error = moved == HFILE_ERROR ? GetLastError() : NO_ERROR;
        if (error != NO_ERROR) {
            if (m_log) {
                m_log->TraceLine("%s", "error");
                m_log->TraceLine("_llseek %d", static_cast<int>(error));
            }
            // After a short block the file has ended (a file shorter than the
            // overlap cannot move back); after a full one the rest is unread.
            if (n == kBlockSize) m_readError = error;
            break;
        }
        if (n != kBlockSize) break;
        m_blockOffset += n - (length - 1);
    }
    m_scanBuffer = nullptr;
    m_scanBufferSize = 0;

    _lclose(file);
    GlobalUnlock(memory);
    GlobalFree(memory);
    if (m_log) {
        m_log->TraceLine("%s", "Num of detections");
        m_log->TraceLine("%d", m_hitCount);
    }
    return m_found;
}

int CFileSearch::ScanBlock(char* block, unsigned length, int report) {
    const char* text = m_searchString.GetBuffer();
    const size_t textLength = text ? std::strlen(text) : 0;
    if (!block || textLength == 0 || textLength > length) return m_found;

    // The bytes a context may show: the whole block buffer when this block is
    // the running search's, else the block alone.
    const char* base = block;
    size_t extent = length;
    const uintptr_t at = reinterpret_cast<uintptr_t>(block);
    const uintptr_t buffer = reinterpret_cast<uintptr_t>(m_scanBuffer);
    if (m_scanBuffer && at >= buffer && length <= m_scanBufferSize &&
        at - buffer <= m_scanBufferSize - length) {
        base = m_scanBuffer;
        extent = m_scanBufferSize;
    }

    // Only the running search's own block has a known place in the file.
    const bool placed = m_scanBuffer && block == m_scanBuffer;
    // The text around a hit is made only for a trace that reaches someone.
    const bool show = report && CDebugFile::AnyoneListens();
    const inspect::BytePattern pattern(text, textLength);
    inspect::ContextLocator contexts(base, extent);
    const char* end = block + length;
    for (const char* hit = pattern.Find(block, end); hit; hit = pattern.Find(hit + 1, end)) {
        if (m_firstHit < 0 && placed)
            m_firstHit = static_cast<long long>(m_blockOffset + static_cast<size_t>(hit - block));
        if (show) {
            const inspect::HitContext where =
                contexts.Locate(static_cast<size_t>(hit - base), textLength);
            // The context is made in a string of its own; the block keeps its bytes.
            CStr context("", static_cast<unsigned>(where.length));
            if (context.GetBuffer() && context.GetSize() >= where.length)
                contexts.Copy(where, context.GetBuffer());
            ReportHit(&context);
        }
        m_found = 1;
        if (m_hitCount < INT_MAX) ++m_hitCount;
    }
    return m_found;
}

int CFileSearch::ReportHit(CStr* context) {
    if (!m_log) return 1;
    if (m_hitCount == 0) {
        m_log->TraceLine("%s", "searching");
        m_log->TraceLine("%s", m_searchString.GetBuffer());
    }
    m_log->TraceLine("%d. String", m_hitCount + 1);
    if (context && context->GetBuffer()) m_log->TraceLine("%s", context->GetBuffer());
    return 1;
}
