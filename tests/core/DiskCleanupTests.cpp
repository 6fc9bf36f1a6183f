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
