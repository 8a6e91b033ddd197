// CList: adding, inserting and deleting nodes.
//
// A new node is allocated before the place of the change is searched, so a
// failed allocation leaves the list exactly as it was, cursor included. The
// search for the place of a change runs outside the lock; the linking, the
// count, the cursor and the release of a deleted element run inside it.
#include <new>

#include "list/List.h"

namespace {

CListNode* NewNode() {
    return new (std::nothrow) CListNode{nullptr, nullptr, nullptr};
}

}  // namespace

void CList::LinkFirst(CListNode* node, CComparable* element) {
    EnterCriticalSection(&m_lock);
    m_count++;
    node->prev = nullptr;
    node->next = nullptr;
    node->data = element;
    m_root = node;
    m_cursor = node;
    LeaveCriticalSection(&m_lock);
}

void CList::ReleaseElement(CListNode* node) {
    if (m_autoDelete && node->data) delete node->data;
    node->data = nullptr;
}

int CList::AddElement(CComparable* element) {
    TraceStep("CList::AddElement");
    if (!element) return 0;
    if (!m_root) {
        TraceStep("CList::AddElement - als erstes Element einf\xFCgen");
        CListNode* node = NewNode();
        if (!node) return 0;
        LinkFirst(node, element);
        return 1;
    }
    if (m_log)
        m_log->TraceLineLevel(kTraceLevel, "CList::AddElement - %d Element(e) hat Liste bereits",
                              m_count);
    CListNode* node = NewNode();
    if (!node) return 0;
    // While the cursor sits on the last node (where the previous append left
    // it), appending needs no walk.
    CListNode* last = (m_cursor && !m_cursor->next) ? m_cursor : GetListTail();
    if (!last) {
        delete node;
        return 0;
    }
    EnterCriticalSection(&m_lock);
    last->next = node;
    node->prev = last;
    m_count++;
    node->next = nullptr;
    node->data = element;
    m_cursor = node;
    LeaveCriticalSection(&m_lock);
    return 1;
}

int CList::InsertAt(int index, CComparable* element) {
    TraceStep("CList::InsertAt");
    if (!element) return 0;
    if (!m_root) {
        // The index does not matter in an empty list.
        TraceStep("CList::InsertAt - als erstes Element einf\xFCgen");
        CListNode* node = NewNode();
        if (!node) return 0;
        LinkFirst(node, element);
        return 1;
    }
    if (m_log)
        m_log->TraceLineLevel(kTraceLevel, "CList::InsertAt - %d Element(e) hat Liste bereits",
                              m_count);
    CListNode* node = NewNode();
    if (!node) return 0;
    CListNode* target = GetListElement(index);
    if (!target) {
        // At or beyond the end, or a negative index without a cursor: append.
        delete node;
        return AddElement(element);
    }
    EnterCriticalSection(&m_lock);
    node->next = target;
    node->prev = target->prev;
    target->prev = node;
    if (node->prev) node->prev->next = node;
    if (target == m_root) m_root = node;
    m_count++;
    node->data = element;
    m_cursor = node;
    LeaveCriticalSection(&m_lock);
    return 1;
}

int CList::DeleteElement(int index) {
    if (m_log) m_log->TraceLineLevel(kTraceLevel, "CList::DeleteElement %i", index);
    if (index == 0) {
        if (!m_root) {
            TraceStep(
                "CList::DeleteElement konnte 1. Elemente nichts l\xF6schen,\nda die Liste noch "
                "leer ist");
            m_count = 0;
            return 0;
        }
        EnterCriticalSection(&m_lock);
        CListNode* head = m_root;
        if (!head) {
            LeaveCriticalSection(&m_lock);
            return 0;
        }
        m_count--;
        m_root = head->next;
        if (m_root) m_root->prev = nullptr;
        m_cursor = m_root;
        ReleaseElement(head);
        delete head;
        LeaveCriticalSection(&m_lock);
        return 1;
    }
    CListNode* node = GetListElement(index);
    if (!node) {
        if (m_log)
            m_log->TraceLineLevel(
                kTraceLevel,
                "CList::DeleteElement - das %i-te Element konnte nicht gel\xF6scht werden,\nda es "
                "nicht gefunden wurde.",
                index);
        return 0;
    }
    EnterCriticalSection(&m_lock);
    m_count--;
    if (node->next) node->next->prev = node->prev;
    if (node->prev) node->prev->next = node->next;
    // A negative index reaches the head when the cursor sits on it.
    if (node == m_root) m_root = node->next;
    ReleaseElement(node);
    delete node;
    // The cursor sat on the freed node; it goes back to the head before the
    // lock is released, so no other thread ever sees it dangle.
    m_cursor = m_root;
    LeaveCriticalSection(&m_lock);
    return 1;
}

int CList::ClearList() {
    TraceStep("CList::ClearList");
    EnterCriticalSection(&m_lock);
    // The last, failing call resets the count to 0.
    while (DeleteElement(0)) {
    }
    LeaveCriticalSection(&m_lock);
    return 1;
}
