// Index access and cursor movement.
#include <gtest/gtest.h>

#include "tests/list/ListTestSupport.h"

using listtest::Fill;
using listtest::ProbeList;
using listtest::Tracked;
using listtest::ValueOf;

TEST(ListAccess, EmptyListAnswersNull) {
    ProbeList list;
    EXPECT_EQ(list.GetCount(), 0);
    for (CListNode* node : {list.GetFirst(), list.GetNext(), list.GetListHead(), list.GetListTail(),
                            list.GetListElement(0), list.GetListElement(-1)})
        EXPECT_EQ(node, nullptr);
    for (CComparable* data : {list.GetData(0), list.GetFirstData(), list.GetNextData()})
        EXPECT_EQ(data, nullptr);
    EXPECT_EQ(list.Cursor(), nullptr);
}

TEST(ListAccess, IndexesAndCursor) {
    ProbeList list;
    Fill(list, 10, 1);
    EXPECT_EQ(list.GetListElement(0), list.GetListHead());
    EXPECT_EQ(list.GetListElement(1), nullptr);

    Fill(list, 11, 4);  // 10..14
    EXPECT_EQ(ValueOf(list.Cursor()), 14) << "appending leaves the cursor on the new node";
    for (int i = 0; i < 5; ++i) {
        CListNode* node = list.GetListElement(i);
        EXPECT_EQ(ValueOf(node), 10 + i);
        EXPECT_EQ(list.Cursor(), node) << "the cursor ends on the node found";
        EXPECT_EQ(static_cast<Tracked*>(list.GetData(i))->value, 10 + i);
    }
    EXPECT_EQ(list.GetListElement(5), nullptr);
    EXPECT_EQ(list.GetData(1000), nullptr);

    // A negative index is the cursor's node and does not move the cursor.
    CListNode* third = list.GetListElement(2);
    EXPECT_EQ(list.GetListElement(-1), third);
    EXPECT_EQ(list.GetListElement(-7), third);
    EXPECT_EQ(static_cast<Tracked*>(list.GetData(-1))->value, 12);
    // The head is answered without moving the cursor.
    EXPECT_EQ(ValueOf(list.GetListHead()), 10);
    EXPECT_EQ(list.Cursor(), third);
    EXPECT_EQ(ValueOf(list.GetListTail()), 14);
    EXPECT_EQ(ValueOf(list.Cursor()), 14);

    // Walking off the end leaves no cursor: the negative index then finds
    // nothing, GetNext stays null and the tail walk starts at the head.
    EXPECT_EQ(list.GetNext(), nullptr);
    EXPECT_EQ(list.Cursor(), nullptr);
    EXPECT_EQ(list.GetListElement(-1), nullptr);
    EXPECT_EQ(list.GetData(-1), nullptr);
    EXPECT_EQ(list.GetNext(), nullptr);
    EXPECT_EQ(ValueOf(list.GetListTail()), 14);
    EXPECT_TRUE(list.LinksConsistent());
}

TEST(ListAccess, DataAfter) {
    ProbeList list;
    list.SetAutoDelete(0);
    Tracked a(1), b(2), c(3), stranger(9);
    for (Tracked* e : {&a, &b, &c, &b}) list.AddElement(e);  // b twice: its first node counts

    EXPECT_EQ(list.GetDataAfter(&a), &b);
    EXPECT_EQ(list.Cursor(), list.GetListHead()->next) << "the cursor moves with the walk";
    EXPECT_EQ(list.GetDataAfter(&b), &c);
    EXPECT_EQ(list.GetDataAfter(&c), &b);
    EXPECT_EQ(list.GetDataAfter(&stranger), nullptr);
    EXPECT_EQ(list.GetDataAfter(nullptr), nullptr);
    list.DeleteElement(3);
    EXPECT_EQ(list.GetDataAfter(&c), nullptr) << "the last element has no successor";
}

TEST(ListAccess, AppendAfterCursorMovedStillAppendsAtTheEnd) {
    ProbeList list;
    Fill(list, 0, 50);
    list.GetFirst();
    ASSERT_EQ(list.AddElement(new Tracked(50)), 1);
    EXPECT_EQ(ValueOf(list.Cursor()), 50);
    list.GetListElement(20);
    ASSERT_EQ(list.AddElement(new Tracked(51)), 1);
    std::vector<int> expected(52);
    for (int i = 0; i < 52; ++i) expected[i] = i;
    EXPECT_EQ(listtest::Values(list), expected);
    EXPECT_TRUE(list.LinksConsistent());
}

// The inner calls go through the virtual table, so a derived class sees them.
class CountingList : public CList {
public:
    CListNode* GetNext() override {
        ++nextCalls;
        return CList::GetNext();
    }
    int AddElement(CComparable* e) override {
        ++addCalls;
        return CList::AddElement(e);
    }
    int DeleteElement(int index) override {
        ++deleteCalls;
        return CList::DeleteElement(index);
    }
    int nextCalls = 0, addCalls = 0, deleteCalls = 0;
};

TEST(ListAccess, InnerCallsAreVirtual) {
    CountingList list;
    Fill(list, 0, 5);
    list.addCalls = 0;
    list.GetListElement(3);
    EXPECT_EQ(list.nextCalls, 3);
    list.InsertAt(99, new Tracked(5));
    EXPECT_EQ(list.addCalls, 1) << "inserting beyond the end appends through AddElement";
    list.ClearList();
    EXPECT_EQ(list.deleteCalls, 7) << "six deletions and the final failing one";
}
