// Sort through the elements' Compare, and ForEach.
#include <gtest/gtest.h>

#include <algorithm>

#include "strings/Str.h"
#include "tests/list/ListTestSupport.h"

using listtest::Fill;
using listtest::ProbeList;
using listtest::Tracked;
using listtest::Values;

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

// Lengths and alphabetical order disagree, so each sort has its own result.
void FillTexts(CList& list) {
    for (const char* text : {"zz", "a", "mmmm", "bbb"}) list.AddElement(new CStr(text, 0));
}

using S = std::vector<std::string>;

}  // namespace

TEST(ListSort, CStrElementsByTextAndByLength) {
    ProbeList list;
    FillTexts(list);
    std::vector<const CListNode*> nodes = Nodes(list);
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

    EXPECT_EQ(Nodes(list), nodes) << "the nodes keep their places, only elements move";
    EXPECT_EQ(list.Cursor(), cursor);
    EXPECT_TRUE(list.LinksConsistent());
}

TEST(ListSort, EmptyAndSingleLists) {
    ProbeList list;
    EXPECT_EQ(list.Sort(0, 0), 1);
    EXPECT_EQ(list.Sort(1, 1), 1);
    Fill(list, 4, 1);
    EXPECT_EQ(list.Sort(0, 0), 1);
    EXPECT_EQ(Values(list), (std::vector<int>{4}));
}

// A node whose element was taken away (data cleared through the node) must
// not crash the sort, also when an exchange moves the gap to the front, and
// no element may be lost or doubled.
TEST(ListSort, NodeWithoutElementIsSafe) {
    for (int descending = 0; descending < 2; ++descending) {
        for (int mode = 0; mode < 2; ++mode) {
            ProbeList list;
            for (const char* text : {"b", "a", "dd", "c"}) list.AddElement(new CStr(text, 0));
            CListNode* gap = list.GetListElement(2);
            CComparable* taken = gap->data;
            gap->data = nullptr;

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

std::vector<int>* g_visited = nullptr;
void Visit(CComparable* element) {
    g_visited->push_back(static_cast<Tracked*>(element)->value);
}

}  // namespace

TEST(ListForEach, VisitsFromTheHeadAndStopsAtAMissingElement) {
    std::vector<int> visited;
    g_visited = &visited;
    ProbeList list;
    EXPECT_EQ(list.ForEach(Visit), 0);
    EXPECT_TRUE(visited.empty());

    Fill(list, 1, 5);
    CListNode* cursor = list.GetListElement(3);
    EXPECT_EQ(list.ForEach(Visit), 0);
    EXPECT_EQ(visited, (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(list.Cursor(), cursor);

    visited.clear();
    CListNode* gap = list.GetListElement(2);
    CComparable* taken = gap->data;
    gap->data = nullptr;
    EXPECT_EQ(list.ForEach(Visit), 0);
    EXPECT_EQ(visited, (std::vector<int>{1, 2}));
    delete taken;

    EXPECT_EQ(list.ForEach(nullptr), 0) << "no function, nothing called";
    g_visited = nullptr;
}
