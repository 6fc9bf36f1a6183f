#include <gtest/gtest.h>

#include "core/reclaim/DiskCleanup.h"
#include "tests/support/TestSupport.h"

using namespace Tavrin::Test;

namespace {

class DiskCleanupRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::SetEnvironmentVariableW(L"TAVRIN_STANDIN_LOG", folder.File(L"log.txt").c_str());
        ::SetEnvironmentVariableW(L"TAVRIN_STANDIN_DELAY_MS", L"1500");
    }
    void TearDown() override
    {
        ::SetEnvironmentVariableW(L"TAVRIN_STANDIN_LOG", nullptr);
        ::SetEnvironmentVariableW(L"TAVRIN_STANDIN_DELAY_MS", nullptr);
    }
    TempFolder folder;
};

} // namespace

TEST_F(DiskCleanupRun, StartsTheToolWithTheProfileAndWaitsForItsEnd)
{
    ScopedSearchPath path(BinFolder() + L"\\standins");
    ASSERT_TRUE(Tavrin::Core::RunDiskCleanup());
    std::string log = ReadFileBytes(folder.File(L"log.txt"));
    EXPECT_EQ(log, "start cleanmgr.exe /sagerun:1111\nend\n");
}

TEST_F(DiskCleanupRun, ReportsAToolThatCannotBeStarted)
{
    ScopedSearchPath path(L"");
    EXPECT_FALSE(Tavrin::Core::RunDiskCleanup());
    EXPECT_EQ(::GetFileAttributesW(folder.File(L"log.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

// Turns this thread's file-system redirection off while it lives, where
// there is one (a 32-bit process on 64-bit Windows).
class NativeSystemFolder {
public:
    NativeSystemFolder() : turnedOff_(::Wow64DisableWow64FsRedirection(&previous_) != FALSE) {}
    ~NativeSystemFolder()
    {
        if (turnedOff_)
            ::Wow64RevertWow64FsRedirection(previous_);
    }
    NativeSystemFolder(const NativeSystemFolder&) = delete;
    NativeSystemFolder& operator=(const NativeSystemFolder&) = delete;

private:
    PVOID previous_ = nullptr;
    bool turnedOff_;
};

// The tool is the one in the native system folder, which a 32-bit process
// reaches only with the redirection turned off. Nothing else holds the
// stand-in: not the search path, not the process's own system folder.
TEST_F(DiskCleanupRun, StartsTheToolOfTheNativeSystemFolder)
{
    ScopedSearchPath path(L"");
    wchar_t system[MAX_PATH];
    ASSERT_GT(::GetSystemDirectoryW(system, MAX_PATH), 0u);
    const std::wstring tool = std::wstring(system) + L"\\cleanmgr.exe";
    ASSERT_EQ(::GetFileAttributesW(tool.c_str()), INVALID_FILE_ATTRIBUTES);
    {
        NativeSystemFolder native;
        ASSERT_TRUE(::CopyFileW((BinFolder() + L"\\standins\\cleanmgr.exe").c_str(), tool.c_str(), TRUE));
    }
    EXPECT_TRUE(Tavrin::Core::RunDiskCleanup());
    {
        NativeSystemFolder native;
        EXPECT_TRUE(::DeleteFileW(tool.c_str()));
    }
    EXPECT_EQ(ReadFileBytes(folder.File(L"log.txt")), "start cleanmgr.exe /sagerun:1111\nend\n");
}
