// Global memory of the POSIX layer: movable blocks with a lock count, and
// handles that are refused rather than used.
#include <gtest/gtest.h>

#include <vector>

#include "platform/Windows.h"

namespace {

TEST(GlobalMemory, MovableZeroFilledBlocksWithALockCount) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 51000);
    ASSERT_NE(memory, nullptr);
    char* first = static_cast<char*>(GlobalLock(memory));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GlobalLock(memory), first);
    EXPECT_EQ(std::vector<char>(first, first + 51000), std::vector<char>(51000, 0));
    EXPECT_TRUE(GlobalUnlock(memory));  // still locked once
    EXPECT_FALSE(GlobalUnlock(memory));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
    EXPECT_FALSE(GlobalUnlock(memory));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_LOCKED));
    EXPECT_EQ(GlobalFree(memory), nullptr);
    // A freed or foreign handle is refused, not used.
    EXPECT_EQ(GlobalFree(memory), memory);
    EXPECT_EQ(GlobalLock(memory), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
