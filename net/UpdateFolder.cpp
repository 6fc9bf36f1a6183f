#include "net/UpdateFolder.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include "platform/UniqueHandle.h"

namespace Tavrin::Net {

namespace {

// Full control for SYSTEM and the administrators, passed on to everything
// inside; protected, so nothing is inherited from the program-data folder,
// which lets every user create files.
const wchar_t kFolderSecurity[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
const wchar_t kOwnedFolderSecurity[] = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

using LocalMemory = Platform::UniqueResource<Platform::NullHandleTraits<HLOCAL, ::LocalFree>>;

// Creates the folder with the descriptor and sets it once more through the
// new folder's handle: some systems (Wine among them) create a folder with a
// default descriptor whatever was asked for.
bool CreateWithSecurity(const std::wstring& folder, const wchar_t* sddl, SECURITY_INFORMATION parts)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr))
        return false;
    LocalMemory owned(descriptor);
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
    if (!::CreateDirectoryW(folder.c_str(), &attributes))
        return false;
    Platform::UniqueHandle handle(
        ::CreateFileW(folder.c_str(), READ_CONTROL | WRITE_DAC | WRITE_OWNER, 0, nullptr, OPEN_EXISTING,
                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    PSID owner = nullptr;
    PACL dacl = nullptr;
    BOOL defaulted = FALSE, present = FALSE;
    ::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted);
    ::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
    // Whatever went wrong here, the check of the folder that follows decides.
    if (handle)
        ::SetSecurityInfo(handle.Get(), SE_FILE_OBJECT, parts, owner, nullptr, dacl, nullptr);
    return true;
}

bool CreateAdministratorsFolder(const std::wstring& folder)
{
    // Owned by the administrators, so that the folder stays theirs whichever
    // of them runs the update; a token that cannot name them as owner
    // (SYSTEM's, for one) leaves its own default owner, itself trusted.
    const SECURITY_INFORMATION dacl = DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION;
    return CreateWithSecurity(folder, kOwnedFolderSecurity, dacl | OWNER_SECURITY_INFORMATION) ||
           (::GetLastError() == ERROR_INVALID_OWNER && CreateWithSecurity(folder, kFolderSecurity, dacl));
}

// Clears out a folder moved aside: its files and links go, and empty
// subfolders; nothing inside is followed or recursed into, since anyone may
// have made it. What cannot go stays where it was moved.
void RemoveMovedFolder(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    Platform::UniqueFindHandle find(::FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (find) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring path = folder + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                ::RemoveDirectoryW(path.c_str());
            else
                ::DeleteFileW(path.c_str());
        } while (::FindNextFileW(find.Get(), &found));
    }
    find.Reset();
    ::RemoveDirectoryW(folder.c_str());
}

} // namespace

std::optional<std::wstring> UpdateFolder()
{
    PWSTR programData = nullptr;
    HRESULT result = ::SHGetKnownFolderPath(FOLDERID_ProgramData, KF_FLAG_DONT_VERIFY, nullptr, &programData);
    std::wstring folder = SUCCEEDED(result) && programData ? programData : L"";
    ::CoTaskMemFree(programData);
    if (folder.empty())
        return std::nullopt;
    if (folder.back() != L'\\')
        folder += L'\\';
    return folder + L"TavrinUpdate";
}

bool PrepareUpdateFolder(const std::wstring& folder)
{
    // A folder that is already there is never used, whoever made it: it is
    // moved aside (a link is moved, not followed) and a new one is made, so
    // the folder the updater runs from is always one this run created.
    if (::GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES) {
        std::wstring aside = folder + L".old-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                             std::to_wstring(::GetTickCount());
        if (!::MoveFileExW(folder.c_str(), aside.c_str(), 0))
            return false;
        RemoveMovedFolder(aside);
    }
    // Fails when someone made the folder again in the meantime.
    return CreateAdministratorsFolder(folder);
}

} // namespace Tavrin::Net
