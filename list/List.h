// CList: a doubly linked list of comparable objects with a cursor.
//
// The list stores element pointers (it never copies an element) in nodes it
// allocates itself. Positions are 0-based; a negative index names the node
// under the cursor. Most walks move the cursor, so a run of AddElement calls
// appends in constant time. By default the list owns its elements and deletes
// them when their nodes go (SetAutoDelete(0) leaves them to their owner).
//
// Locking: m_lock is a recursive lock taken around the cursor steps, the walks
// by index and every change of the links. The searches that precede a change
// run outside it, so threads that share one list serialise their calls on the
// list's lock themselves (a derived class reaches m_lock).
#pragma once

#include "debuglog/DebugFile.h"
#include "platform/Windows.h"
#include "strings/Comparable.h"

// One node: a heap block of three pointers.
struct CListNode {
    CComparable* data;  // the element
    CListNode* next;    // the following node; null at the end
    CListNode* prev;    // the preceding node; null at the head
};

class CList {
public:
    // Called by ForEach with each element in turn.
    typedef void (*ElementFunction)(CComparable* element);

    CList();
    virtual ~CList();

    virtual int GetCount() const;
    virtual CListNode* GetFirst();
    virtual CListNode* GetNext();
    virtual CListNode* GetListElement(int index);
    virtual CListNode* GetListHead() const;
    virtual CListNode* GetListTail();
    virtual CComparable* GetData(int index);
    virtual CComparable* GetFirstData();
    virtual CComparable* GetNextData();
    virtual CComparable* GetDataAfter(const CComparable* element);
    virtual int AddElement(CComparable* element);
    virtual int InsertAt(int index, CComparable* element);
    virtual int DeleteElement(int index);
    virtual int ClearList();
    virtual int GetErrorCode() const;
    virtual void SetAutoDelete(int on);
    virtual int Sort(int descending, int param);
    virtual int ForEach(ElementFunction function);

    CList(const CList&) = delete;
    CList& operator=(const CList&) = delete;

protected:
    static constexpr int kTraceLevel = 1;

    // One fixed trace line at the class level, when the list has its log.
    // Lines with values call the log directly, so their formats are checked.
    void TraceStep(const char* text) const {
        if (m_log) m_log->TraceLineLevel(kTraceLevel, "%s", text);
    }
    // Makes `node` the only node of the (empty) list; takes the lock.
    void LinkFirst(CListNode* node, CComparable* element);
    // Deletes the element of `node` when the list owns its elements and clears
    // the node's data.
    void ReleaseElement(CListNode* node);

    CDebugFile* m_log;
    int m_count;
    int m_errorCode;
    int m_errorDetail;
    CListNode* m_root;
    CListNode* m_cursor;
    int m_autoDelete;
    CRITICAL_SECTION m_lock;
};
