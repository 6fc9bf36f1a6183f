// The access list "/install" gives the program's folder. Wine keeps no
// access lists (it derives one from the Unix modes), so a stand-in takes the
// write and records what was asked for and on which folder.
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "app/ProgramFolder.h"
#include "platform/FileSecurity.h"
#include "platform/Module.h"

using namespace Tavrin;

namespace {

std::wstring FinalPath(HANDLE handle)
{
    wchar_t path[MAX_PATH] = {};
    DWORD length = ::GetFinalPathNameByHandleW(handle, path, MAX_PATH, FILE_NAME_NORMALIZED);
    return length && length < MAX_PATH ? path : L"";
}

std::wstring SidText(PSID sid)
{
    wchar_t* text = nullptr;
    if (!sid || !::ConvertSidToStringSidW(sid, &text))
        return L"";
    std::wstring copy = text;
    ::LocalFree(text);
    return copy;
}

std::wstring WellKnownSidText(WELL_KNOWN_SID_TYPE type)
{
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(sid);
    return ::CreateWellKnownSid(type, nullptr, sid, &size) ? SidText(sid) : L"";
}

struct Entry {
    std::wstring sid;
    DWORD mask;
    BYTE flags;
    bool operator==(const Entry& other) const
    {
        return sid == other.sid && mask == other.mask && flags == other.flags;
    }
};

struct Write {
    std::wstring folder;
    SECURITY_INFORMATION parts = 0;
    std::wstring owner;
    bool isProtected = false;
    std::vector<Entry> entries;
};

// While it lives, every owner and access list set on a file or folder is
// recorded instead, and answered with result.
class WriteRecorder {
public:
    explicit WriteRecorder(DWORD result)
    {
        Result() = result;
        Writes().clear();
        Platform::SecurityFunctions functions;
        functions.write = &Record;
        m_previous = Platform::ReplaceSecurityFunctions(functions);
    }
    ~WriteRecorder() { Platform::ReplaceSecurityFunctions(m_previous); }
    WriteRecorder(const WriteRecorder&) = delete;
    WriteRecorder& operator=(const WriteRecorder&) = delete;

    static std::vector<Write>& Writes()
    {
        static std::vector<Write> writes;
        return writes;
    }

private:
    static DWORD& Result()
    {
        static DWORD result = ERROR_SUCCESS;
        return result;
    }
    static DWORD Record(HANDLE object, SECURITY_INFORMATION parts, PSECURITY_DESCRIPTOR descriptor)
    {
        Write write;
        write.folder = FinalPath(object);
        write.parts = parts;
        PSID owner = nullptr;
        PACL dacl = nullptr;
        BOOL defaulted = FALSE, present = FALSE;
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        ::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted);
        ::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
        ::GetSecurityDescriptorControl(descriptor, &control, &revision);
        write.owner = SidText(owner);
        write.isProtected = (control & SE_DACL_PROTECTED) != 0;
        for (DWORD index = 0; dacl && index < dacl->AceCount; ++index) {
            ACCESS_ALLOWED_ACE* ace = nullptr;
            if (::GetAce(dacl, index, reinterpret_cast<void**>(&ace)) &&
                ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE)
                write.entries.push_back({SidText(&ace->SidStart), ace->Mask, ace->Header.AceFlags});
            else
                write.entries.push_back({L"not an allowing entry", 0, 0});
        }
        Writes().push_back(write);
        return Result();
    }

    Platform::SecurityFunctions m_previous;
};

} // namespace

TEST(ProgramFolder, IsLockedToAdministratorsWithReadAndRunForUsers)
{
    WriteRecorder recorder(ERROR_SUCCESS);
    EXPECT_EQ(App::LockProgramFolder(), static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_EQ(WriteRecorder::Writes().size(), 1u);
    const Write& write = WriteRecorder::Writes()[0];

    // The folder of the running program, whatever it is.
    HANDLE own = ::CreateFileW(Platform::FolderOf(Platform::ModuleFileName(nullptr)).c_str(), READ_CONTROL,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(own, INVALID_HANDLE_VALUE);
    EXPECT_EQ(write.folder, FinalPath(own));
    ::CloseHandle(own);

    EXPECT_EQ(write.parts,
              static_cast<SECURITY_INFORMATION>(OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                                PROTECTED_DACL_SECURITY_INFORMATION));
    EXPECT_EQ(write.owner, WellKnownSidText(WinBuiltinAdministratorsSid));
    EXPECT_TRUE(write.isProtected);
    const BYTE inherited = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    const std::vector<Entry> expected = {
        {WellKnownSidText(WinLocalSystemSid), FILE_ALL_ACCESS, inherited},
        {WellKnownSidText(WinBuiltinAdministratorsSid), FILE_ALL_ACCESS, inherited},
        {WellKnownSidText(WinBuiltinUsersSid), FILE_GENERIC_READ | FILE_GENERIC_EXECUTE, inherited},
    };
    EXPECT_TRUE(write.entries == expected);
}

TEST(ProgramFolder, AFailureToSetTheListIsReported)
{
    WriteRecorder recorder(ERROR_ACCESS_DENIED);
    EXPECT_EQ(App::LockProgramFolder(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(WriteRecorder::Writes().size(), 1u);
}
