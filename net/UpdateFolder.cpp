#include "net/UpdateFolder.h"

#include <windows.h>

#include "platform/FileSecurity.h"
#include "platform/KnownFolder.h"
#include "platform/Module.h"
#include "platform/RelativeFile.h"
#include "platform/Text.h"

namespace Tavrin::Net {

namespace {

// Full control for SYSTEM and the administrators, passed on to everything
// inside; protected, so nothing is inherited from the program-data folder,
// which lets every user create files. Owned by the administrators, so that
// the folder stays theirs whichever of them runs the update; a token that
// cannot name them as owner leaves its own default owner, which the check
// after creation then judges.
const wchar_t kOwnedFolderSecurity[] = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
const wchar_t kFolderSecurity[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

// The new folder is held with read sharing only: without delete sharing
// nobody can rename or delete it, so its path keeps naming it.
Platform::UniqueHandle CreateAdministratorsFolder(HANDLE parent, const std::wstring& name, DWORD& error)
{
    Platform::UniqueHandle created;
    for (const wchar_t* sddl : {kOwnedFolderSecurity, kFolderSecurity}) {
        Platform::LocalMemory descriptor = Platform::SecurityDescriptorFromSddl(sddl);
        Platform::RelativeFileSpec spec;
        spec.access = FILE_LIST_DIRECTORY | FILE_ADD_FILE | FILE_TRAVERSE | READ_CONTROL | DELETE;
        spec.share = FILE_SHARE_READ;
        spec.how = Platform::RelativeOpen::CreateNew;
        spec.kind = Platform::RelativeKind::Folder;
        spec.security = descriptor.Get();
        created = Platform::OpenRelative(parent, name, spec, error);
        if (created || error != ERROR_INVALID_OWNER)
            break;
    }
    return created;
}

// Whether the folder ended with the owner and access list it was created
// with. Where the system keeps no access lists there is nothing to check.
bool GotItsOwnerAndAccessList(HANDLE folder)
{
    if (!Platform::AccessListsEnforced())
        return true;
    Platform::LocalMemory descriptor;
    return Platform::ReadSecurity(folder, descriptor) == ERROR_SUCCESS &&
           Platform::OnlyAdministratorsCanChange(descriptor.Get());
}

// Moves whatever stands at path out of the way without entering it. False
// when it stays, or when it was a link: a link there means that someone
// prepared the path, and the run uses nothing near it.
bool MoveAside(HANDLE parent, const std::wstring& path, const std::wstring& name)
{
    DWORD error = ERROR_SUCCESS;
    Platform::RelativeFileSpec spec;
    spec.access = DELETE | FILE_READ_ATTRIBUTES;
    spec.share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    spec.kind = Platform::RelativeKind::Either;
    Platform::UniqueHandle existing = Platform::OpenRelative(parent, name, spec, error);
    // Windows opens a link itself here; Wine opens what a link points to,
    // and only the entry's attributes, read by path, still show the link.
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    const bool linkItself = existing && Platform::IsLinkItself(existing.Get());
    const bool link =
        linkItself || (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT));
    if (link && !linkItself) {
        Platform::DebugLine(L"update refused: a link stands at the update folder's path");
        return false;
    }
    if (!existing) {
        Platform::DebugLine(L"update refused: what stands at the update folder's path cannot be moved");
        return false;
    }
    const std::wstring aside =
        name + L".old-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(::GetTickCount());
    // The rename acts on what the handle holds, a link included, never on
    // what a link points to.
    error = Platform::RenameRelative(existing.Get(), parent, aside);
    if (link)
        Platform::DebugLine(L"update refused: a link stood at the update folder's path and was moved aside");
    return error == ERROR_SUCCESS && !link;
}

} // namespace

std::optional<std::wstring> UpdateFolder()
{
    std::wstring folder = Platform::KnownFolderPath(FOLDERID_ProgramData);
    if (folder.empty())
        return std::nullopt;
    if (folder.back() != L'\\')
        folder += L'\\';
    return folder + L"TavrinUpdate";
}

Platform::UniqueHandle PrepareUpdateFolder(const std::wstring& path)
{
    const std::wstring parentPath = Platform::FolderOf(path);
    if (parentPath.empty())
        return Platform::UniqueHandle();
    const std::wstring name = path.substr(parentPath.size() + 1);
    // The program-data folder itself belongs to the system; what is made or
    // moved in it is named relative to this handle.
    Platform::UniqueHandle parent(::CreateFileW(
        parentPath.c_str(), FILE_LIST_DIRECTORY | FILE_ADD_SUBDIRECTORY | FILE_TRAVERSE | SYNCHRONIZE,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!parent)
        return Platform::UniqueHandle();

    DWORD error = ERROR_SUCCESS;
    Platform::UniqueHandle folder = CreateAdministratorsFolder(parent.Get(), name, error);
    // Whatever stands there, an earlier download's folder or anyone's file,
    // folder or link, is never used: it goes aside and a new folder is made.
    if (!folder && error == ERROR_ALREADY_EXISTS && MoveAside(parent.Get(), path, name))
        folder = CreateAdministratorsFolder(parent.Get(), name, error);
    if (folder && !GotItsOwnerAndAccessList(folder.Get())) {
        Platform::DebugLine(L"update refused: the new update folder did not get its owner and access list");
        Platform::DeleteOnClose(folder.Get());
        folder.Reset();
    }
    return folder;
}

} // namespace Tavrin::Net
