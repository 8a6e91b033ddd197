// The list's own lock: where it is taken, and several threads that share one
// list by serialising their calls on it. Meant to run clean under
// ThreadSanitizer, which also reports a lock destroyed while held.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <thread>

#include "tests/list/ListTestSupport.h"

using listtest::Fill;
using listtest::ProbeList;
using listtest::Tracked;

namespace {

using namespace std::chrono_literals;

// Runs `work` on another thread while this thread holds the list's lock; true
// when the work finished while the lock was still held.
bool FinishesWhileLocked(ProbeList& list, const std::function<void()>& work,
                         std::chrono::milliseconds wait) {
    list.Lock();
    std::future<void> done = std::async(std::launch::async, work);
    const bool inTime = done.wait_for(wait) == std::future_status::ready;
    list.Unlock();
    done.get();
    return inTime;
}

}  // namespace

TEST(ListLock, QueriesSortAndForEachDoNotWaitForTheLock) {
    ProbeList list;
    Fill(list, 0, 5);
    list.GetListElement(2);
    EXPECT_TRUE(FinishesWhileLocked(
        list,
        [&] {
            list.GetCount();
            list.GetListHead();
            list.GetErrorCode();
            list.GetListElement(-1);
            list.SetAutoDelete(1);
            list.Sort(1, 0);
            list.ForEach([](CComparable*) {});
        },
        10s));
    EXPECT_EQ(listtest::Values(list), (std::vector<int>{4, 3, 2, 1, 0}));
}

TEST(ListLock, CursorStepsAndChangesWaitForTheLock) {
    const std::pair<const char*, std::function<void(ProbeList&)>> steps[] = {
        {"GetFirst", [](ProbeList& l) { l.GetFirst(); }},
        {"GetNext", [](ProbeList& l) { l.GetNext(); }},
        {"GetListTail", [](ProbeList& l) { l.GetListTail(); }},
        {"GetListElement", [](ProbeList& l) { l.GetListElement(1); }},
        {"AddElement", [](ProbeList& l) { l.AddElement(new Tracked(9)); }},
        {"InsertAt", [](ProbeList& l) { l.InsertAt(1, new Tracked(9)); }},
        {"DeleteElement(0)", [](ProbeList& l) { l.DeleteElement(0); }},
        {"DeleteElement(2)", [](ProbeList& l) { l.DeleteElement(2); }},
        {"ClearList", [](ProbeList& l) { l.ClearList(); }},
    };
    for (const auto& step : steps) {
        ProbeList list;
        Fill(list, 0, 4);
        list.GetFirst();
        EXPECT_FALSE(FinishesWhileLocked(
            list, [&] { step.second(list); }, 100ms))
            << step.first;
        EXPECT_TRUE(list.LinksConsistent()) << step.first;
    }
}

TEST(ListLock, ThreadsAppendAndDeleteUnderTheListsLock) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 400;
    std::atomic<int> deaths{0};
    std::atomic<int> added{0};
    std::atomic<int> deleted{0};
    {
        ProbeList list;
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                for (int round = 0; round < kRounds; ++round) {
                    const int value = t * kRounds + round;
                    list.Lock();
                    if (round % 3 == 2) {
                        if (list.InsertAt(round % 5, new Tracked(value, &deaths))) ++added;
                    } else {
                        if (list.AddElement(new Tracked(value, &deaths))) ++added;
                    }
                    list.Unlock();

                    if (round % 2 == 1) {
                        list.Lock();
                        int index = (round / 2) % 3 == 0   ? 0
                                    : (round / 2) % 3 == 1 ? list.GetCount() - 1
                                                           : -1;
                        if (index < 0) list.GetListElement(list.GetCount() / 2);
                        if (list.DeleteElement(index)) ++deleted;
                        list.Unlock();
                    }
                    if (round % 50 == 0) {
                        list.Lock();
                        int walked = 0;
                        for (CComparable* e = list.GetFirstData(); e; e = list.GetNextData())
                            ++walked;
                        EXPECT_EQ(walked, list.GetCount());
                        list.Unlock();
                    }
                }
            });
        }
        for (std::thread& thread : threads) thread.join();

        EXPECT_EQ(added, kThreads * kRounds);
        EXPECT_EQ(list.GetCount(), added - deleted);
        EXPECT_EQ(deaths, deleted.load());
        EXPECT_TRUE(list.LinksConsistent());
    }
    EXPECT_EQ(deaths, kThreads * kRounds) << "the destructor deleted the rest";
}
