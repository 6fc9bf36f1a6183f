#include <gtest/gtest.h>

#include "core/reclaim/DiskCleanup.h"
#include "platform/Text.h"
#include "tests/helpers/standins/SystemStandIns.h"
#include "tests/support/TestSupport.h"

using namespace Tavrin::Test;

namespace {

// The log, the images log, a current folder of its own; the program's folder
// and the current folder each hold a planted cleanmgr.exe, which must never
// run elevated.
class DiskCleanupRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::SetEnvironmentVariableW(L"TAVRIN_STANDIN_LOG", folder.File(L"log.txt").c_str());
        ::SetEnvironmentVariableW(L"TAVRIN_STANDIN_IMAGES", folder.File(L"images.txt").c_str());
        ::SetEnvironmentVariableW(L"TAVRIN_STANDIN_DELAY_MS", L"1500");
        ASSERT_TRUE(inPlantedFolder.Entered());
        ASSERT_TRUE(besideTheProgram.Planted());
        ASSERT_TRUE(inTheCurrentFolder.Planted());
    }
    void TearDown() override
    {
        for (const wchar_t* name :
             {L"TAVRIN_STANDIN_LOG", L"TAVRIN_STANDIN_IMAGES", L"TAVRIN_STANDIN_DELAY_MS"})
            ::SetEnvironmentVariableW(name, nullptr);
    }
    std::string Log() const { return ReadFileBytes(folder.File(L"log.txt")); }
    std::string Images() const { return ReadFileBytes(folder.File(L"images.txt")); }

    TempFolder folder, plantedFolder;
    ScopedCurrentFolder inPlantedFolder{plantedFolder.Path()};
    PlantedProgram besideTheProgram{BinFolder(), L"cleanmgr.exe"};
    PlantedProgram inTheCurrentFolder{plantedFolder.Path(), L"cleanmgr.exe"};
    // Even a copy first on the search path is not taken.
    ScopedSearchPath path{plantedFolder.Path()};
};

} // namespace

TEST_F(DiskCleanupRun, StartsTheSystemsToolWithTheProfileAndWaitsForItsEnd)
{
    SystemFolderStandIns system;
    ASSERT_TRUE(system.Place(L"cleanmgr.exe"));
    RedirectionRecorder redirection;
    ASSERT_EQ(Tavrin::Core::RunDiskCleanup(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(Log(), "start cleanmgr.exe /sagerun:1111\nend\n");
    EXPECT_EQ(Images(), Tavrin::Platform::Narrow(SystemFolder() + L"\\cleanmgr.exe", CP_UTF8) + "\n");
    // The 32-bit program reaches the native system folder.
    EXPECT_EQ(redirection.Seen(), (std::vector<std::string>{"off", "on"}));
}

TEST_F(DiskCleanupRun, WithoutTheSystemsToolNothingRunsAndTheToolIsNotFound)
{
    ASSERT_EQ(::GetFileAttributesW((SystemFolder() + L"\\cleanmgr.exe").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(Tavrin::Core::RunDiskCleanup(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(Images(), "");
}

TEST_F(DiskCleanupRun, ASystemsToolThatIsNoProgramReportsWhy)
{
    const std::wstring notAProgram = folder.File(L"text.exe");
    ASSERT_TRUE(WriteFileBytes(notAProgram, "this is not a program\r\n"));
    SystemFolderStandIns system;
    ASSERT_TRUE(system.Place(L"cleanmgr.exe", notAProgram));
    const DWORD error = Tavrin::Core::RunDiskCleanup();
    EXPECT_NE(error, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_NE(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(Log(), "");
}

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
    EXPECT_EQ(Tavrin::Core::RunDiskCleanup(), static_cast<DWORD>(ERROR_SUCCESS));
    {
        NativeSystemFolder native;
        EXPECT_TRUE(::DeleteFileW(tool.c_str()));
    }
    EXPECT_EQ(ReadFileBytes(folder.File(L"log.txt")), "start cleanmgr.exe /sagerun:1111\nend\n");
}
