#include "platform/KnownFolder.h"

#include "platform/UniqueHandle.h"

namespace Tavrin::Platform {

void FreeTaskMemory(PWSTR memory)
{
    ::CoTaskMemFree(memory);
}

std::wstring KnownFolderPath(REFKNOWNFOLDERID folder)
{
    TaskMemoryText path;
    if (FAILED(::SHGetKnownFolderPath(folder, KF_FLAG_DONT_VERIFY, nullptr, path.Put())) || !path)
        return std::wstring();
    return path.Get();
}

} // namespace Tavrin::Platform
