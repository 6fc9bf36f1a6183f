#include "platform/FileSecurity.h"

#include <aclapi.h>
#include <sddl.h>

namespace Tavrin::Platform {

namespace {

SecurityFunctions& Functions()
{
    static SecurityFunctions functions;
    return functions;
}

bool IsAdministratorOrSystem(PSID sid)
{
    return sid &&
           (::IsWellKnownSid(sid, WinLocalSystemSid) || ::IsWellKnownSid(sid, WinBuiltinAdministratorsSid));
}

} // namespace

LocalMemory SecurityDescriptorFromSddl(const wchar_t* sddl)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr))
        return LocalMemory();
    return LocalMemory(descriptor);
}

SecurityFunctions ReplaceSecurityFunctions(const SecurityFunctions& functions)
{
    SecurityFunctions previous = Functions();
    Functions() = functions;
    return previous;
}

DWORD ReadSecurity(HANDLE object, LocalMemory& descriptor)
{
    PSECURITY_DESCRIPTOR read = nullptr;
    DWORD error = Functions().read ? Functions().read(object, &read)
                                   : ::GetSecurityInfo(object, SE_FILE_OBJECT,
                                                       OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                                       nullptr, nullptr, nullptr, nullptr, &read);
    descriptor.Reset(read);
    return error;
}

DWORD WriteSecurity(HANDLE object, SECURITY_INFORMATION parts, PSECURITY_DESCRIPTOR descriptor)
{
    if (Functions().write)
        return Functions().write(object, parts, descriptor);
    PSID owner = nullptr;
    PACL dacl = nullptr;
    BOOL defaulted = FALSE, present = FALSE;
    if (!::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) ||
        !::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted))
        return ::GetLastError();
    return ::SetSecurityInfo(object, SE_FILE_OBJECT, parts, owner, nullptr, dacl, nullptr);
}

bool OnlyAdministratorsCanChange(PSECURITY_DESCRIPTOR descriptor)
{
    PSID owner = nullptr;
    PACL dacl = nullptr;
    BOOL defaulted = FALSE, present = FALSE;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!descriptor || !::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) ||
        !::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) ||
        !::GetSecurityDescriptorControl(descriptor, &control, &revision))
        return false;
    // No access list at all lets everyone do everything.
    if (!IsAdministratorOrSystem(owner) || !present || !dacl || !(control & SE_DACL_PROTECTED))
        return false;
    const DWORD changeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_DELETE_CHILD |
                               FILE_WRITE_ATTRIBUTES | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE |
                               GENERIC_ALL;
    for (DWORD index = 0; index < dacl->AceCount; ++index) {
        ACE_HEADER* header = nullptr;
        if (!::GetAce(dacl, index, reinterpret_cast<void**>(&header)))
            return false;
        if (header->AceType == ACCESS_DENIED_ACE_TYPE)
            continue;
        // An entry of any other kind (callback, object, ...) may allow
        // anything to anyone: the folder is not trusted.
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE)
            return false;
        auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
        if ((ace->Mask & changeRights) && !IsAdministratorOrSystem(&ace->SidStart))
            return false;
    }
    return true;
}

bool AccessListsEnforced()
{
    if (Functions().read || Functions().write)
        return true;
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return !(ntdll && ::GetProcAddress(ntdll, "wine_get_version"));
}

} // namespace Tavrin::Platform
