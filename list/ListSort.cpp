// CList: ordering the elements and visiting them.
#include "list/List.h"

int CList::Sort(int descending, int param) {
    // An exchange sort over the element pointers; the nodes keep their places.
    for (CListNode* a = m_root; a; a = a->next) {
        if (!a->data) continue;
        for (CListNode* b = a->next; b; b = b->next) {
            // Exchanging with a node that holds no element leaves A without
            // one; there is nothing left to compare A's element with.
            if (!a->data) break;
            int order = a->data->Compare(b->data, param);
            if (descending == 0 ? order > 0 : order < 0) {
                CComparable* data = a->data;
                a->data = b->data;
                b->data = data;
            }
        }
    }
    return 1;
}

int CList::ForEach(ElementFunction function) {
    if (!function) return 0;
    for (CListNode* node = m_root; node; node = node->next) {
        if (!node->data) break;
        function(node->data);
    }
    return 0;
}
