// The update folder as the update mode makes it: a new folder, held open,
// that only SYSTEM and the administrators can change. Wine keeps no access
// lists, so the owner and list the folder ends with are answered by a
// stand-in that reads back what Windows would.
#include <gtest/gtest.h>

#include <string>

#include "net/UpdateFolder.h"
#include "tests/support/SecurityStandIn.h"
#include "tests/support/TestSupport.h"

using namespace Tavrin;
using Tavrin::Test::ReadFileBytes;
using Tavrin::Test::SecurityStandIn;
using Tavrin::Test::TempFolder;
using Tavrin::Test::WriteFileBytes;

namespace {

bool FileExists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

struct SecurityCase {
    const char* name;
    const wchar_t* sddl;
    bool used;
};

// What Windows may read back from a new folder; the access list asked for
// is the first row's.
const SecurityCase kReadBack[] = {
    {"as asked", L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", true},
    {"owned by SYSTEM", L"O:SYD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", true},
    {"users may read", L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)", true},
    {"as Wine reads it",
     L"O:S-1-5-21-0-0-0-1000D:(A;OICI;FA;;;SY)(A;OICI;FA;;;S-1-5-21-0-0-0-1000)(A;OICI;0x1200a9;;;WD)",
     false},
    {"inherits from the program-data folder",
     L"O:BAD:AI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICIID;0x100116;;;BU)", false},
    {"owned by a user", L"O:S-1-5-21-1-2-3-1001D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", false},
    {"users may add files", L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x2;;;BU)", false},
    {"everyone may change the list", L"O:BAD:P(A;OICI;FA;;;SY)(A;;WD;;;WD)", false},
    {"no access list", L"O:BA", false},
};

} // namespace

TEST(UpdateFolder, IsUsedOnlyWhenItEndsWithTheOwnerAndAccessListItWasMadeWith)
{
    for (const SecurityCase& c : kReadBack) {
        TempFolder parent;
        const std::wstring path = parent.File(L"TavrinUpdate");
        SecurityStandIn answer(c.sddl);
        Platform::UniqueHandle folder = Net::PrepareUpdateFolder(path);
        EXPECT_EQ(static_cast<bool>(folder), c.used) << c.name;
        // A folder that is not used is deleted again.
        EXPECT_EQ(FileExists(path), c.used) << c.name;
        ASSERT_EQ(SecurityStandIn::Reads().size(), 1u) << c.name;
        EXPECT_EQ(SecurityStandIn::Reads()[0].substr(SecurityStandIn::Reads()[0].size() - 13),
                  L"\\TavrinUpdate")
            << c.name;
    }
}

TEST(UpdateFolder, IsNotUsedWhenItsAccessListCannotBeRead)
{
    TempFolder parent;
    const std::wstring path = parent.File(L"TavrinUpdate");
    SecurityStandIn answer(L"", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(Net::PrepareUpdateFolder(path));
    EXPECT_FALSE(FileExists(path));
}

TEST(UpdateFolder, IsHeldSoThatNobodyCanMoveOrReplaceIt)
{
    TempFolder parent;
    const std::wstring path = parent.File(L"TavrinUpdate");
    SecurityStandIn answer(kReadBack[0].sddl);
    Platform::UniqueHandle folder = Net::PrepareUpdateFolder(path);
    ASSERT_TRUE(folder);
    EXPECT_FALSE(::MoveFileExW(path.c_str(), (path + L"-moved").c_str(), 0));
    EXPECT_FALSE(::RemoveDirectoryW(path.c_str()));
    folder.Reset();
    EXPECT_TRUE(::MoveFileExW(path.c_str(), (path + L"-moved").c_str(), 0));
}

TEST(UpdateFolder, WhatStoodThereIsMovedAsideUnopenedAndANewFolderMade)
{
    for (bool isFolder : {true, false}) {
        TempFolder parent;
        const std::wstring path = parent.File(L"TavrinUpdate");
        const std::wstring planted = isFolder ? path + L"\\version.dll" : path;
        if (isFolder) {
            ASSERT_TRUE(::CreateDirectoryW(path.c_str(), nullptr));
        }
        ASSERT_TRUE(WriteFileBytes(planted, "planted"));
        SecurityStandIn answer(kReadBack[0].sddl);
        Platform::UniqueHandle folder = Net::PrepareUpdateFolder(path);
        ASSERT_TRUE(folder) << isFolder;
        EXPECT_FALSE(FileExists(path + L"\\version.dll")) << isFolder;
        WIN32_FIND_DATAW found;
        HANDLE find = ::FindFirstFileW((path + L".old-*").c_str(), &found);
        ASSERT_NE(find, INVALID_HANDLE_VALUE) << isFolder;
        ::FindClose(find);
        const std::wstring aside = parent.File(found.cFileName);
        EXPECT_EQ(ReadFileBytes(isFolder ? aside + L"\\version.dll" : aside), "planted") << isFolder;
    }
}
