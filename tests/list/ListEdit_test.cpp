// Inserting and deleting at the head, in the middle, at the end and through
// the cursor; element ownership.
#include <gtest/gtest.h>

#include "tests/list/ListTestSupport.h"

using listtest::Fill;
using listtest::ProbeList;
using listtest::Tracked;
using listtest::ValueOf;
using listtest::Values;
using V = std::vector<int>;

TEST(ListEdit, InsertAtEveryPlace) {
    ProbeList list;
    ASSERT_EQ(list.InsertAt(7, new Tracked(1)), 1) << "the index does not matter when empty";
    EXPECT_EQ(ValueOf(list.Cursor()), 1);
    ASSERT_EQ(list.InsertAt(0, new Tracked(0)), 1);
    EXPECT_EQ(ValueOf(list.Cursor()), 0) << "the cursor rests on the new node";
    ASSERT_EQ(list.InsertAt(list.GetCount(), new Tracked(3)), 1);
    ASSERT_EQ(list.InsertAt(list.GetCount() + 5, new Tracked(4)), 1);
    ASSERT_EQ(list.InsertAt(2, new Tracked(2)), 1);
    EXPECT_EQ(Values(list), (V{0, 1, 2, 3, 4}));
    EXPECT_EQ(ValueOf(list.Cursor()), 2);

    // A negative index inserts before the cursor's node (a new head before
    // the head) and appends when there is no cursor.
    list.GetListElement(4);
    ASSERT_EQ(list.InsertAt(-1, new Tracked(35)), 1);
    list.GetFirst();
    ASSERT_EQ(list.InsertAt(-1, new Tracked(-5)), 1);
    list.GetListTail();
    list.GetNext();
    ASSERT_EQ(list.InsertAt(-1, new Tracked(99)), 1);
    EXPECT_EQ(Values(list), (V{-5, 0, 1, 2, 3, 35, 4, 99}));
    EXPECT_TRUE(list.LinksConsistent());
}

TEST(ListEdit, NullElementsAreRefused) {
    ProbeList list;
    EXPECT_EQ(list.AddElement(nullptr), 0);
    EXPECT_EQ(list.InsertAt(0, nullptr), 0);
    EXPECT_EQ(list.GetCount(), 0);
    Fill(list, 0, 2);
    CListNode* cursor = list.GetFirst();
    EXPECT_EQ(list.AddElement(nullptr), 0);
    EXPECT_EQ(list.InsertAt(1, nullptr), 0);
    EXPECT_EQ(Values(list), (V{0, 1}));
    EXPECT_EQ(list.Cursor(), cursor);
}

TEST(ListEdit, DeleteAtEveryPlace) {
    ProbeList list;
    Fill(list, 0, 7);
    ASSERT_EQ(list.DeleteElement(0), 1);
    EXPECT_EQ(list.Cursor(), list.GetListHead()) << "the cursor goes to the new head";
    ASSERT_EQ(list.DeleteElement(2), 1);
    EXPECT_EQ(list.Cursor(), list.GetListHead()) << "the cursor does not stay on the freed node";
    ASSERT_EQ(list.DeleteElement(list.GetCount() - 1), 1);
    // Through the cursor: in the middle, then on the head.
    list.GetListElement(2);
    ASSERT_EQ(list.DeleteElement(-1), 1);
    list.GetFirst();
    ASSERT_EQ(list.DeleteElement(-1), 1);
    EXPECT_EQ(Values(list), (V{2, 5}));
    EXPECT_EQ(list.Cursor(), list.GetListHead());
    EXPECT_TRUE(list.LinksConsistent());

    // Indexes that name no node.
    EXPECT_EQ(list.DeleteElement(list.GetCount()), 0);
    EXPECT_EQ(list.DeleteElement(40), 0);
    list.GetListTail();
    list.GetNext();
    EXPECT_EQ(list.DeleteElement(-1), 0) << "no cursor, nothing to delete";
    EXPECT_EQ(Values(list), (V{2, 5}));

    // Down to empty, and once more.
    ASSERT_EQ(list.DeleteElement(1), 1);
    ASSERT_EQ(list.DeleteElement(0), 1);
    EXPECT_EQ(list.Cursor(), nullptr);
    EXPECT_EQ(list.DeleteElement(0), 0);
    EXPECT_EQ(list.GetCount(), 0);
}

TEST(ListEdit, OwnershipOnAndOff) {
    std::atomic<int> deaths{0};
    {
        // On (the default): every way of removing a node deletes its element.
        ProbeList list;
        Fill(list, 0, 8, &deaths);
        list.DeleteElement(0);
        list.DeleteElement(3);
        list.GetListElement(1);
        list.DeleteElement(-1);
        EXPECT_EQ(deaths, 3);
        EXPECT_EQ(list.ClearList(), 1);
        EXPECT_EQ(deaths, 8);
        EXPECT_EQ(list.GetCount(), 0);
        EXPECT_EQ(list.GetListHead(), nullptr);
        EXPECT_EQ(list.Cursor(), nullptr);
        EXPECT_EQ(list.ClearList(), 1) << "clearing an empty list";
        Fill(list, 0, 3, &deaths);
    }
    EXPECT_EQ(deaths, 11) << "the destructor deletes what is left";

    // Off: the elements outlive their nodes and the list.
    deaths = 0;
    std::vector<Tracked*> kept;
    for (int i = 0; i < 6; ++i) kept.push_back(new Tracked(i, &deaths));
    {
        ProbeList list;
        list.SetAutoDelete(0);
        for (Tracked* t : kept) list.AddElement(t);
        list.DeleteElement(0);
        list.DeleteElement(2);
        list.GetFirst();
        list.DeleteElement(-1);
        list.ClearList();
        for (int i = 0; i < 3; ++i) list.AddElement(kept[i]);
    }
    EXPECT_EQ(deaths, 0);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(kept[i]->value, i) << "still alive and intact";
    for (Tracked* t : kept) delete t;
}
