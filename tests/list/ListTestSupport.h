// Helpers shared by the list tests: an element that counts its destruction, a
// list that shows its cursor, error detail and lock, and readers of the
// elements and of the list's own trace lines.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "list/List.h"
#include "tests/debuglog/LogStateProbe.h"
#include "tests/support/TempDrive.h"

namespace listtest {

// An element with a number, compared by it; its destructor counts into `deaths`.
class Tracked : public CComparable {
public:
    explicit Tracked(int value, std::atomic<int>* deaths = nullptr)
        : value(value), deaths(deaths) {}
    ~Tracked() override {
        if (deaths) ++*deaths;
    }
    // Any element is greater than a missing one.
    int Compare(const CComparable* other, int) const override {
        if (!other) return 1;
        int theirs = static_cast<const Tracked*>(other)->value;
        return value < theirs ? -1 : (value > theirs ? 1 : 0);
    }

    int value;
    std::atomic<int>* deaths;
};

class ProbeList : public CList {
public:
    CListNode* Cursor() const { return m_cursor; }
    int ErrorDetail() const { return m_errorDetail; }
    void Lock() { EnterCriticalSection(&m_lock); }
    void Unlock() { LeaveCriticalSection(&m_lock); }

    // Head without prev, next/prev pairs agree, the count matches, the cursor
    // is null or one of the nodes.
    bool LinksConsistent() const {
        if (m_root && m_root->prev) return false;
        int nodes = 0;
        bool cursorFound = m_cursor == nullptr;
        for (const CListNode* node = m_root; node; node = node->next) {
            if (node->next && node->next->prev != node) return false;
            if (node == m_cursor) cursorFound = true;
            if (++nodes > 1000000) return false;
        }
        return nodes == m_count && cursorFound;
    }
};

inline int ValueOf(const CListNode* node) {
    return node && node->data ? static_cast<const Tracked*>(node->data)->value : -1;
}

// The numbers from the head without moving the cursor (-1 for a node without
// an element).
inline std::vector<int> Values(const CList& list) {
    std::vector<int> values;
    for (const CListNode* node = list.GetListHead(); node; node = node->next)
        values.push_back(ValueOf(node));
    return values;
}

// Appends Tracked elements numbered first, first + 1, ...
inline void Fill(CList& list, int first, int count, std::atomic<int>* deaths = nullptr) {
    for (int i = 0; i < count; ++i) list.AddElement(new Tracked(first + i, deaths));
}

// The list's own lines in a capture (not those of its elements or of the log).
inline std::vector<std::string> ListLines(const support::DebugCapture& capture) {
    std::vector<std::string> lines;
    for (const std::string& line : capture.Lines())
        if (line.rfind("CList", 0) == 0 || line == "~CList") lines.push_back(line);
    return lines;
}

}  // namespace listtest
