#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "platform/LockedAppend.h"
#include "platform/UniqueHandle.h"
#include "tests/support/TestSupport.h"

using namespace Tavrin::Test;
using Tavrin::Platform::AppendUnderLock;
using Tavrin::Platform::AppendWait;

TEST(LockedAppend, TheHeaderGoesOnlyIntoANewOrEmptyFile)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"rows.csv");
    ASSERT_EQ(AppendUnderLock(path, "h\r\n", "a\r\n"), 0u);
    ASSERT_EQ(AppendUnderLock(path, "h\r\n", "b\r\n"), 0u);
    EXPECT_EQ(ReadFileBytes(path), "h\r\na\r\nb\r\n");
    const std::wstring empty = folder.File(L"empty.csv");
    ASSERT_TRUE(WriteFileBytes(empty, ""));
    ASSERT_EQ(AppendUnderLock(empty, "h\r\n", "c\r\n"), 0u);
    EXPECT_EQ(ReadFileBytes(empty), "h\r\nc\r\n");
}

// Another writer holds the file longer than the wait: nothing is added,
// and the answer says why. Once it lets go, the row goes in.
TEST(LockedAppend, AWaitThatRunsOutAddsNothing)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"rows.csv");
    ASSERT_TRUE(WriteFileBytes(path, "h\r\na\r\n"));
    Tavrin::Platform::UniqueHandle other(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(other);
    OVERLAPPED whole = {};
    ASSERT_TRUE(::LockFileEx(other.Get(), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole));
    const AppendWait brief{300, 20};
    EXPECT_EQ(AppendUnderLock(path, "h\r\n", "b\r\n", brief), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(ReadFileBytes(path), "h\r\na\r\n");
    ASSERT_TRUE(::UnlockFileEx(other.Get(), 0, MAXDWORD, MAXDWORD, &whole));
    EXPECT_EQ(AppendUnderLock(path, "h\r\n", "b\r\n", brief), 0u);
    EXPECT_EQ(ReadFileBytes(path), "h\r\na\r\nb\r\n");
}

TEST(LockedAppend, AFileThatCannotBeOpenedGivesItsError)
{
    TempFolder folder;
    EXPECT_EQ(AppendUnderLock(folder.File(L"no folder\\rows.csv"), "h\r\n", "a\r\n"),
              static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}
