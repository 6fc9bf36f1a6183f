#include "app/ProgramFolder.h"

#include "platform/FileSecurity.h"
#include "platform/Module.h"
#include "platform/UniqueHandle.h"

namespace Tavrin::App {

DWORD LockProgramFolder()
{
    const std::wstring folder = Platform::FolderOf(Platform::ModuleFileName(nullptr));
    Platform::LocalMemory descriptor = Platform::SecurityDescriptorFromSddl(kProgramFolderSecurity);
    if (folder.empty() || !descriptor)
        return ERROR_INVALID_PARAMETER;
    // The folder the program file is in, as the system found it to start
    // the program.
    Platform::UniqueHandle handle(::CreateFileW(folder.c_str(), READ_CONTROL | WRITE_DAC | WRITE_OWNER,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle)
        return ::GetLastError();
    return Platform::WriteSecurity(handle.Get(),
                                   OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                       PROTECTED_DACL_SECURITY_INFORMATION,
                                   descriptor.Get());
}

} // namespace Tavrin::App
