// The access list "/install" gives the program's folder. Wine keeps no
// access lists, so a stand-in takes the write and records what was asked
// for and on which folder.
#include <gtest/gtest.h>

#include "app/ProgramFolder.h"
#include "platform/Module.h"
#include "platform/UniqueHandle.h"
#include "tests/support/SecurityStandIn.h"

using Tavrin::Test::SecurityStandIn;

TEST(ProgramFolder, TheRunningProgramsFolderGetsAProtectedListThatOnlyAdministratorsCanChange)
{
    SecurityStandIn security(L"");
    EXPECT_EQ(Tavrin::App::LockProgramFolder(), static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_EQ(SecurityStandIn::Writes().size(), 1u);
    const SecurityStandIn::Write& write = SecurityStandIn::Writes()[0];

    Tavrin::Platform::UniqueHandle own(
        ::CreateFileW(Tavrin::Platform::FolderOf(Tavrin::Platform::ModuleFileName(nullptr)).c_str(),
                      READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_TRUE(own);
    EXPECT_EQ(write.path, SecurityStandIn::FinalPath(own.Get()));
    EXPECT_EQ(write.parts,
              static_cast<SECURITY_INFORMATION>(OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                                PROTECTED_DACL_SECURITY_INFORMATION));
    EXPECT_EQ(write.sddl, Tavrin::App::kProgramFolderSecurity);
    Tavrin::Platform::LocalMemory asked = Tavrin::Platform::SecurityDescriptorFromSddl(write.sddl.c_str());
    EXPECT_TRUE(Tavrin::Platform::OnlyAdministratorsCanChange(asked.Get()));
    // Users read and run what is in it, and nothing more.
    EXPECT_NE(write.sddl.find(L"(A;OICI;0x1200a9;;;BU)"), std::wstring::npos);
}

TEST(ProgramFolder, AFailureToSetTheListIsReported)
{
    SecurityStandIn security(L"", ERROR_SUCCESS, ERROR_ACCESS_DENIED);
    EXPECT_EQ(Tavrin::App::LockProgramFolder(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(SecurityStandIn::Writes().size(), 1u);
}
