// A node that cannot be allocated leaves the list as it was.
//
// The list allocates its nodes with the non-throwing operator new; this test
// program replaces that operator so that the next allocation can be made to
// fail on request.
#include <gtest/gtest.h>

#include <new>

#include "tests/list/ListTestSupport.h"

namespace {

std::atomic<bool> g_failNextAllocation{false};

}  // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (g_failNextAllocation.exchange(false)) return nullptr;
    try {
        return ::operator new(size);
    } catch (...) {
        return nullptr;
    }
}

using listtest::Fill;
using listtest::ProbeList;
using listtest::Tracked;
using listtest::Values;
using V = std::vector<int>;

TEST(ListAllocation, FailedNodeLeavesTheListUnchanged) {
    std::atomic<int> deaths{0};
    ProbeList list;
    Tracked* element = new Tracked(42, &deaths);

    // Empty list, both ways of adding.
    g_failNextAllocation = true;
    EXPECT_EQ(list.AddElement(element), 0);
    g_failNextAllocation = true;
    EXPECT_EQ(list.InsertAt(3, element), 0);
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.GetListHead(), nullptr);
    EXPECT_EQ(list.Cursor(), nullptr);

    // A list with its cursor away from the end: neither the links nor the
    // cursor change.
    Fill(list, 0, 4, &deaths);
    CListNode* cursor = list.GetListElement(1);
    g_failNextAllocation = true;
    EXPECT_EQ(list.AddElement(element), 0);
    EXPECT_EQ(list.Cursor(), cursor);
    for (int index : {0, 2, 4, 99, -1}) {
        g_failNextAllocation = true;
        EXPECT_EQ(list.InsertAt(index, element), 0) << index;
        EXPECT_EQ(list.Cursor(), cursor) << index;
    }
    EXPECT_EQ(Values(list), (V{0, 1, 2, 3}));
    EXPECT_EQ(list.GetCount(), 4);
    EXPECT_TRUE(list.LinksConsistent());

    // The element was not taken over: the list did not delete it, and it can
    // still be added once memory is there.
    EXPECT_EQ(deaths, 0);
    EXPECT_FALSE(g_failNextAllocation);
    EXPECT_EQ(list.InsertAt(2, element), 1);
    EXPECT_EQ(Values(list), (V{0, 1, 42, 2, 3}));
    list.ClearList();
    EXPECT_EQ(deaths, 5);
}
