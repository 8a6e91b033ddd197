// The list's trace texts, and its error pair when its log cannot be opened.
#include <gtest/gtest.h>

#include "tests/list/ListTestSupport.h"

using listtest::Fill;
using listtest::ListLines;
using listtest::ProbeList;
using listtest::Tracked;
using S = std::vector<std::string>;

TEST(ListTrace, TextsOfEveryStep) {
    support::DebugCapture capture(1);
    {
        ProbeList list;
        list.GetListHead();
        list.DeleteElement(0);
        list.AddElement(new Tracked(0));
        list.AddElement(new Tracked(1));
        list.InsertAt(1, new Tracked(2));
        list.GetListElement(5);  // beyond the end: no trace
        list.GetData(9);
        list.DeleteElement(4);
        list.ClearList();
        list.InsertAt(3, new Tracked(3));
    }
    EXPECT_EQ(ListLines(capture),
              (S{
                  "CList Konstruktor",
                  "CList::GetListHead m_root ist noch NULL",
                  "CList::DeleteElement 0",
                  "CList::DeleteElement konnte 1. Elemente nichts l\xF6schen,\nda die Liste noch "
                  "leer ist",
                  "CList::AddElement",
                  "CList::AddElement - als erstes Element einf\xFCgen",
                  "CList::AddElement",
                  "CList::AddElement - 1 Element(e) hat Liste bereits",
                  "CList::InsertAt",
                  "CList::InsertAt - 2 Element(e) hat Liste bereits",
                  "CList::GetListElement 1",
                  "CList::GetNext",
                  "CList::GetData an der pos-Position wurde kein Element(DAten) gefunden",
                  "CList::DeleteElement 4",
                  "CList::DeleteElement - das 4-te Element konnte nicht gel\xF6scht werden,\nda es "
                  "nicht gefunden wurde.",
                  "CList::ClearList",
                  "CList::DeleteElement 0",
                  "CList::DeleteElement 0",
                  "CList::DeleteElement 0",
                  "CList::DeleteElement 0",
                  "CList::DeleteElement konnte 1. Elemente nichts l\xF6schen,\nda die Liste noch "
                  "leer ist",
                  "CList::InsertAt",
                  "CList::InsertAt - als erstes Element einf\xFCgen",
                  "CList::ClearList",
                  "CList::DeleteElement 0",
                  "CList::DeleteElement 0",
                  "CList::DeleteElement konnte 1. Elemente nichts l\xF6schen,\nda die Liste noch "
                  "leer ist",
                  "~CList",
              }));
}

TEST(ListTrace, WalksAndNegativeIndexes) {
    ProbeList list;
    Fill(list, 0, 3);
    support::DebugCapture capture(1);
    list.GetListElement(2);
    list.GetListElement(-1);
    list.GetFirst();
    list.GetListTail();
    list.GetNext();
    list.GetNext();
    EXPECT_EQ(ListLines(capture),
              (S{"CList::GetListElement 2", "CList::GetNext", "CList::GetNext",
                 "CList::GetListElement -1", "CList::GetNext", "CList::GetNext"}));
}

TEST(ListTrace, FailedLogOpenIsRecordedAndTheListStillWorks) {
    {
        ProbeList list;
        EXPECT_EQ(list.GetErrorCode(), 0);
        EXPECT_EQ(list.ErrorDetail(), 0);
    }
    const int saved = logtest::ExchangeStateCode(logtest::kCannotRewrite);
    {
        support::DebugCapture capture(1);
        ProbeList list;
        EXPECT_EQ(list.GetErrorCode(), 102);
        EXPECT_EQ(list.ErrorDetail(), logtest::kCannotRewrite);
        EXPECT_EQ(ListLines(capture), (S{"CList Konstruktor"})) << "traced all the same";

        Fill(list, 0, 3);
        EXPECT_EQ(list.DeleteElement(1), 1);
        EXPECT_EQ(listtest::Values(list), (std::vector<int>{0, 2}));
    }
    logtest::ExchangeStateCode(saved);
}
