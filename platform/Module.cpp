#include "platform/Module.h"

#include <vector>

namespace Tavrin::Platform {

std::wstring ModuleFileName(HMODULE module)
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD length = ::GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size())
            return std::wstring(buffer.data(), length);
        if (buffer.size() >= 32768)
            return {};
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring FolderOf(const std::wstring& path)
{
    size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name)
{
    if (folder.empty())
        return name;
    std::wstring tail = name;
    while (!tail.empty() && tail.front() == L'\\')
        tail.erase(0, 1);
    return folder.back() == L'\\' ? folder + tail : folder + L'\\' + tail;
}

std::wstring BaseName(const std::wstring& path)
{
    size_t slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos ? name : name.substr(0, dot);
}

FARPROC SystemLibraryFunction(const wchar_t* library, const char* function)
{
    HMODULE module = ::LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!module)
        return nullptr;
    FARPROC address = ::GetProcAddress(module, function);
    if (!address)
        ::FreeLibrary(module);
    return address;
}

} // namespace Tavrin::Platform
