#pragma once
#include <windows.h>

#include <string>

#include "platform/UniqueHandle.h"

namespace Tavrin::Platform {

using LocalMemory = LocalMemoryOf<HLOCAL>;

// A self-relative security descriptor made from SDDL text; empty when the
// text is not valid.
LocalMemory SecurityDescriptorFromSddl(const wchar_t* sddl);

// How owners and access lists of files and folders are read and set. Null
// members mean the system's own functions. Tests put in functions that
// answer as Windows would where the file system at hand keeps no security
// (Wine's derives it from the Unix modes, whatever was set).
struct SecurityFunctions {
    // Fills a LocalAlloc'ed descriptor with the owner and access list.
    DWORD (*read)(HANDLE object, PSECURITY_DESCRIPTOR* descriptor) = nullptr;
    DWORD (*write)(HANDLE object, SECURITY_INFORMATION parts, PSECURITY_DESCRIPTOR descriptor) = nullptr;
};
// Puts functions in place and gives back the ones that were.
SecurityFunctions ReplaceSecurityFunctions(const SecurityFunctions& functions);

// The owner and access list of an open file or folder (its handle needs
// READ_CONTROL); ERROR_SUCCESS or the error.
DWORD ReadSecurity(HANDLE object, LocalMemory& descriptor);
// Sets the parts of descriptor named by parts (OWNER_, DACL_ and
// PROTECTED_DACL_SECURITY_INFORMATION) on an open file or folder.
DWORD WriteSecurity(HANDLE object, SECURITY_INFORMATION parts, PSECURITY_DESCRIPTOR descriptor);

// True when only SYSTEM and the administrators can change the object or
// what it holds: one of them owns it, its access list is protected (nothing
// inherited from a folder others may write), and no entry grants another
// account a right to write, delete, or change the list or the owner.
bool OnlyAdministratorsCanChange(PSECURITY_DESCRIPTOR descriptor);

// False where the system keeps no access lists, so none can be checked:
// Wine runs every program as one Unix user and reports an access list it
// derives from the Unix modes. Always true when tests replaced the
// functions above.
bool AccessListsEnforced();

} // namespace Tavrin::Platform
