// CList: construction, destruction, the cursor and access by index.
#include "list/List.h"

CList::CList()
    : m_log(nullptr),
      m_count(0),
      m_errorCode(0),
      m_errorDetail(0),
      m_root(nullptr),
      m_cursor(nullptr),
      m_autoDelete(1) {
    InitializeCriticalSection(&m_lock);
    // Without its log the list works, it only does not trace.
    int opened = 0;
    m_log = CDebugFile::OpenForOwner(&opened);
    if (!m_log) return;
    if (!opened) {
        m_errorCode = CDebugFile::kOwnerOpenFailed;
        m_errorDetail = m_log->GetErrorCode();
    }
    TraceStep("CList Konstruktor");
}

CList::~CList() {
    if (m_root) ClearList();
    // Take the lock once more so that no other thread is inside a change,
    // then release it: a lock must not be destroyed while it is held.
    EnterCriticalSection(&m_lock);
    LeaveCriticalSection(&m_lock);
    DeleteCriticalSection(&m_lock);
    m_count = 0;
    m_errorCode = 0;
    if (m_log) {
        TraceStep("~CList");
        delete m_log;
        m_log = nullptr;
    }
}

int CList::GetCount() const {
    return m_count;
}

int CList::GetErrorCode() const {
    return m_errorCode;
}

void CList::SetAutoDelete(int on) {
    m_autoDelete = on;
}

CListNode* CList::GetFirst() {
    EnterCriticalSection(&m_lock);
    m_cursor = m_root;
    CListNode* node = m_cursor;
    LeaveCriticalSection(&m_lock);
    return node;
}

CListNode* CList::GetNext() {
    TraceStep("CList::GetNext");
    if (!m_cursor) return nullptr;
    EnterCriticalSection(&m_lock);
    // Walking past the last node leaves the cursor null.
    m_cursor = m_cursor ? m_cursor->next : nullptr;
    CListNode* node = m_cursor;
    LeaveCriticalSection(&m_lock);
    return node;
}

CListNode* CList::GetListTail() {
    if (!m_root) return nullptr;
    EnterCriticalSection(&m_lock);
    // The cursor is always a node of this list, so the walk may start there.
    CListNode* node = m_cursor ? m_cursor : m_root;
    while (node && node->next) node = node->next;
    m_cursor = node;
    LeaveCriticalSection(&m_lock);
    return node;
}

CListNode* CList::GetListHead() const {
    if (!m_root) TraceStep("CList::GetListHead m_root ist noch NULL");
    return m_root;
}

CListNode* CList::GetListElement(int index) {
    if (!m_root || index >= m_count) return nullptr;
    if (m_log) m_log->TraceLineLevel(kTraceLevel, "CList::GetListElement %i", index);
    if (index < 0) return m_cursor;
    EnterCriticalSection(&m_lock);
    // Through the virtual steps, so the cursor ends on the node found.
    CListNode* node = GetFirst();
    int step = 0;
    while (node && step != index) {
        ++step;
        node = GetNext();
    }
    LeaveCriticalSection(&m_lock);
    return node;
}

CComparable* CList::GetData(int index) {
    CListNode* node = GetListElement(index);
    if (node) return node->data;
    TraceStep("CList::GetData an der pos-Position wurde kein Element(DAten) gefunden");
    return nullptr;
}

CComparable* CList::GetFirstData() {
    CListNode* node = GetFirst();
    return node ? node->data : nullptr;
}

CComparable* CList::GetNextData() {
    CListNode* node = GetNext();
    return node ? node->data : nullptr;
}

CComparable* CList::GetDataAfter(const CComparable* element) {
    if (!element) return nullptr;
    // The first node holding the element counts; the cursor moves with the walk.
    for (CComparable* data = GetFirstData(); data; data = GetNextData()) {
        if (data == element) return GetNextData();
    }
    return nullptr;
}
