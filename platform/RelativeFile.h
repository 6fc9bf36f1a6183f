#pragma once
#include <windows.h>

#include <string>

#include "platform/UniqueHandle.h"

namespace Tavrin::Platform {

// What OpenRelative opens or creates (NtCreateFile's dispositions), and
// what it must be.
enum class RelativeOpen { OpenExisting, CreateNew };
enum class RelativeKind { File, Folder, Either };

struct RelativeFileSpec {
    ACCESS_MASK access = 0;
    ULONG share = 0;
    RelativeOpen how = RelativeOpen::OpenExisting;
    RelativeKind kind = RelativeKind::File;
    // The descriptor a new file or folder is created with; null for the
    // inherited one.
    PSECURITY_DESCRIPTOR security = nullptr;
};

// Opens or creates name (one path component) in the folder held by folder,
// never through a link or junction: a link there is opened itself, as its
// own object, and what it points to is not reached (on Windows; Wine
// reaches it, see IsLinkItself). Nothing is looked up by path above
// folder, so a folder swapped after folder was opened changes nothing.
// error receives the Win32 error of a failure.
UniqueHandle OpenRelative(HANDLE folder, const std::wstring& name, const RelativeFileSpec& spec,
                          DWORD& error);

// True when handle holds a link or junction itself (its attributes show a
// reparse point), not what it points to.
bool IsLinkItself(HANDLE handle);

// Renames what handle holds (opened with DELETE) to newName in the folder
// held by folder; an entry of that name is not replaced. A handle that holds
// a link renames the link. ERROR_SUCCESS or the error.
DWORD RenameRelative(HANDLE handle, HANDLE folder, const std::wstring& newName);

// Deletes the file or empty folder that handle holds (opened with DELETE),
// when the handle closes; the handle's object is deleted, whatever stands at
// its path. ERROR_SUCCESS or the error.
DWORD DeleteOnClose(HANDLE handle);

} // namespace Tavrin::Platform
