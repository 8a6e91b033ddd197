// Sort through the elements' Compare, and ForEach.
#include <gtest/gtest.h>

#include <algorithm>

#include "strings/Str.h"
#include "tests/list/ListTestSupport.h"

using listtest::ProbeList;
using S = std::vector<std::string>;

namespace {

std::vector<std::string> Texts(const CList& list) {
    std::vector<std::string> texts;
    for (const CListNode* node = list.GetListHead(); node; node = node->next)
        texts.push_back(node->data ? static_cast<const CStr*>(node->data)->GetBuffer() : "<null>");
    return texts;
}

std::vector<const CListNode*> Nodes(const CList& list) {
    std::vector<const CListNode*> nodes;
    for (const CListNode* node = list.GetListHead(); node; node = node->next) nodes.push_back(node);
    return nodes;
}

// Takes the element out of the node at `index`, leaving the node without one.
CComparable* TakeElement(CList& list, int index) {
    CListNode* node = list.GetListElement(index);
    CComparable* element = node->data;
    node->data = nullptr;
    return element;
}

}  // namespace

TEST(ListSort, CStrElementsByTextAndByLength) {
    ProbeList list;
    EXPECT_EQ(list.Sort(0, 0), 1) << "an empty list";
    // Lengths and alphabetical order disagree, so each sort has its own result.
    for (const char* text : {"zz", "a", "mmmm", "bbb"}) list.AddElement(new CStr(text, 0));
    const std::vector<const CListNode*> nodes = Nodes(list);
    CListNode* cursor = list.GetListElement(1);

    EXPECT_EQ(list.Sort(0, 0), 1);
    EXPECT_EQ(Texts(list), (S{"a", "bbb", "mmmm", "zz"}));
    EXPECT_EQ(list.Sort(1, 0), 1);
    EXPECT_EQ(Texts(list), (S{"zz", "mmmm", "bbb", "a"}));
    // Mode 1 of CStr compares lengths.
    EXPECT_EQ(list.Sort(0, 1), 1);
    EXPECT_EQ(Texts(list), (S{"a", "zz", "bbb", "mmmm"}));
    EXPECT_EQ(list.Sort(1, 1), 1);
    EXPECT_EQ(Texts(list), (S{"mmmm", "bbb", "zz", "a"}));
    // Any other mode compares texts; any non-zero first argument is descending.
    EXPECT_EQ(list.Sort(7, 2), 1);
    EXPECT_EQ(Texts(list), (S{"zz", "mmmm", "bbb", "a"}));

    // Only the elements move: the nodes keep their places and the cursor stays.
    EXPECT_EQ(Nodes(list), nodes);
    EXPECT_EQ(list.Cursor(), cursor);
    EXPECT_TRUE(list.LinksConsistent());
}

// A node without an element must not crash the sort, also when an exchange
// moves the gap to the front, and no element may be lost or doubled.
TEST(ListSort, NodeWithoutElementIsSafe) {
    for (int descending = 0; descending < 2; ++descending) {
        for (int mode = 0; mode < 2; ++mode) {
            ProbeList list;
            for (const char* text : {"b", "a", "dd", "c"}) list.AddElement(new CStr(text, 0));
            CComparable* taken = TakeElement(list, 2);
            EXPECT_EQ(list.Sort(descending, mode), 1);
            S texts = Texts(list);
            std::sort(texts.begin(), texts.end());
            EXPECT_EQ(texts, (S{"<null>", "a", "b", "c"}))
                << "descending " << descending << ", mode " << mode;
            delete taken;
        }
    }
}

namespace {

std::vector<int> g_visited;
void Visit(CComparable* element) {
    g_visited.push_back(static_cast<listtest::Tracked*>(element)->value);
}

}  // namespace

TEST(ListForEach, VisitsFromTheHeadAndStopsAtAMissingElement) {
    g_visited.clear();
    ProbeList list;
    EXPECT_EQ(list.ForEach(Visit), 0);
    EXPECT_TRUE(g_visited.empty());

    listtest::Fill(list, 1, 5);
    CListNode* cursor = list.GetListElement(3);
    EXPECT_EQ(list.ForEach(Visit), 0);
    EXPECT_EQ(g_visited, (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(list.Cursor(), cursor);

    g_visited.clear();
    CComparable* taken = TakeElement(list, 2);
    EXPECT_EQ(list.ForEach(Visit), 0);
    EXPECT_EQ(g_visited, (std::vector<int>{1, 2}));
    delete taken;
    EXPECT_EQ(list.ForEach(nullptr), 0) << "no function, nothing called";
}
